#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// Modal message boxes. Texts keep their CR and LF characters; on screen each
// CR LF, lone CR or lone LF is one line break. Untitled boxes carry the
// application title.
class MessageBox
{
public:
    // Test seam: given the fully built box instead of showing it, and returns
    // the button the user would have pressed.
    using Answerer = std::function<QMessageBox::StandardButton(QMessageBox &)>;

    explicit MessageBox(QWidget *parent);

    void setApplicationTitle(const QString &title) { m_applicationTitle = title; }
    QString applicationTitle() const { return m_applicationTitle; }

    // OK only, no icon, the application title.
    void inform(const QString &text);
    // OK only, the warning icon, the given title.
    void warn(const QString &text, const QString &title);
    // Yes and No, No the default (what Enter gives changes nothing), no
    // icon, the application title.
    bool askYesNo(const QString &text);

    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

    // The text exactly as the program composed it, kept on every box.
    static QString composedText(const QMessageBox &box);

private:
    QMessageBox::StandardButton show(const QString &text, const QString &title, QMessageBox::Icon icon,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton);

    QWidget *m_parent;
    QString m_applicationTitle;
    Answerer m_answerer;
};
