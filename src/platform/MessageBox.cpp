#include "platform/MessageBox.h"

#include <QRegularExpression>

namespace {

constexpr char composedTextProperty[] = "composedText";

QString withDisplayLineBreaks(QString text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r"));
    return text.replace(lineBreak, QStringLiteral("\n"));
}

} // namespace

MessageBox::MessageBox(QWidget *parent) : m_parent(parent) {}

void MessageBox::inform(const QString &text)
{
    show(text, m_applicationTitle, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBox::warn(const QString &text, const QString &title)
{
    show(text, title, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBox::askYesNo(const QString &text)
{
    return show(text, m_applicationTitle, QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::No)
        == QMessageBox::Yes;
}

QString MessageBox::composedText(const QMessageBox &box)
{
    return box.property(composedTextProperty).toString();
}

QMessageBox::StandardButton MessageBox::show(const QString &text, const QString &title,
                                             QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, withDisplayLineBreaks(text), buttons, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setProperty(composedTextProperty, text);
    if (m_answerer)
        return m_answerer(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
