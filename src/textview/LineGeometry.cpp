#include "textview/LineGeometry.h"

#include "textview/Bidi.h"
#include "textview/LineCuts.h"
#include "textview/TextBuffer.h"

#include <QFontMetricsF>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

// Lines longer than this are cut into chunks of about this many characters.
constexpr qsizetype chunkLength = 256;
// Where tabs stop, as in every Qt text box.
constexpr double tabDistance = 80;
// Chunks that need shaping laid out when their line is first met; the rest
// of a line of millions of them is measured a little at a time.
constexpr size_t measuredAtOnce = 64;

bool mayStartChunk(QChar c)
{
    return !c.isMark() && !c.isLowSurrogate() && c != u'\u200D' && c != u'\uFE0F';
}

// The sum of the advances of the text's characters, in four running sums so
// that one addition need not wait for the last. The window's thread and
// measuring elsewhere add alike, so both give the same widths.
template<typename Advance>
double sumOf(QStringView text, Advance advanceOf)
{
    const char16_t *chars = text.utf16();
    double sums[4] = {};
    qsizetype i = 0;
    for (; i + 4 <= text.size(); i += 4)
        for (int k = 0; k < 4; ++k)
            sums[k] += advanceOf(chars[i + k]);
    for (; i < text.size(); ++i)
        sums[0] += advanceOf(chars[i]);
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

} // namespace

void LineGeometry::setFont(const QFont &font)
{
    m_plainFont = font;
    m_plainFont.setKerning(false);
    m_plainFont.setStyleStrategy(QFont::PreferNoShaping);
    m_shapingFont = font;
    m_shapingFont.setKerning(false);
    const QFontMetricsF metrics(m_plainFont);
    m_lineHeight = qMax(1, int(std::ceil(metrics.ascent() + metrics.descent())));
    m_ascent = int(std::ceil(metrics.ascent()));
    m_advances.assign(0x10000, std::numeric_limits<float>::quiet_NaN());
    ++m_font;
    m_spaceWidth = advance(u' ');
    reset();
}

void LineGeometry::reset()
{
    m_longLines.clear();
    m_widestKnown = false;
    m_expected.reset();
}

double LineGeometry::advance(char16_t c)
{
    float &known = m_advances[c];
    if (std::isnan(known))
        known = float(QFontMetricsF(m_plainFont).horizontalAdvance(QChar(c)));
    return known;
}

LineGeometry::Sum LineGeometry::sumOfAdvances(QStringView text, bool widthOnly)
{
    // Advances not known yet are NaN: a sum that meets one learns them all
    // and is taken again, so that the usual sum only looks up.
    const auto known = [advances = m_advances.data()](char16_t c) { return double(advances[c]); };
    Sum sum;
    sum.width = sumOf(text, known);
    if (std::isnan(sum.width)) {
        for (const QChar c : text)
            advance(c.unicode());
        sum.width = sumOf(text, known);
    }
    if (widthOnly)
        return sum;
    sum.plain = LineCuts::allPlain(text);
    sum.tab = !sum.plain && text.contains(u'\t');
    return sum;
}

// Advances not known yet are NaN there too, so that a line with any of
// them sums to NaN.
LineGeometry::Measured LineGeometry::measuring()
{
    for (char16_t c = u' '; c < 0x7F; ++c)
        advance(c);
    Measured measured;
    measured.m_advances = m_advances;
    measured.m_font = m_font;
    return measured;
}

void LineGeometry::Measured::add(qsizetype line, QStringView text)
{
    m_lines = line + 1;
    const float *advances = m_advances.data();
    const double width = text.size() <= chunkLength ? sumOf(text, [&](char16_t c) { return double(advances[c]); })
                                                    : std::numeric_limits<double>::quiet_NaN();
    // A first text in a new font has every line unmeasured: rather than list
    // them all, the window measures the whole text then.
    if (std::isnan(width) && qsizetype(m_unmeasured.size()) >= mostUnmeasured)
        m_gaveUp = true;
    else if (std::isnan(width))
        m_unmeasured.push_back(line);
    else if (width > m_widest) {
        m_widest = width;
        m_widestLine = line;
    }
}

void LineGeometry::Measured::append(const Measured &later)
{
    const qsizetype offset = m_lines;
    m_lines += later.m_lines;
    if (later.m_widest > m_widest) {
        m_widest = later.m_widest;
        m_widestLine = offset + later.m_widestLine;
    }
    m_gaveUp = m_gaveUp || later.m_gaveUp
               || qsizetype(m_unmeasured.size() + later.m_unmeasured.size()) > mostUnmeasured;
    if (!m_gaveUp)
        for (const qsizetype line : later.m_unmeasured)
            m_unmeasured.push_back(offset + line);
}

