// "Copy Results To Clipboard" and the right button on the output area.
#include "form/Form1.h"
#include "core/Procedure.h"
#include "core/ReportText.h"
#include "textview/TextArea.h"

void Form1::PushButton18_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton18_Click);
    bool copied = false;
    p.run(108, [&] { setMousePointer(WindowPointer::Busy); });
    p.run(108, [&] { copied = m_clipboard->write(Text2->text()); });
    p.run(112, [&] {
        if (copied)
            m_messageBoxes.inform(QStringLiteral("Results have been copied to the clipboard.\r\r"
                                                 "Click a text area where you normally type and press Ctrl+V "
                                                 "to paste the clipboard."));
        else
            m_messageBoxes.warn(QStringLiteral("The clipboard is in use by another program, so the results "
                                               "were not copied.\r\rPlease try again."),
                                m_messageBoxes.applicationTitle());
    });
    p.run(114, [&] { setMousePointer(WindowPointer::Default); });
}

void Form1::Text2_MouseDown(Qt::MouseButton button)
{
    Procedure p(m_errorReport, Qualifier::Text2_MouseDown);
    if (p.test(100, [&] { return button == Qt::RightButton; }))
        p.run(108, [&] { Text2->setFocus(Qt::MouseFocusReason); });
}
