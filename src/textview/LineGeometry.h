#pragma once

#include "textview/ChunkLayout.h"
#include "textview/LineCuts.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class TextBuffer;

// Where the characters of a text area's lines lie across. A long line is cut
// into chunks of a few hundred characters, each laid out and drawn on its
// own, placed by running positions in double precision: nothing handed to Qt
// is ever wider than a chunk. Cuts fall only between whole characters (never
// inside a surrogate pair, before a combining mark or within an emoji
// sequence) and where the bidirectional algorithm gives each side the same
// levels laid out alone; a right-to-left run too long for one chunk is cut
// into chunks laid out right to left and placed in reverse, as the run
// shows in one piece.
//
// Text that needs no shaping (the Latin, Greek and Cyrillic letters and the
// like) is drawn without it, so that its width is the sum of its characters'
// advances and a line of millions of them is placed at once; a chunk with
// anything else is shaped, and measured when it is first laid out.
class LineGeometry
{
public:
    using Chunk = ChunkLayout::Chunk;

    explicit LineGeometry(const TextBuffer &buffer) : m_buffer(buffer) {}

    void setFont(const QFont &font);
    const QFont &font() const { return m_plainFont; }
    int lineHeight() const { return m_lineHeight; }
    int ascent() const { return m_ascent; }
    double spaceWidth() const { return m_spaceWidth; }

    // The chunks of a line that reach into [fromX, toX), left to right.
    std::vector<Chunk> chunksBetween(qsizetype line, double fromX, double toX);
    // The chunk whose layout places the caret at a position: the one holding
    // the character after it, or at a border between a left-to-right and a
    // right-to-left chunk, the left-to-right one, as a whole line places it.
    Chunk chunkAt(qsizetype line, qsizetype position);
    // The chunk holding the character before a position.
    Chunk chunkBefore(qsizetype line, qsizetype position);
    // The chunk under x, the first or last when x lies outside the line.
    Chunk chunkAtX(qsizetype line, double x);
    double lineWidth(qsizetype line);
    // The widest line's width; an estimate where shaping counts.
    double widestLine();

    // A chunk laid out, ready to draw or ask; with the composition when it
    // lies in the chunk. Measuring it corrects the chunk's width; answers
    // whether anything moved.
    std::unique_ptr<ChunkLayout> layOut(const Chunk &chunk, const ChunkLayout::Composition *composition = nullptr) const;
    bool measured(qsizetype line, const Chunk &chunk, const ChunkLayout &layout);

    // Whether some chunk's width is still an estimate; measuring lays out up
    // to budget of them and answers whether any are left.
    bool hasEstimates() const;
    bool measureEstimates(size_t budget);

    // The buffer changed at position: removed characters went, inserted came,
    // with so many line breaks among each.
    void textChanged(qsizetype position, qsizetype inserted, qsizetype removed, qsizetype insertedBreaks,
                     qsizetype removedBreaks);
    void reset();

    // The widths of a whole new text's lines, measured on another thread as
    // the text is made, with the advances known when the measuring began;
    // lines it cannot tell (long ones, ones with characters not met yet) are
    // left to the window's thread.
    class Measured
    {
    public:
        void add(qsizetype line, QStringView text);
        // The lines measured by a copy made before any was added, which
        // come after these.
        void append(const Measured &later);

    private:
        friend class LineGeometry;
        std::vector<float> m_advances;
        quint64 m_font = 0;
        qsizetype m_lines = 0;
        double m_widest = 0;
        qsizetype m_widestLine = 0;
        std::vector<qsizetype> m_unmeasured;
        static constexpr qsizetype mostUnmeasured = 4096;
        bool m_gaveUp = false;
    };
    // Learns the advances of printable ASCII first, the letters of most
    // lists, so that a first text in a new font is measured where it is made.
    Measured measuring();
    // The next change brings the whole text measured: it takes its widths
    // from there.
    void expect(Measured measured) { m_expected = std::move(measured); }

private:
    struct LongLine
    {
        enum Flag : std::uint8_t { Exact = 1, Plain = 2, RightToLeft = 4, Tab = 8, RaisedStart = 16 };
        std::vector<qsizetype> ends; // from the line's start, in the order of the text
        std::vector<double> widths;
        std::vector<double> xs; // left edges
        std::vector<std::uint8_t> flags;
        // The chunks from left to right, when that is not the order of the text.
        std::vector<std::uint32_t> visual;
        double width = 0;
        bool bidi = false; // holds right-to-left text: any edit lays it out anew
        size_t pending = 0; // the first chunk from the left whose width may be an estimate
        qsizetype length() const { return ends.empty() ? 0 : ends.back(); }
        size_t atVisual(size_t k) const { return visual.empty() ? k : visual[k]; }
    };

    struct Sum
    {
        double width = 0;
        bool plain = true;
        bool tab = false;
    };
    Sum sumOfAdvances(QStringView text, bool widthOnly = false);
    double advance(char16_t c);
    LongLine &longLine(qsizetype line);
    LongLine build(qsizetype line);
    LongLine cut(QStringView text, bool bidi);
    void place(LongLine &record, size_t from) const;
    size_t measure(qsizetype line, LongLine &record, size_t budget);
    Chunk chunk(qsizetype line, const LongLine &record, size_t index) const;
    Chunk wholeLine(qsizetype line, bool widthOnly = false);
    size_t indexAt(const LongLine &record, qsizetype offset, bool before) const;
    bool updateInPlace(qsizetype line, qsizetype position, qsizetype inserted, qsizetype removed);
    bool takeMeasured();
    void widenFor(qsizetype firstLine, qsizetype lastLine);

    const TextBuffer &m_buffer;
    QFont m_plainFont;
    QFont m_shapingFont;
    int m_lineHeight = 1;
    int m_ascent = 0;
    double m_spaceWidth = 0;
    std::vector<float> m_advances;
    quint64 m_font = 0; // counts the fonts set, so that measurements tell which they used
    std::optional<Measured> m_expected;
    std::unordered_map<qsizetype, LongLine> m_longLines;
    double m_widest = 0;
    qsizetype m_widestLine = 0;
    bool m_widestKnown = false;
};
