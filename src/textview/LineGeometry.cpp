#include "textview/LineGeometry.h"

#include "textview/TextBuffer.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// Lines longer than this are cut into chunks of about this many characters.
constexpr qsizetype chunkLength = 256;

} // namespace

void LineGeometry::setFont(const QFont &font)
{
    m_font = font;
    m_font.setKerning(false);
    m_font.setStyleStrategy(QFont::PreferNoShaping);
    const QFontMetricsF metrics(m_font);
    m_lineHeight = qMax(1, int(std::ceil(metrics.ascent() + metrics.descent())));
    m_ascent = int(std::ceil(metrics.ascent()));
    m_advances.assign(0x10000, -1.0f);
    m_plain.resize(0x10000);
    for (int u = 0; u < 0x10000; ++u)
        m_plain[size_t(u)] = isPlain(QChar(char16_t(u)));
    reset();
}

void LineGeometry::reset()
{
    m_longLines.clear();
    m_widestKnown = false;
}

QString LineGeometry::displayText(QString text)
{
    for (QChar &c : text)
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return text;
}

bool LineGeometry::isPlain(QChar c) const
{
    // Scripts before Hebrew need no shaping; combining marks, controls
    // (tabs among them) and surrogates are measured as laid out.
    const char16_t u = c.unicode();
    return u >= 0x20 && u < 0x0590 && !(u >= 0x7F && u < 0xA0) && !(u >= 0x0300 && u < 0x0370);
}

double LineGeometry::advance(QChar c)
{
    float &known = m_advances[c.unicode()];
    if (known < 0)
        known = float(QFontMetricsF(m_font).horizontalAdvance(c));
    return known;
}

double LineGeometry::sumOfAdvances(QStringView text, bool *plain)
{
    const float *advances = m_advances.data();
    const auto width = [&](qsizetype i) {
        const float known = advances[text[i].unicode()];
        return known >= 0 ? double(known) : advance(text[i]);
    };
    // Four running sums, so that one addition need not wait for the last.
    double sums[4] = {};
    qsizetype i = 0;
    for (; i + 4 <= text.size(); i += 4)
        for (int k = 0; k < 4; ++k)
            sums[k] += width(i + k);
    for (; i < text.size(); ++i)
        sums[0] += width(i);
    const double sum = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    if (plain)
        *plain = std::all_of(text.begin(), text.end(), [this](QChar c) { return bool(m_plain[c.unicode()]); });
    return sum;
}

LineGeometry::LongLine &LineGeometry::longLine(qsizetype line)
{
    auto found = m_longLines.find(line);
    if (found == m_longLines.end())
        found = m_longLines.emplace(line, build(line)).first;
    return found->second;
}

LineGeometry::LongLine LineGeometry::build(qsizetype line)
{
    LongLine record;
    const qsizetype start = m_buffer.lineStart(line);
    const qsizetype length = m_buffer.lineLength(line);
    const QStringView text = m_buffer.view(start, length);
    qsizetype from = 0;
    while (from < length) {
        const QStringView piece = text.sliced(from, qMin(chunkLength + 1, length - from));
        qsizetype cut = piece.size();
        if (from + cut < length) {
            cut = chunkLength;
            // Prefer to end after a comma or a space; never inside a
            // surrogate pair or before a combining mark.
            for (qsizetype i = cut; i > chunkLength * 3 / 4; --i)
                if (piece[i - 1] == u',' || piece[i - 1] == u' ') {
                    cut = i;
                    break;
                }
            while (cut > 1 && (piece[cut].isLowSurrogate() || piece[cut].isMark()))
                --cut;
        }
        bool plain = true;
        record.widths.push_back(sumOfAdvances(piece.first(cut), &plain));
        record.exact.push_back(plain);
        from += cut;
        record.ends.push_back(from);
    }
    placeFrom(record, 0);
    return record;
}

void LineGeometry::placeFrom(LongLine &record, size_t chunk) const
{
    record.xEnds.resize(record.widths.size());
    double x = chunk == 0 ? 0 : record.xEnds[chunk - 1];
    for (size_t i = chunk; i < record.widths.size(); ++i)
        record.xEnds[i] = x += record.widths[i];
}

LineGeometry::Chunk LineGeometry::chunk(qsizetype line, const LongLine &record, size_t index) const
{
    const qsizetype start = m_buffer.lineStart(line);
    const qsizetype from = index == 0 ? 0 : record.ends[index - 1];
    const double x = index == 0 ? 0 : record.xEnds[index - 1];
    return {start + from, start + record.ends[index], x, record.widths[index]};
}

LineGeometry::Chunk LineGeometry::wholeLine(qsizetype line)
{
    const qsizetype start = m_buffer.lineStart(line);
    const qsizetype end = m_buffer.lineEnd(line);
    double width = 0;
    m_buffer.visit(start, end - start, [&](QStringView piece) { width += sumOfAdvances(piece, nullptr); });
    return {start, end, 0, width};
}