// A whole new text whose lines were measured as it was made, with the font
// in use: what was measured stands, and the lines left are measured here.
bool LineGeometry::takeMeasured()
{
    if (!m_expected)
        return false;
    const Measured measured = *std::exchange(m_expected, std::nullopt);
    if (measured.m_gaveUp || measured.m_lines != m_buffer.lineCount() || measured.m_font != m_font)
        return false;
    m_longLines.clear();
    m_widest = measured.m_widest;
    m_widestLine = measured.m_widestLine;
    for (const qsizetype line : measured.m_unmeasured)
        widenFor(line, line);
    m_widestKnown = true;
    return true;
}

LineGeometry::LongLine &LineGeometry::longLine(qsizetype line)
{
    auto found = m_longLines.find(line);
    if (found == m_longLines.end()) {
        found = m_longLines.emplace(line, build(line)).first;
        measure(line, found->second, measuredAtOnce);
    }
    return found->second;
}

// Cuts a long line into chunks. A line is taken to run left to right until
// a chunk shows otherwise; only then is it cut again heeding the
// bidirectional algorithm, so that the usual line is read but once.
LineGeometry::LongLine LineGeometry::build(qsizetype line)
{
    const QStringView text = m_buffer.view(m_buffer.lineStart(line), m_buffer.lineLength(line));
    LongLine record = cut(text, false);
    if (record.ends.empty())
        record = cut(text, true);
    // A long right-to-left run shows its chunks from right to left.
    if (std::any_of(record.flags.begin(), record.flags.end(), [](std::uint8_t f) { return f & LongLine::RightToLeft; })) {
        record.visual.resize(record.ends.size());
        for (size_t i = 0; i < record.visual.size(); ++i)
            record.visual[i] = std::uint32_t(i);
        for (size_t i = 0; i < record.visual.size();) {
            size_t j = i;
            while (j < record.visual.size() && (record.flags[j] & LongLine::RightToLeft))
                ++j;
            std::reverse(record.visual.begin() + qsizetype(i), record.visual.begin() + qsizetype(j));
            i = qMax(j, i + 1);
        }
    }
    place(record, 0);
    return record;
}

// The chunks of a line; none when a line taken to run left to right turns
// out to hold right-to-left text.
LineGeometry::LongLine LineGeometry::cut(QStringView text, bool bidi)
{
    LongLine record;
    LineCuts cuts(text, chunkLength, bidi);
    record.bidi = cuts.hasRightToLeft();
    for (LineCuts::Piece piece = cuts.next(); piece.to > piece.from; piece = cuts.next()) {
        const QStringView chunk = text.sliced(piece.from, piece.to - piece.from);
        const Sum sum = sumOfAdvances(chunk);
        if (!bidi && !sum.plain && Bidi::hasRightToLeft(chunk))
            return {};
        record.ends.push_back(piece.to);
        record.widths.push_back(sum.width);
        record.flags.push_back(std::uint8_t((sum.plain ? LongLine::Plain | LongLine::Exact : 0)
                                            | (piece.rightToLeft ? LongLine::RightToLeft : 0)
                                            | (sum.tab ? LongLine::Tab : 0) | (piece.raised ? LongLine::RaisedStart : 0)));
    }
    return record;
}

// Places the chunks from the one at visual index from on; a chunk with tabs
// that moves is measured again, since its tabs stop elsewhere.
void LineGeometry::place(LongLine &record, size_t from) const
{
    const size_t count = record.ends.size();
    record.xs.resize(count, -1);
    from = qMin(from, count);
    double x = from == 0 ? 0 : record.xs[record.atVisual(from - 1)] + record.widths[record.atVisual(from - 1)];
    for (size_t k = from; k < count; ++k) {
        const size_t i = record.atVisual(k);
        if (record.xs[i] != x && (record.flags[i] & LongLine::Tab)) {
            record.flags[i] &= ~LongLine::Exact;
            record.pending = qMin(record.pending, k);
        }
        record.xs[i] = x;
        x += record.widths[i];
    }
    record.width = x;
}

