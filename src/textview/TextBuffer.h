#pragma once

#include "core/Halves.h"
#include "core/LineBreaks.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <vector>

// The text of a text area: one UTF-16 buffer with a gap at the place of the
// last edit, and the start of every line. Every line break is stored as
// CR LF; LF, CR and CR LF put in all become CR LF, and nothing else is
// changed. Positions count UTF-16 code units; a position never falls between
// the CR and the LF of a line break.
//
// Edits at one place cost no more than the text they move; the line index
// shifts the lines after an edit lazily, so typing within one region does not
// touch every line. text() hands out the buffer itself when nobody changes it
// meanwhile.
class TextBuffer
{
public:
    TextBuffer();

    void setText(QString text)
    {
        Unmeasured none;
        setText(std::move(text), none);
    }
    // The same; lines.add(line, text) sees every line once the text is in.
    // A long text is read in two parts at once, the second by a copy of
    // lines made first, which lines.append(copy) then takes in.
    template<typename Lines>
    void setText(QString text, Lines &lines);
    // The lines with CR LF between them, none of which may hold a CR or an
    // LF; each(line, text) sees every line as it is copied in, while its
    // characters are at hand.
    template<typename F>
    void setLines(const QList<QStringView> &lines, F each);
    QString text() const;
    qsizetype size() const { return m_chars.size() - gapLength(); }
    bool isEmpty() const { return size() == 0; }

    QChar at(qsizetype position) const;
    QString mid(qsizetype position, qsizetype length) const;
    // The text from position on in one piece, valid until the next change;
    // moves the gap out of the way when it lies inside.
    QStringView view(qsizetype position, qsizetype length) const
    {
        if (position < m_gapStart && position + length > m_gapStart)
            moveGap(position + length);
        return QStringView(m_chars).sliced(physical(position), length);
    }
    // Calls f with the text from position on, in at most two pieces.
    template<typename F>
    void visit(qsizetype position, qsizetype length, F f) const;

    // Both take and give text with CR LF line breaks (insert makes it so).
    void insert(qsizetype position, const QString &text);
    void remove(qsizetype position, qsizetype length);

    qsizetype lineCount() const { return qsizetype(m_lineStarts.size()); }
    qsizetype lineStart(qsizetype line) const
    {
        return m_lineStarts[size_t(line)] + (line >= m_shiftFrom ? m_shift : 0);
    }
    // Where the line's text ends: at its CR LF, or at the end of the text.
    qsizetype lineEnd(qsizetype line) const { return line + 1 < lineCount() ? lineStart(line + 1) - 2 : size(); }
    qsizetype lineLength(qsizetype line) const { return lineEnd(line) - lineStart(line); }
    qsizetype lineOf(qsizetype position) const;

    // Offsets that count a line break as one character, as screen readers
    // and Qt's own text boxes count them.
    qsizetype offsetOf(qsizetype position) const { return position - lineOf(position); }
    qsizetype positionOfOffset(qsizetype offset) const;
    qsizetype offsetCount() const { return size() - (lineCount() - 1); }

private:
    qsizetype gapLength() const { return m_gapEnd - m_gapStart; }
    qsizetype physical(qsizetype position) const { return position < m_gapStart ? position : position + gapLength(); }
    void moveGap(qsizetype position) const;
    void reserveGap(qsizetype length);
    void clear();
    struct Unmeasured
    {
        void add(qsizetype, QStringView) {}
        void append(const Unmeasured &) {}
    };
    // Texts from this long on are read in two parts, on two threads.
    static constexpr qsizetype readInPartsFrom = 1 << 20;
    // A text cut in two parts at a line's start near its middle, and the
    // line breaks of each, counted at once; one count for the whole text
    // when it is short, holds no line feed near its middle, or no thread
    // can be had.
    struct Parts
    {
        qsizetype bounds[3] = {};
        std::vector<LineBreakCounts> counts;
        bool apart() const { return counts.size() == 2; }
    };
    static Parts partsOf(QStringView text);
    // Work on parts [first, end) of the two: both at once when apart, or
    // both here (also when no thread can be had).
    template<typename Work>
    static auto inParts(bool apart, Work work)
    {
        return inHalves(2, apart ? 2 : 3, work);
    }
    // The start of every line of a text, whose line breaks become CR LF;
    // lines.add(line, text) sees every line as it is found, while its
    // characters are at hand.
    template<typename Lines>
    static std::vector<qsizetype> lineStartsOf(QString &text, Lines &lines);
    // The count lines from start on, the last of them the text's last when
    // it is so marked: their starts go to out, and lines.add(i, text) sees
    // the i-th of them.
    template<typename Lines>
    static void findLines(QStringView text, qsizetype start, qsizetype count, bool last, qsizetype *out, Lines &lines);
    void adopt(QString text, std::vector<qsizetype> starts);
    void shiftLines(qsizetype fromLine, qsizetype delta);
    void applyPendingShift() const;

