#include "platform/PushButton.h"

#include <QFont>
#include <QMouseEvent>

PushButton::PushButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPointSizeF(11.25);
    captionFont.setBold(true);
    setFont(captionFont);

    QPalette colours = palette();
    colours.setColor(QPalette::Button, Qt::white);
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
