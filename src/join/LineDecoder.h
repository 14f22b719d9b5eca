#pragma once

#include "join/FileJoin.h"

#include <QString>
#include <QStringDecoder>

#include <functional>

// Decodes a list file's bytes, a block at a time, into the lines that "Load
// File" puts in the input, decoded as if read whole: every CR LF, LF and CR
// is a line break, and the last line is what follows the last one (an empty
// line after a break at the end). A file of no bytes gives the line "empty
// file"; one of nothing but a byte-order mark gives no line at all. Halves
// of UTF-16 surrogate pairs that stand alone become U+FFFD.
class LineDecoder : public FileJoin::Reader
{
public:
    using Take = std::function<void(QStringView line)>;

    // skipEmptyFile: a file of no bytes gives no line either.
    LineDecoder(Take take, bool skipEmptyFile);

    void startFile(StreamingJoin::Encoding encoding) override;
    void feed(QByteArrayView bytes) override;
    void finishFile() override;
    bool isBroken() const override { return m_broken; }

private:
    void decodeUtf16(QByteArrayView bytes);
    void handOnLines(bool atEnd);
    void handOn(qsizetype from, qsizetype to);

    Take m_take;
    bool m_skipEmptyFile;
    StreamingJoin::Encoding m_encoding = StreamingJoin::Encoding::Utf8;
    QStringDecoder m_utf8;
    StreamingJoin::Utf8Check m_check; // UTF-8 checked again as it is decoded
    qint64 m_fed = 0;
    bool m_anyText = false;
    bool m_broken = false;
    int m_pendingByte = -1; // the first byte of a UTF-16 unit
    QString m_text;         // decoded, not yet handed on: the start of a line
};
