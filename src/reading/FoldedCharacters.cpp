#include "reading/FoldedCharacters.h"

namespace {

bool isContinuation(char c)
{
    return (uchar(c) & 0xC0) == 0x80;
}

// Whether the bytes before a place end inside a character: a lead byte
// without all of its continuation bytes.
bool endsInsideCharacter(QByteArrayView bytes, qsizetype end)
{
    qsizetype lead = end - 1;
    while (lead >= 0 && lead > end - 4 && isContinuation(bytes[lead]))
        --lead;
    if (lead < 0)
        return false;
    const uchar c = uchar(bytes[lead]);
    const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return lead + length > end;
}

// The bytes a fold at a line feed takes out (a CR before it, the blank
// after it), or 0 where it parts no character.
qsizetype foldAt(QByteArrayView bytes, qsizetype lf)
{
    const qsizetype breakStart = lf > 0 && bytes[lf - 1] == '\r' ? lf - 1 : lf;
    if (lf + 2 >= bytes.size() || (bytes[lf + 1] != ' ' && bytes[lf + 1] != '\t') || !isContinuation(bytes[lf + 2])
        || !endsInsideCharacter(bytes, breakStart))
        return 0;
    return lf + 2 - breakStart;
}

} // namespace

QByteArray FoldedCharacters::rejoined(QByteArrayView block, bool last)
{
    QByteArray bytes = std::exchange(m_held, {});
    bytes += block;
    QByteArray out;
    out.reserve(bytes.size());
    qsizetype from = 0;
    for (qsizetype lf = bytes.indexOf('\n'); lf >= 0; lf = bytes.indexOf('\n', lf + 1)) {
        if (lf + 2 >= bytes.size() && !last)
            break;
        if (const qsizetype taken = foldAt(bytes, lf)) {
            const qsizetype breakStart = lf + 2 - taken;
            out += QByteArrayView(bytes).sliced(from, breakStart - from);
            from = lf + 2;
        }
    }
    // A fold may start in the last few bytes: they wait for the next block.
    const qsizetype keep = last ? 0 : qMin<qsizetype>(bytes.size() - from, 6);
    out += QByteArrayView(bytes).sliced(from, bytes.size() - from - keep);
    m_held = bytes.sliced(bytes.size() - keep);
    return out;
}
