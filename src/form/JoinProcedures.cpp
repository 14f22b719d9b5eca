// "Start Joining" and the two "Clear Text" buttons.
#include "form/Form1.h"
#include "core/Procedure.h"
#include "core/ReportText.h"
#include "form/OutputMenu.h"
#include "join/LineJoiner.h"
#include "join/Separators.h"
#include "textview/TextArea.h"

void Form1::PushButton17_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton17_Click);
    qsizetype pieces = 0; // the input's lines, read where they lie
    LineJoiner::Writer result(Separators::text(m_outputMenu->separator()));
    p.run(100, [&] { setMousePointer(WindowPointer::Busy); });
    p.run(102, [&] { pieces = Text1->size() == 0 ? 0 : Text1->lineCount(); });
    p.run(104, [&] { result.reserve(Text1->size() - 2 * qMax<qsizetype>(0, pieces - 1), pieces); });
    // Once memory has run out, every further piece would fail alike, a
    // report each, and the output would get a cut-off line: the pieces are
    // passed over and the output keeps its text.
    p.loop(106, [&] { return pieces; }, 110, [&](qsizetype i) {
        if (!p.ranOutOfMemory())
            p.run(108, [&] { result.append(Text1->lineView(i)); });
    });
    if (!p.ranOutOfMemory()) {
        if (p.test(112, [&] { return !result.isEmpty(); }))
            p.run(114, [&] { result.dropTrailingSeparator(); });
        p.run(116, [&] { Text2->replaceText(result.take()); });
    }
    p.run(118, [&] { setMousePointer(WindowPointer::Default); });
}

void Form1::PushButton1_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton1_Click);
    p.run(100, [&] { Text1->replaceText(QString()); });
}

void Form1::PushButton2_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton2_Click);
    p.run(100, [&] { Text2->replaceText(QString()); });
}