    // Mutable so that text() can close the gap and share the buffer.
    mutable QString m_chars;
    mutable qsizetype m_gapStart = 0;
    mutable qsizetype m_gapEnd = 0;
    // Lines from m_shiftFrom on start m_shift later than their entry says.
    mutable std::vector<qsizetype> m_lineStarts;
    mutable qsizetype m_shiftFrom = 0;
    mutable qsizetype m_shift = 0;
};

template<typename F>
void TextBuffer::setLines(const QList<QStringView> &lines, F each)
{
    qsizetype size = 2 * qMax<qsizetype>(0, lines.size() - 1);
    for (QStringView line : lines)
        size += line.size();
    QString text(size, Qt::Uninitialized);
    std::vector<qsizetype> starts(size_t(qMax<qsizetype>(1, lines.size())), 0);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qsizetype at = 0;
    // Lines in another order than their text's (sorted ones) lie all over
    // memory: the ones a little ahead are asked for while these are copied.
    constexpr qsizetype ahead = 16;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i + ahead < lines.size())
            __builtin_prefetch(lines[i + ahead].data());
        if (i > 0) {
            out[at++] = u'\r';
            out[at++] = u'\n';
        }
        starts[size_t(i)] = at;
        std::copy_n(lines[i].utf16(), lines[i].size(), out + at);
        each(i, QStringView(out + at, lines[i].size()));
        at += lines[i].size();
    }
    adopt(std::move(text), std::move(starts));
}

template<typename Lines>
void TextBuffer::setText(QString text, Lines &lines)
{
    // Every step that may run out of memory comes after the old text is let
    // go (the new one may be as large), or leaves the buffer empty, so that
    // a failure never leaves text and index apart.
    clear();
    std::vector<qsizetype> starts = lineStartsOf(text, lines);
    adopt(std::move(text), std::move(starts));
}

template<typename Lines>
std::vector<qsizetype> TextBuffer::lineStartsOf(QString &text, Lines &lines)
{
    // The line breaks are counted first, part by part, so that each part
    // knows where its lines go and the search stops at the text's last line
    // feed: a joined line of millions of characters holds none.
    Parts parts = partsOf(text);
    if (!std::all_of(parts.counts.begin(), parts.counts.end(), [](const LineBreakCounts &c) { return c.onlyCrLf(); })) {
        makeCrLfLineBreaks(text, 0);
        parts = partsOf(text);
    }
    const qsizetype firstPartLines = parts.counts.front().lineFeeds;
    std::vector<qsizetype> starts(size_t(firstPartLines + (parts.apart() ? parts.counts.back().lineFeeds : 0) + 1));
    Lines later = parts.apart() ? lines : Lines();
    const bool readApart = inParts(parts.apart(), [&](qsizetype first, qsizetype end) {
        const qsizetype firstLine = first == 0 ? 0 : firstPartLines;
        const qsizetype count = (end == 2 ? qsizetype(starts.size()) : firstPartLines) - firstLine;
        findLines(text, parts.bounds[first], count, end == 2, starts.data() + firstLine, first == 0 ? lines : later);
        return 0;
    }).size() == 2;
    if (readApart)
        lines.append(later);
    return starts;
}

template<typename Lines>
void TextBuffer::findLines(QStringView text, qsizetype start, qsizetype count, bool last, qsizetype *out, Lines &lines)
{
    for (qsizetype line = 0; line < count; ++line) {
        const qsizetype lineFeed = last && line + 1 == count ? text.size() + 1 : text.indexOf(u'\n', start);
        out[line] = start;
        lines.add(line, text.sliced(start, lineFeed - 1 - start));
        start = lineFeed + 1;
    }
}

template<typename F>
void TextBuffer::visit(qsizetype position, qsizetype length, F f) const
{
    const QStringView chars(m_chars);
    const qsizetype end = position + length;
    if (position < m_gapStart)
        f(chars.sliced(position, qMin(end, m_gapStart) - position));
    if (end > m_gapStart) {
        const qsizetype from = qMax(position, m_gapStart);
        f(chars.sliced(from + gapLength(), end - from));
    }
}
