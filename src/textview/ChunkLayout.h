#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>

class QPainter;

// One chunk of a line, laid out by Qt as one unwrapped line. It answers in
// the text's own positions and in x from the start of the line, so that its
// users need not know how it is laid out: tabs stop where they would in the
// whole line, a chunk of a long right-to-left run is laid out inside a
// right-to-left embedding as it stands in the line, and what an input method
// composes shows where it is composed.
class ChunkLayout
{
public:
    struct Chunk
    {
        qsizetype start = 0; // absolute positions in the buffer
        qsizetype end = 0;
        double x = 0; // the left edge, from the start of the line
        double width = 0;
        bool rightToLeft = false; // part of a long right-to-left run
        bool plain = true;        // drawn without shaping
    };

    // What an input method composes at a position: shown there, not yet text.
    struct Composition
    {
        qsizetype position = -1;
        QString text;
        QList<QTextLayout::FormatRange> formats; // within the text
        int cursor = 0;
    };

    ChunkLayout(const Chunk &chunk, const QString &text, const QFont &font, double tabDistance,
                const Composition *composition);

    const Chunk &chunk() const { return m_chunk; }
    // The width as laid out, composition included.
    double width() const { return m_layout.lineAt(0).horizontalAdvance(); }
    // Where the caret stands at a position of the chunk.
    double xOf(qsizetype position) const;
    // Where the composition's own cursor stands.
    double compositionCursorX() const;
    // The position nearest to x, or that of the character under it.
    qsizetype positionAt(double x, QTextLine::CursorPosition mode = QTextLine::CursorBetweenCharacters) const;
    // The next and previous places a caret may stand: never inside a
    // character made of several code units or code points.
    qsizetype nextPosition(qsizetype position) const;
    qsizetype previousPosition(qsizetype position) const;
    // Draws the chunk with its line starting at origin, the selected part
    // highlighted.
    void draw(QPainter &painter, QPointF lineOrigin, qsizetype selectionStart, qsizetype selectionEnd,
              const QTextCharFormat &selected) const;

private:
    void setTabStops(QTextOption &option, const QString &text, const QFont &font, double distance) const;
    int offsetOf(qsizetype position) const;
    qsizetype positionOf(int offset) const;
    // The chunk's own text as laid out, without what is put around it.
    QStringView chunkText() const;

    Chunk m_chunk;
    QTextLayout m_layout;
    int m_lead = 0;          // characters put before the chunk's text (the embedding)
    int m_compositionAt = -1; // offset of the composition in the laid-out text
    int m_compositionLength = 0;
    int m_compositionCursor = 0;
};
