#pragma once

#include <QFont>
#include <QString>

#include <memory>
#include <unordered_map>
#include <vector>

class QTextLayout;
class TextBuffer;

// Where the characters of a text area's lines lie across. The font draws
// without kerning and, where a script allows, without shaping, so a plain
// line's width is the sum of its characters' advances. A long line is cut
// into chunks of a few hundred characters, each laid out and drawn on its
// own, placed by running positions in double precision: nothing handed to Qt
// is ever wider than a chunk. A chunk with characters that need shaping
// starts from an estimate and is measured when it is first laid out.
class LineGeometry
{
public:
    struct Chunk
    {
        qsizetype start = 0; // absolute positions in the buffer
        qsizetype end = 0;
        double x = 0; // from the start of the line
        double width = 0;
    };

    explicit LineGeometry(const TextBuffer &buffer) : m_buffer(buffer) {}

    void setFont(const QFont &font);
    const QFont &font() const { return m_font; }
    int lineHeight() const { return m_lineHeight; }
    int ascent() const { return m_ascent; }

    // The chunks of a line that reach into [fromX, toX), left to right.
    std::vector<Chunk> chunksBetween(qsizetype line, double fromX, double toX);
    // The chunk holding a position (at a boundary, the one that ends there).
    Chunk chunkAt(qsizetype line, qsizetype position);
    // The chunk under x, the first or last when x lies outside the line.
    Chunk chunkAtX(qsizetype line, double x);
    double lineWidth(qsizetype line);
    // The widest line's width; an estimate where shaping counts.
    double widestLine();

    // A chunk laid out as one unwrapped line, ready to draw or ask. Measuring
    // it corrects the chunk's width; answers the change of width.
    std::unique_ptr<QTextLayout> layOut(const Chunk &chunk) const;
    double measured(qsizetype line, const Chunk &chunk, const QTextLayout &layout);

    // The buffer changed at position: removed characters went, inserted came.
    void textChanged(qsizetype position, qsizetype inserted, qsizetype removed, bool linesChanged);
    void reset();

    // The text as drawn: line and paragraph separators would end a layout,
    // so they show as spaces; every character keeps its place.
    static QString displayText(QString text);

private:
    struct LongLine
    {
        std::vector<qsizetype> ends; // from the line's start
        std::vector<double> widths;
        std::vector<double> xEnds;
        std::vector<bool> exact;
        qsizetype length() const { return ends.empty() ? 0 : ends.back(); }
    };

    double advance(QChar c);
    bool isPlain(QChar c) const;
    double sumOfAdvances(QStringView text, bool *plain);
    LongLine &longLine(qsizetype line);
    LongLine build(qsizetype line);
    void placeFrom(LongLine &record, size_t chunk) const;
    Chunk chunk(qsizetype line, const LongLine &record, size_t index) const;
    Chunk wholeLine(qsizetype line);
    bool updateInPlace(qsizetype line, qsizetype position, qsizetype inserted, qsizetype removed);
    void widenFor(qsizetype firstLine, qsizetype lastLine);

    const TextBuffer &m_buffer;
    QFont m_font;
    int m_lineHeight = 1;
    int m_ascent = 0;
    std::vector<float> m_advances;
    std::vector<bool> m_plain;
    std::unordered_map<qsizetype, LongLine> m_longLines;
    double m_widest = 0;
    bool m_widestKnown = false;
};
