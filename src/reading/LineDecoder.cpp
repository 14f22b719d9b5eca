#include "reading/LineDecoder.h"

#include <cstring>

LineDecoder::LineDecoder(Take take, bool skipEmptyFile) : m_take(std::move(take)), m_skipEmptyFile(skipEmptyFile) {}

void LineDecoder::startFile(StreamingJoin::Encoding encoding)
{
    m_inPieces = false;
    m_utf8 = encoding == StreamingJoin::Encoding::Utf8;
    m_join.startFile(encoding);
    m_check = ListEncoding::Utf8Check();
    m_fed = 0;
    m_anyText = false;
    m_broken = false;
    m_text.clear();
}

void LineDecoder::feed(QByteArrayView bytes)
{
    const bool first = m_fed == 0;
    m_fed += bytes.size();
    if (!m_utf8) {
        QByteArray converted;
        m_join.feed(bytes, converted);
        handOnBlock(converted);
    } else if (!m_broken) {
        // From the first byte that is no UTF-8 (the file changed since it
        // was found to be UTF-8), nothing more is handed on.
        const int unfinished = m_check.unfinishedBytes();
        m_check.feed(bytes);
        m_broken = !m_check.isValidSoFar();
        if (m_broken) {
            endInReplacement(unfinished);
            return;
        }
        if (first && bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
        m_anyText = m_anyText || !bytes.isEmpty();
        handOnBlock(bytes);
    }
}

void LineDecoder::handOnLongLines(qsizetype longest, TakePiece takePiece)
{
    m_longest = longest;
    m_takePiece = std::move(takePiece);
}

namespace {

// How many of a block's first bytes finish the line the blocks before left
// unfinished (its break with them), and whether they do: a CR at the end
// of the bytes waits for the LF that may follow.
std::pair<qsizetype, bool> endOfFirstLine(QByteArrayView bytes, bool afterCr)
{
    if (afterCr)
        return {bytes.startsWith('\n') ? 1 : 0, !bytes.isEmpty()};
    const qsizetype lf = bytes.indexOf('\n');
    const qsizetype cr = bytes.indexOf('\r');
    if (lf < 0 && cr < 0)
        return {bytes.size(), false};
    const qsizetype at = lf < 0 ? cr : cr < 0 ? lf : qMin(lf, cr);
    if (bytes[at] == '\r' && at + 1 == bytes.size())
        return {bytes.size(), false};
    return {at + (bytes[at] == '\r' && bytes[at + 1] == '\n' ? 2 : 1), true};
}

// How many of the bytes end on a whole character and before a CR that may
// yet be a line break.
qsizetype wholeCharacters(QByteArrayView bytes)
{
    qsizetype cut = bytes.endsWith('\r') ? bytes.size() - 1 : bytes.size();
    qsizetype lead = cut - 1;
    while (lead >= 0 && lead > cut - 4 && (uchar(bytes[lead]) & 0xC0) == 0x80)
        --lead;
    if (lead >= 0) {
        const uchar c = uchar(bytes[lead]);
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (lead + length > cut)
            cut = lead;
    }
    return cut;
}

} // namespace

// The line the blocks before left unfinished is finished with this block's
// first bytes; the block's other lines are handed on where they lie, and
// only what it leaves unfinished is kept, or handed on in pieces once it is
// longer than the longest line held whole.
void LineDecoder::handOnBlock(QByteArrayView bytes)
{
    if (!m_text.isEmpty() || m_inPieces) {
        const auto [end, complete] = endOfFirstLine(bytes, m_text.endsWith('\r'));
        m_text += bytes.first(end);
        bytes = bytes.sliced(end);
        if (!complete) {
            handOnPieces();
            return;
        }
        const qsizetype length = m_text.size() - (m_text.endsWith("\r\n") ? 2 : 1);
        if (m_inPieces || (m_takePiece && length > m_longest)) {
            m_inPieces = false;
            m_takePiece(QByteArrayView(m_text).first(length), true);
            m_text.clear();
        } else {
            // One whole line, its break last: a CR there is its break.
            handOnLines(m_text, true);
            m_text.clear();
        }
    }
    m_text = bytes.sliced(handOnLines(bytes, false)).toByteArray();
    handOnPieces();
}

// A line longer than the longest held whole goes on in pieces, of whole
// characters, as it comes.
void LineDecoder::handOnPieces()
{
    if (!m_takePiece || (!m_inPieces && m_text.size() <= m_longest))
        return;
    m_inPieces = true;
    const qsizetype cut = wholeCharacters(m_text);
    m_takePiece(QByteArrayView(m_text).first(cut), false);
    // What is kept is a few bytes: the room the piece took goes.
    m_text = m_text.sliced(cut);
}

// Hands on each line whose break has come; a CR at the end waits for the
// LF that may make it CR LF. Answers how many bytes went.
qsizetype LineDecoder::handOnLines(QByteArrayView bytes, bool atEnd)
{
    const char *text = bytes.constData();
    const qsizetype size = bytes.size();
    if (size == 0)
        return 0;
    const auto next = [&](char c, qsizetype from) {
        const void *found = std::memchr(text + from, c, size_t(size - from));
        return found ? static_cast<const char *>(found) - text : size;
    };
    qsizetype from = 0;
    qsizetype lf = -1; // the next LF from here on, or the size for none; the same for CR
    qsizetype cr = -1;
    for (;;) {
        if (lf < from)
            lf = next('\n', from);
        if (cr < from)
            cr = next('\r', from);
        if (lf < cr) {
            handOn(QByteArrayView(text + from, lf - from));
            from = lf + 1;
        } else if (cr < size && (cr + 1 < size || atEnd)) {
            handOn(QByteArrayView(text + from, cr - from));
            from = cr + (cr + 1 < size && text[cr + 1] == '\n' ? 2 : 1);
        } else {
            break;
        }
    }
    handOnGathered();
    return from;
}

void LineDecoder::handOn(QByteArrayView line)
{
    m_lines.append(line);
    if (m_lines.size() == (1 << 14))
        handOnGathered();
}

void LineDecoder::handOnGathered()
{
    if (!m_lines.isEmpty())
        m_take(m_lines);
    m_lines.clear();
}

// What is handed on stays UTF-8: a character the file cut off shows as
// U+FFFD.
void LineDecoder::endInReplacement(int unfinished)
{
    if (unfinished > 0) {
        m_text.chop(unfinished);
        m_text += "\xEF\xBF\xBD";
    }
}

void LineDecoder::finishFile()
{
    if (!m_utf8) {
        QByteArray converted;
        m_join.finishFile(converted);
        handOnBlock(converted);
        m_anyText = m_join.anyText();
    } else if (!m_broken && !m_check.isValid()) {
        // A character cut off at the end: the file is not what was taken
        // for UTF-8.
        m_broken = true;
        endInReplacement(m_check.unfinishedBytes());
    }
    if (m_fed == 0) {
        if (!m_skipEmptyFile)
            m_take({"empty file"});
        return;
    }
    if (!m_anyText)
        return;
    if (std::exchange(m_inPieces, false)) {
        // The last line, but for the empty one after a CR that ends it.
        const bool broken = m_text.endsWith('\r');
        m_takePiece(QByteArrayView(m_text).chopped(broken ? 1 : 0), true);
        m_text.clear();
        if (!broken)
            return;
    }
    m_text.remove(0, handOnLines(m_text, true));
    if (m_text.isEmpty() && m_afterLastBreak)
        m_afterLastBreak();
    else
        m_take({m_text});
    m_text.clear();
}