// Lays out, from left to right, up to budget chunks whose width is still an
// estimate; answers how many.
size_t LineGeometry::measure(qsizetype line, LongLine &record, size_t budget)
{
    const size_t count = record.ends.size();
    size_t done = 0;
    size_t k = record.pending;
    double x = k == 0 ? 0 : record.xs[record.atVisual(k - 1)] + record.widths[record.atVisual(k - 1)];
    for (; k < count && done < budget; ++k) {
        const size_t i = record.atVisual(k);
        record.xs[i] = x;
        if (!(record.flags[i] & LongLine::Exact)) {
            record.widths[i] = layOut(chunk(line, record, i))->width();
            record.flags[i] |= LongLine::Exact;
            ++done;
        }
        x += record.widths[i];
    }
    record.pending = k;
    place(record, k);
    if (done > 0 && m_widestKnown && record.width > m_widest) {
        m_widest = record.width;
        m_widestLine = line;
    }
    return done;
}

bool LineGeometry::hasEstimates() const
{
    return std::any_of(m_longLines.begin(), m_longLines.end(),
                       [](const auto &entry) { return entry.second.pending < entry.second.ends.size(); });
}

bool LineGeometry::measureEstimates(size_t budget)
{
    for (auto &[line, record] : m_longLines) {
        if (record.pending < record.ends.size())
            budget -= qMin(budget, measure(line, record, budget));
        if (budget == 0)
            break;
    }
    return hasEstimates();
}

LineGeometry::Chunk LineGeometry::chunk(qsizetype line, const LongLine &record, size_t index) const
{
    const qsizetype start = m_buffer.lineStart(line);
    const qsizetype from = index == 0 ? 0 : record.ends[index - 1];
    return {start + from,
            start + record.ends[index],
            record.xs[index],
            record.widths[index],
            bool(record.flags[index] & LongLine::RightToLeft),
            bool(record.flags[index] & LongLine::Plain)};
}

LineGeometry::Chunk LineGeometry::wholeLine(qsizetype line, bool widthOnly)
{
    const qsizetype start = m_buffer.lineStart(line);
    const qsizetype end = m_buffer.lineEnd(line);
    Sum sum{0, true, false};
    m_buffer.visit(start, end - start, [&](QStringView piece) {
        const Sum part = sumOfAdvances(piece, widthOnly);
        sum.width += part.width;
        sum.plain = sum.plain && part.plain;
    });
    return {start, end, 0, sum.width, false, sum.plain};
}

size_t LineGeometry::indexAt(const LongLine &record, qsizetype offset, bool before) const
{
    const size_t last = record.ends.size() - 1;
    if (before)
        return qMin(size_t(std::lower_bound(record.ends.begin(), record.ends.end(), offset) - record.ends.begin()), last);
    size_t index = qMin(size_t(std::upper_bound(record.ends.begin(), record.ends.end(), offset) - record.ends.begin()), last);
    // Where right-to-left text starts a chunk, the caret at the border stands
    // on the side of the text before, as in a line laid out whole.
    if (index > 0 && record.ends[index - 1] == offset && (record.flags[index] & LongLine::RaisedStart))
        --index;
    return index;
}

std::vector<LineGeometry::Chunk> LineGeometry::chunksBetween(qsizetype line, double fromX, double toX)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return {wholeLine(line)};
    const LongLine &record = longLine(line);
    const size_t count = record.ends.size();
    // The first chunk that starts right of fromX; the one before reaches it.
    size_t k = 0;
    for (size_t step = std::bit_floor(count); step > 0; step /= 2)
        if (k + step <= count && record.xs[record.atVisual(k + step - 1)] <= fromX)
            k += step;
    std::vector<Chunk> chunks;
    for (k = k > 0 ? k - 1 : 0; k < count; ++k) {
        const size_t i = record.atVisual(k);
        if (record.xs[i] >= toX && !chunks.empty())
            break;
        chunks.push_back(chunk(line, record, i));
    }
    return chunks;
}

LineGeometry::Chunk LineGeometry::chunkAt(qsizetype line, qsizetype position)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return wholeLine(line);
    const LongLine &record = longLine(line);
    return chunk(line, record, indexAt(record, position - m_buffer.lineStart(line), false));
}

LineGeometry::Chunk LineGeometry::chunkBefore(qsizetype line, qsizetype position)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return wholeLine(line);
    const LongLine &record = longLine(line);
    return chunk(line, record, indexAt(record, position - m_buffer.lineStart(line), true));
}

LineGeometry::Chunk LineGeometry::chunkAtX(qsizetype line, double x)
{
    const std::vector<Chunk> chunks = chunksBetween(line, x, x);
    return chunks.front();
}

