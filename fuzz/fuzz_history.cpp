// A text with its undo history against a plain string and the list of texts
// it has been: every edit, undo and redo gives the model's text, the line
// index agrees with the text, and undoing everything goes back through every
// earlier text in turn.
#include "FuzzInput.h"
#include "textview/TextDocument.h"

#include <QStringList>

namespace {

// The model's own reading of line breaks: each of CR LF, CR and LF is one.
QString withCrLf(const QString &text)
{
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            result += u"\r\n";
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

// Never between the CR and the LF of a line break, as the caret never is.
qsizetype place(const QString &text, qsizetype position)
{
    position = qBound<qsizetype>(0, position, text.size());
    return position > 0 && position < text.size() && text[position] == u'\n' ? position - 1 : position;
}

void checkLines(const TextBuffer &buffer, const QString &text)
{
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    FUZZ_CHECK(buffer.lineCount() == lines.size());
    qsizetype start = 0;
    for (qsizetype line = 0; line < lines.size(); start += lines[line].size() + 2, ++line) {
        FUZZ_CHECK(buffer.lineStart(line) == start);
        FUZZ_CHECK(buffer.lineLength(line) == lines[line].size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char16_t alphabet[] = {u'a', u'b', u'\r', u'\n', u' ', 0xD83D, 0xDE00, u'\u00e9'};
    TextDocument document;
    QStringList texts{QString()}; // the model: every text the history holds
    qsizetype current = 0;
    for (size_t i = 0; i + 2 < size; i += 3) {
        const uint8_t op = data[i] % 4;
        const QString &text = texts[current];
        if (op == 0 || op == 1) {
            const qsizetype position = place(text, data[i + 1] * qsizetype(text.size() + 1) / 256);
            const qsizetype end = op == 0 ? position : place(text, position + data[i + 2] % 8);
            QString piece;
            for (int k = 0; op == 0 && k < 1 + data[i + 2] % 6; ++k)
                piece += QChar(alphabet[(data[i + 2] + k * 5) % std::size(alphabet)]);
            const TextDocument::Change change =
                document.replace(position, end - position, piece, EditHistory::Kind::Other, position, end);
            if (change.isEmpty())
                continue;
            QString next = text;
            next.replace(position, end - position, withCrLf(piece));
            texts.resize(current + 1);
            texts << next;
            ++current;
        } else if (op == 2 && document.canUndo()) {
            document.undo();
            --current;
        } else if (op == 3 && document.canRedo()) {
            document.redo();
            ++current;
        }
        FUZZ_CHECK(document.canUndo() == (current > 0));
        FUZZ_CHECK(document.canRedo() == (current + 1 < texts.size()));
        FUZZ_CHECK(document.buffer().text() == texts[current]);
        checkLines(document.buffer(), texts[current]);
    }
    for (; document.canUndo(); --current) {
        document.undo();
        FUZZ_CHECK(document.buffer().text() == texts[current - 1]);
    }
    FUZZ_CHECK(current == 0);
    return 0;
}
