#pragma once

#include "reading/ListEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Turns list files, a block of bytes at a time, into the very line that
// "Load File" of them and then "Start Joining" give, in UTF-8: each file is
// decoded as loading decodes it, every line break in it (CR LF, CR or LF)
// becomes a comma, and so does the line break that loading adds after it.
// Or, to read the lines themselves, into UTF-8 whose every line break is
// one LF, and nothing added; or into UTF-8 with the breaks as written. No more than a block is held, whatever the
// file's size; the encoding is chosen first, from the file's start and
// whether it is UTF-8 throughout. Halves of UTF-16 surrogate pairs that
// stand alone become U+FFFD, as in decoding.
class StreamingJoin
{
public:
    using Encoding = ListEncoding::Encoding;
    enum class Breaks { Commas, LineFeeds, AsWritten };

    explicit StreamingJoin(Breaks breaks = Breaks::Commas);

    // A new file in the given encoding; joined, an empty file reads as the
    // line "empty file".
    void startFile(Encoding encoding);
    // Converts the next bytes of the file, appending the UTF-8 to out. The
    // first block holds at least the file's first three bytes.
    void feed(QByteArrayView bytes, QByteArray &out);
    // Ends the file: what is left of it, and the comma for its end.
    void finishFile(QByteArray &out);
    // Whether a file taken as UTF-8 turned out not to be (it changed since
    // its encoding was chosen). What was written stays valid UTF-8: from the
    // first invalid byte on nothing more is written, and a character cut off
    // at the end shows as U+FFFD.
    bool isBroken() const { return m_broken; }
    // Whether the file so far held any bytes, and any text (a byte-order
    // mark is none).
    bool anyBytes() const { return m_fed > 0; }
    bool anyText() const { return m_anyText; }

private:
    void feedUtf8(QByteArrayView bytes, QByteArray &out);
    void feedBytes(QByteArrayView bytes, QByteArray &out);
    void feedUtf16(QByteArrayView bytes, QByteArray &out);
    void addUnit(char16_t unit);
    void flushUtf16(QByteArray &out, bool atEnd);

    const char m_break; // what a line break becomes; none: it stays as written
    Encoding m_encoding = Encoding::Utf8;
    qint64 m_fed = 0;        // bytes of the file so far
    bool m_anyText = false;  // whether the file holds more than a byte-order mark
    bool m_skipLf = false;   // a CR just became a comma; an LF after it is part of it
    int m_pendingByte = -1;  // the first byte of a UTF-16 unit
    QString m_units;         // UTF-16 decoded, not yet written
    ListEncoding::Utf8Check m_check;       // UTF-8 checked again as it is written
    QByteArray m_unfinished; // the start of a UTF-8 character the next bytes end
    bool m_broken = false;
};