double LineGeometry::lineWidth(qsizetype line)
{
    if (m_buffer.lineLength(line) <= chunkLength)
        return wholeLine(line, true).width;
    return longLine(line).width;
}

double LineGeometry::widestLine()
{
    if (!m_widestKnown) {
        m_widest = 0;
        m_widestLine = 0;
        widenFor(0, m_buffer.lineCount() - 1);
        m_widestKnown = true;
    }
    return m_widest;
}

void LineGeometry::widenFor(qsizetype firstLine, qsizetype lastLine)
{
    for (qsizetype line = firstLine; line <= lastLine; ++line) {
        if (const double width = lineWidth(line); width > m_widest) {
            m_widest = width;
            m_widestLine = line;
        }
    }
}

std::unique_ptr<ChunkLayout> LineGeometry::layOut(const Chunk &chunk, const ChunkLayout::Composition *composition) const
{
    return std::make_unique<ChunkLayout>(chunk, m_buffer.mid(chunk.start, chunk.end - chunk.start),
                                         chunk.plain ? m_plainFont : m_shapingFont, tabDistance, composition);
}

bool LineGeometry::measured(qsizetype line, const Chunk &chunk, const ChunkLayout &layout)
{
    const double width = layout.width();
    if (m_buffer.lineLength(line) <= chunkLength) {
        if (!m_widestKnown || width <= m_widest)
            return false;
        m_widest = width;
        m_widestLine = line;
        return true;
    }
    LongLine &record = longLine(line);
    const size_t index = indexAt(record, chunk.end - m_buffer.lineStart(line), true);
    if (record.flags[index] & LongLine::Exact)
        return false;
    record.flags[index] |= LongLine::Exact;
    if (width == record.widths[index])
        return false;
    record.widths[index] = width;
    place(record, record.visual.empty() ? index : 0);
    if (m_widestKnown && record.width > m_widest) {
        m_widest = record.width;
        m_widestLine = line;
    }
    return true;
}

void LineGeometry::textChanged(qsizetype position, qsizetype inserted, qsizetype removed, qsizetype insertedBreaks,
                               qsizetype removedBreaks)
{
    if (takeMeasured())
        return;
    const qsizetype line = m_buffer.lineOf(position);
    if (insertedBreaks > 0 || removedBreaks > 0)
        std::erase_if(m_longLines, [line](const auto &entry) { return entry.first >= line; });
    else if (!updateInPlace(line, position, inserted, removed))
        m_longLines.erase(line);
    if (!m_widestKnown)
        return;
    const qsizetype lastLine = line + insertedBreaks;
    if (m_widestLine >= line && m_widestLine <= line + removedBreaks) {
        // The widest line was edited: it may have narrowed, and then some
        // other line may be the widest now.
        const double widest = m_widest;
        m_widest = 0;
        widenFor(line, lastLine);
        const bool wholeText = line == 0 && lastLine == m_buffer.lineCount() - 1;
        if (m_widest < widest && !wholeText)
            m_widestKnown = false;
        return;
    }
    if (m_widestLine > line)
        m_widestLine += insertedBreaks - removedBreaks;
    widenFor(line, lastLine);
}

// An edit inside one chunk of a long line of left-to-right text changes that
// chunk alone.
bool LineGeometry::updateInPlace(qsizetype line, qsizetype position, qsizetype inserted, qsizetype removed)
{
    const auto found = m_longLines.find(line);
    if (found == m_longLines.end() || found->second.bidi || Bidi::hasRightToLeft(m_buffer.view(position, inserted)))
        return false;
    LongLine &record = found->second;
    const qsizetype lineStart = m_buffer.lineStart(line);
    const qsizetype offset = position - lineStart;
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
    const qsizetype newEnd = record.ends[index] + delta;
    // Neither this chunk nor the next may now start inside a character.
    if ((index > 0 && !mayStartChunk(m_buffer.at(lineStart + from)))
        || (index + 1 < record.ends.size() && !mayStartChunk(m_buffer.at(lineStart + newEnd))))
        return false;
    for (size_t i = index; i < record.ends.size(); ++i)
        record.ends[i] += delta;
    const Sum sum = sumOfAdvances(m_buffer.mid(lineStart + from, newLength));
    record.widths[index] = sum.width;
    record.flags[index] = std::uint8_t((sum.plain ? LongLine::Plain | LongLine::Exact : 0) | (sum.tab ? LongLine::Tab : 0));
    if (!sum.plain)
        record.pending = qMin(record.pending, index);
    place(record, index);
    return true;
}