std::vector<LineGeometry::Chunk> LineGeometry::chunksBetween(qsizetype line, double fromX, double toX)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return {wholeLine(line)};
    const LongLine &record = longLine(line);
    std::vector<Chunk> chunks;
    auto first = std::upper_bound(record.xEnds.begin(), record.xEnds.end(), fromX);
    for (size_t i = size_t(first - record.xEnds.begin()); i < record.ends.size(); ++i) {
        chunks.push_back(chunk(line, record, i));
        if (record.xEnds[i] >= toX)
            break;
    }
    if (chunks.empty())
        chunks.push_back(chunk(line, record, record.ends.size() - 1));
    return chunks;
}

LineGeometry::Chunk LineGeometry::chunkAt(qsizetype line, qsizetype position)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return wholeLine(line);
    const LongLine &record = longLine(line);
    const qsizetype offset = position - m_buffer.lineStart(line);
    const auto found = std::lower_bound(record.ends.begin(), record.ends.end(), offset);
    return chunk(line, record, size_t(qMin<qsizetype>(found - record.ends.begin(), record.ends.size() - 1)));
}

LineGeometry::Chunk LineGeometry::chunkAtX(qsizetype line, double x)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return wholeLine(line);
    const LongLine &record = longLine(line);
    const auto found = std::upper_bound(record.xEnds.begin(), record.xEnds.end(), x);
    return chunk(line, record, size_t(qMin<qsizetype>(found - record.xEnds.begin(), record.ends.size() - 1)));
}

double LineGeometry::lineWidth(qsizetype line)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return wholeLine(line).width;
    const LongLine &record = longLine(line);
    return record.xEnds.empty() ? 0 : record.xEnds.back();
}

double LineGeometry::widestLine()
{
    if (!m_widestKnown) {
        m_widest = 0;
        widenFor(0, m_buffer.lineCount() - 1);
        m_widestKnown = true;
    }
    return m_widest;
}

void LineGeometry::widenFor(qsizetype firstLine, qsizetype lastLine)
{
    for (qsizetype line = firstLine; line <= lastLine; ++line)
        m_widest = qMax(m_widest, lineWidth(line));
}

std::unique_ptr<QTextLayout> LineGeometry::layOut(const Chunk &chunk) const
{
    auto layout = std::make_unique<QTextLayout>(displayText(m_buffer.mid(chunk.start, chunk.end - chunk.start)), m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

double LineGeometry::measured(qsizetype line, const Chunk &chunk, const QTextLayout &layout)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return 0;
    LongLine &record = longLine(line);
    const qsizetype offset = chunk.end - m_buffer.lineStart(line);
    const auto found = std::lower_bound(record.ends.begin(), record.ends.end(), offset);
    const size_t index = size_t(found - record.ends.begin());
    if (index >= record.ends.size() || record.exact[index])
        return 0;
    const double width = layout.lineAt(0).naturalTextWidth();
    const double change = width - record.widths[index];
    record.widths[index] = width;
    record.exact[index] = true;
    placeFrom(record, index);
    m_widest = qMax(m_widest, record.xEnds.back());
    return change;
}

void LineGeometry::textChanged(qsizetype position, qsizetype inserted, qsizetype removed, bool linesChanged)
{
    const qsizetype line = m_buffer.lineOf(position);
    if (linesChanged) {
        std::erase_if(m_longLines, [line](const auto &entry) { return entry.first >= line; });
    } else if (!updateInPlace(line, position, inserted, removed)) {
        m_longLines.erase(line);
    }
    if (!m_widestKnown)
        return;
    if (!linesChanged && m_longLines.count(line)) {
        m_widest = qMax(m_widest, lineWidth(line));
        return;
    }
    widenFor(line, m_buffer.lineOf(position + inserted));
}

// An edit inside one chunk of a long line changes that chunk alone.
bool LineGeometry::updateInPlace(qsizetype line, qsizetype position, qsizetype inserted, qsizetype removed)
{
    const auto found = m_longLines.find(line);
    if (found == m_longLines.end())
        return false;
    LongLine &record = found->second;
    const qsizetype offset = position - m_buffer.lineStart(line);
    // An insertion at a boundary joins the chunk that ends there; a removal
    // belongs to the chunk of its first character.
    const qsizetype key = removed > 0 ? offset + 1 : qMax<qsizetype>(offset, 1);
    const auto at = std::lower_bound(record.ends.begin(), record.ends.end(), key);
    if (at == record.ends.end() || offset + removed > *at)
        return false;
    const size_t index = size_t(at - record.ends.begin());
    const qsizetype from = index == 0 ? 0 : record.ends[index - 1];
    const qsizetype delta = inserted - removed;
    const qsizetype newLength = record.ends[index] + delta - from;
    if (newLength <= 0 || newLength > 4 * chunkLength)
        return false;
    for (size_t i = index; i < record.ends.size(); ++i)
        record.ends[i] += delta;
    bool plain = true;
    record.widths[index] = sumOfAdvances(m_buffer.mid(m_buffer.lineStart(line) + from, newLength), &plain);
    record.exact[index] = plain;
    placeFrom(record, index);
    return true;
}
