#include "join/LineDecoder.h"

#include <cstring>

LineDecoder::LineDecoder(Take take, bool skipEmptyFile) : m_take(std::move(take)), m_skipEmptyFile(skipEmptyFile) {}

void LineDecoder::startFile(StreamingJoin::Encoding encoding)
{
    m_utf8 = encoding == StreamingJoin::Encoding::Utf8;
    m_join.startFile(encoding);
    m_check = StreamingJoin::Utf8Check();
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
        m_join.feed(bytes, m_text);
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
        m_text += bytes;
    }
    handOnLines(false);
}

// Hands on each line whose break has come; a CR at the end waits for the
// LF that may make it CR LF.
void LineDecoder::handOnLines(bool atEnd)
{
    const char *text = m_text.constData();
    const qsizetype size = m_text.size();
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
    m_text.remove(0, from);
}

void LineDecoder::handOn(QByteArrayView line)
{
    m_lines.append(line);
    if (m_lines.size() == (1 << 16))
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
        m_join.finishFile(m_text);
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
    handOnLines(true);
    m_take({m_text});
    m_text.clear();
}
