#pragma once

#include "reading/FileJoin.h"

#include <QByteArray>
#include <QList>

#include <functional>

// Reads a list file's bytes, a block at a time, as the lines that "Load
// File" puts in the input, in UTF-8, decoded as if read whole: every CR LF,
// LF and CR is a line break, and the last line is what follows the last
// one (an empty line after a break at the end). A file of no bytes gives
// the line "empty file"; one of nothing but a byte-order mark gives no line
// at all. UTF-8 goes through as it is, checked again on the way; other
// encodings are converted as StreamingJoin converts them. The lines are
// handed on many at a time, as views that last for the call.
class LineDecoder : public FileJoin::Reader
{
public:
    using Take = std::function<void(const QList<QByteArrayView> &lines)>;

    // skipEmptyFile: a file of no bytes gives no line either.
    LineDecoder(Take take, bool skipEmptyFile);

    // A line longer than longest goes to takePiece instead, in pieces of
    // whole characters as they are read, never held whole; last for its
    // last piece.
    using TakePiece = std::function<void(QByteArrayView piece, bool last)>;
    void handOnLongLines(qsizetype longest, TakePiece takePiece);
    // The empty line after a line break that ends a file goes to
    // afterLastBreak instead of take: it is no line of the file, though
    // "Load File" shows one there.
    void handOnAfterLastBreak(std::function<void()> afterLastBreak) { m_afterLastBreak = std::move(afterLastBreak); }
    // The longest line the command line's options hold whole.
    static constexpr qsizetype longestHeldLine = 4 << 20;

    void startFile(StreamingJoin::Encoding encoding) override;
    void feed(QByteArrayView bytes) override;
    void finishFile() override;
    bool isBroken() const override { return m_utf8 ? m_broken : m_join.isBroken(); }

private:
    void handOnBlock(QByteArrayView bytes);
    void handOnPieces();
    qsizetype handOnLines(QByteArrayView bytes, bool atEnd);
    void handOn(QByteArrayView line);
    void handOnGathered();
    void endInReplacement(int unfinished);

    Take m_take;
    bool m_skipEmptyFile;
    bool m_utf8 = true;
    StreamingJoin m_join{StreamingJoin::Breaks::LineFeeds}; // for other encodings
    ListEncoding::Utf8Check m_check;
    qint64 m_fed = 0;
    bool m_anyText = false;
    bool m_broken = false;
    QByteArray m_text; // read, not yet handed on: the start of a line
    qsizetype m_longest = 0;
    TakePiece m_takePiece;
    std::function<void()> m_afterLastBreak;
    bool m_inPieces = false; // the line at hand goes on in pieces
    QList<QByteArrayView> m_lines; // gathered to be handed on at once
};
