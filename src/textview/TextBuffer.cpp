#include "textview/TextBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype minimumGap = 4096;

} // namespace

TextBuffer::TextBuffer() : m_lineStarts{0} {}

// Empty, with the old text let go.
void TextBuffer::clear()
{
    m_chars = QString();
    m_gapStart = m_gapEnd = 0;
    m_lineStarts.assign(1, 0);
    m_shiftFrom = 1;
    m_shift = 0;
}

void TextBuffer::adopt(QString text, std::vector<qsizetype> starts)
{
    m_chars = std::move(text);
    m_gapStart = m_gapEnd = m_chars.size();
    m_lineStarts = std::move(starts);
    m_shift = 0;
    m_shiftFrom = lineCount();
}

QString TextBuffer::text() const
{
    moveGap(size());
    m_chars.truncate(m_gapStart);
    m_gapEnd = m_gapStart;
    return m_chars;
}

QChar TextBuffer::at(qsizetype position) const
{
    return m_chars.at(physical(position));
}

QString TextBuffer::mid(qsizetype position, qsizetype length) const
{
    QString text;
    text.reserve(length);
    visit(position, length, [&](QStringView piece) { text.append(piece); });
    return text;
}

void TextBuffer::moveGap(qsizetype position) const
{
    if (position == m_gapStart)
        return;
    QChar *chars = m_chars.data();
    if (position < m_gapStart) {
        const qsizetype moved = m_gapStart - position;
        std::memmove(chars + m_gapEnd - moved, chars + position, moved * sizeof(QChar));
        m_gapStart -= moved;
        m_gapEnd -= moved;
    } else {
        const qsizetype moved = position - m_gapStart;
        std::memmove(chars + m_gapStart, chars + m_gapEnd, moved * sizeof(QChar));
        m_gapStart += moved;
        m_gapEnd += moved;
    }
}

TextBuffer::Parts TextBuffer::partsOf(QStringView text)
{
    // Lines of more characters than this apart near the middle leave the
    // text in one part.
    constexpr qsizetype reach = 1 << 16;
    const qsizetype middle = text.size() / 2;
    const qsizetype lineFeed =
        text.size() < readInPartsFrom ? -1 : text.first(qMin(text.size(), middle + reach)).indexOf(u'\n', middle);
    Parts parts;
    parts.bounds[1] = lineFeed < 0 ? text.size() : lineFeed + 1;
    parts.bounds[2] = text.size();
    parts.counts = inParts(parts.bounds[1] < text.size(), [&](qsizetype first, qsizetype end) {
        return lineBreaksIn(text.sliced(parts.bounds[first], parts.bounds[end] - parts.bounds[first]));
    });
    return parts;
}

void TextBuffer::reserveGap(qsizetype length)
{
    if (gapLength() >= length)
        return;
    const qsizetype oldSize = m_chars.size();
    const qsizetype tail = oldSize - m_gapEnd;
    const qsizetype grow = length + qMax(minimumGap, size() / 8);
    m_chars.resize(oldSize + grow);
    QChar *chars = m_chars.data();
    std::memmove(chars + m_gapEnd + grow, chars + m_gapEnd, tail * sizeof(QChar));
    m_gapEnd += grow;
}

void TextBuffer::insert(qsizetype position, const QString &text)
{
    if (text.isEmpty())
        return;
    QString normal = text;
    Unmeasured none;
    std::vector<qsizetype> newStarts = lineStartsOf(normal, none);
    const qsizetype line = lineOf(position);
    newStarts.erase(newStarts.begin());
    for (qsizetype &start : newStarts)
        start += position;
    if (const size_t needed = m_lineStarts.size() + newStarts.size(); needed > m_lineStarts.capacity())
        m_lineStarts.reserve(qMax(needed, 2 * m_lineStarts.capacity()));
    reserveGap(normal.size());

    moveGap(position);
    std::memcpy(m_chars.data() + m_gapStart, normal.constData(), normal.size() * sizeof(QChar));
    m_gapStart += normal.size();
    shiftLines(line + 1, normal.size());
    if (!newStarts.empty()) {
        applyPendingShift();
        m_lineStarts.insert(m_lineStarts.begin() + line + 1, newStarts.begin(), newStarts.end());
        m_shiftFrom = lineCount();
    }
}

void TextBuffer::remove(qsizetype position, qsizetype length)
{
    if (length <= 0)
        return;
    const qsizetype firstLine = lineOf(position);
    const qsizetype lastLine = lineOf(position + length);
    moveGap(position);
    m_gapEnd += length;
    if (lastLine > firstLine) {
        applyPendingShift();
        m_lineStarts.erase(m_lineStarts.begin() + firstLine + 1, m_lineStarts.begin() + lastLine + 1);
        m_shiftFrom = lineCount();
    }
    shiftLines(firstLine + 1, -length);
}

qsizetype TextBuffer::lineOf(qsizetype position) const
{
    qsizetype low = 0;
    qsizetype high = lineCount() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (lineStart(middle) <= position)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

qsizetype TextBuffer::positionOfOffset(qsizetype offset) const
{
    // The last line whose start lies at or before the offset.
    qsizetype low = 0;
    qsizetype high = lineCount() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (lineStart(middle) - middle <= offset)
            low = middle;
        else
            high = middle - 1;
    }
    return qBound(lineStart(low), offset + low, lineEnd(low));
}

void TextBuffer::shiftLines(qsizetype fromLine, qsizetype delta)
{
    if (fromLine >= lineCount())
        return;
    if (m_shiftFrom < lineCount() && m_shiftFrom != fromLine)
        applyPendingShift();
    m_shiftFrom = fromLine;
    m_shift += delta;
}

void TextBuffer::applyPendingShift() const
{
    if (m_shift != 0)
        for (size_t line = size_t(m_shiftFrom); line < m_lineStarts.size(); ++line)
            m_lineStarts[line] += m_shift;
    m_shiftFrom = lineCount();
    m_shift = 0;
}
