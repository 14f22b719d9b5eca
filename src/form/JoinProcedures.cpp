// "Start Joining" and the two "Clear Text" buttons.
#include "form/Form1.h"
#include "core/Procedure.h"
#include "core/ReportText.h"
#include "form/OutputMenu.h"
#include "join/LineJoiner.h"
#include "join/Separators.h"
#include "textview/TextArea.h"

#include <utility>

void Form1::PushButton17_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton17_Click);
    QString input; // the pieces are views into it
    QList<QStringView> pieces;
    QString result;
    const QStringView separator = Separators::text(m_outputMenu->separator());
    p.run(100, [&] { setMousePointer(WindowPointer::Busy); });
    p.run(102, [&] {
        input = Text1->text();
        pieces = LineJoiner::cutAtLineBreaks(input);
    });
    p.run(104, [&] {
        result.clear();
        result.reserve(input.size());
    });
    // Once memory has run out, every further piece would fail alike, a
    // report each, and the output would get a cut-off line: the pieces are
    // passed over and the output keeps its text.
    p.loop(106, [&] { return pieces.size(); }, 110, [&](qsizetype i) {
        if (!p.ranOutOfMemory())
            p.run(108, [&] { LineJoiner::appendPiece(result, pieces.value(i), separator); });
    });
    if (!p.ranOutOfMemory()) {
        if (p.test(112, [&] { return !result.isEmpty(); }))
            p.run(114, [&] { LineJoiner::dropTrailingComma(result, separator); });
        p.run(116, [&] { Text2->replaceText(std::exchange(result, QString())); });
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
