#include "platform/PushButton.h"

#include "platform/Colours.h"

#include <QApplication>

#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>

PushButton::PushButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPointSizeF(11.25);
    captionFont.setBold(true);
    setFont(captionFont);

    QPalette colours = palette();
    colours.setColor(QPalette::Button, Qt::white);
    colours.setColor(QPalette::ButtonText, readableText(QApplication::palette().color(QPalette::ButtonText), Qt::white));
    setPalette(colours);
    setAutoDefault(false);
    setMouseTracking(true);
}

void PushButton::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved();
    QPushButton::mouseMoveEvent(event);
    // A move over the button is the button's own, not its frame's.
    event->accept();
}

void PushButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}
