#include "textview/ChunkLayout.h"

#include "textview/Graphemes.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

// A chunk of a long right-to-left run is laid out inside a right-to-left
// embedding, so that its characters take the levels they have in the whole
// line and Qt places the caret among them as it does there; a right-to-left
// mark after it keeps spaces at its end inside the run rather than at the
// end of a line.
constexpr char16_t rightToLeftEmbedding = 0x202B;
constexpr char16_t rightToLeftMark = 0x200F;

// The text as drawn: line and paragraph separators would end a layout, so
// they show as spaces; half a surrogate pair, which Qt cannot place a caret
// around, shows as the replacement character. Every character keeps its place.
QString displayText(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar &c = text[i];
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            c = u' ';
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            c = QChar::ReplacementCharacter;
        }
    }
    return text;
}

} // namespace

ChunkLayout::ChunkLayout(const Chunk &chunk, const QString &text, const QFont &font, double tabDistance,
                         const Composition *composition)
    : m_chunk(chunk)
{
    m_lead = chunk.rightToLeft ? 1 : 0;
    m_layout.setText(chunk.rightToLeft ? QChar(rightToLeftEmbedding) + displayText(text) + QChar(rightToLeftMark)
                                       : displayText(text));
    m_layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    setTabStops(option, text, font, tabDistance);
    m_layout.setTextOption(option);
    if (composition && composition->position >= chunk.start && composition->position <= chunk.end) {
        m_compositionAt = int(composition->position - chunk.start) + m_lead;
        m_compositionLength = int(composition->text.size());
        m_compositionCursor = qBound(0, composition->cursor, m_compositionLength);
        m_layout.setPreeditArea(m_compositionAt, composition->text);
        QList<QTextLayout::FormatRange> formats = composition->formats;
        for (QTextLayout::FormatRange &range : formats)
            range.start += m_compositionAt;
        m_layout.setFormats(formats);
    }
    m_layout.setCacheEnabled(true);
    m_layout.beginLayout();
    m_layout.createLine();
    m_layout.endLayout();
}

// Tabs stop at multiples of the distance from the start of the line, not of
// the chunk: the stops are given as far into the chunk as the chunk lies
// into its own stop, enough of them for a chunk of wide characters and tabs.
void ChunkLayout::setTabStops(QTextOption &option, const QString &text, const QFont &font, double distance) const
{
    option.setTabStopDistance(distance);
    const qsizetype tabs = text.count(u'\t');
    if (tabs == 0 || m_chunk.x == 0)
        return;
    const double phase = std::fmod(m_chunk.x, distance);
    const double reach = text.size() * QFontMetricsF(font).maxWidth() + tabs * distance;
    QList<QTextOption::Tab> stops;
    for (double stop = distance - phase; stop <= reach + distance; stop += distance)
        stops.append(QTextOption::Tab(stop, QTextOption::LeftTab));
    option.setTabs(stops);
}

int ChunkLayout::offsetOf(qsizetype position) const
{
    int offset = int(qBound(m_chunk.start, position, m_chunk.end) - m_chunk.start) + m_lead;
    if (m_compositionAt >= 0 && offset > m_compositionAt)
        offset += m_compositionLength;
    return offset;
}

qsizetype ChunkLayout::positionOf(int offset) const
{
    if (m_compositionAt >= 0 && offset > m_compositionAt)
        offset = qMax(m_compositionAt, offset - m_compositionLength);
    return qBound(m_chunk.start, m_chunk.start + offset - m_lead, m_chunk.end);
}

double ChunkLayout::xOf(qsizetype position) const
{
    // Inside a long right-to-left run the chunk before lies to the right
    // and the one after to the left; the caret at a border is where they meet.
    if (m_chunk.rightToLeft && position <= m_chunk.start)
        return m_chunk.x + m_chunk.width;
    if (m_chunk.rightToLeft && position >= m_chunk.end)
        return m_chunk.x;
    return m_chunk.x + m_layout.lineAt(0).cursorToX(offsetOf(position));
}

double ChunkLayout::compositionCursorX() const
{
    return m_chunk.x + m_layout.lineAt(0).cursorToX(m_compositionAt + m_compositionCursor);
}

qsizetype ChunkLayout::positionAt(double x, QTextLine::CursorPosition mode) const
{
    return positionOf(m_layout.lineAt(0).xToCursor(x - m_chunk.x, mode));
}

// Whole characters as ICU finds them: Qt's own answers step into emoji
// sequences in lines that also hold scripts it shapes.
qsizetype ChunkLayout::nextPosition(qsizetype position) const
{
    const QStringView text = chunkText();
    return m_chunk.start + Graphemes(text).next(qBound(m_chunk.start, position, m_chunk.end) - m_chunk.start);
}

qsizetype ChunkLayout::previousPosition(qsizetype position) const
{
    const QStringView text = chunkText();
    return m_chunk.start + Graphemes(text).previous(qBound(m_chunk.start, position, m_chunk.end) - m_chunk.start);
}

QStringView ChunkLayout::chunkText() const
{
    return QStringView(m_layout.text()).sliced(m_lead, m_chunk.end - m_chunk.start);
}

void ChunkLayout::draw(QPainter &painter, QPointF lineOrigin, qsizetype selectionStart, qsizetype selectionEnd,
                       const QTextCharFormat &selected) const
{
    QList<QTextLayout::FormatRange> selections;
    if (selectionStart < m_chunk.end && selectionEnd > m_chunk.start) {
        QTextLayout::FormatRange range;
        range.start = offsetOf(qMax(selectionStart, m_chunk.start));
        range.length = offsetOf(qMin(selectionEnd, m_chunk.end)) - range.start;
        range.format = selected;
        selections.append(range);
    }
    m_layout.draw(&painter, lineOrigin + QPointF(m_chunk.x, 0), selections);
}
