#pragma once

#include <QByteArrayView>

// How the bytes of a list file are taken as text, the one rule for every
// reader: FF FE starts UTF-16 little-endian and FE FF big-endian; anything
// else is UTF-8 when it is valid UTF-8 throughout, otherwise Windows-1252.
namespace ListEncoding {

enum class Encoding { Utf8, Windows1252, Utf16LittleEndian, Utf16BigEndian };

// The encoding of a file that starts with these bytes and is, or is not,
// UTF-8 throughout.
Encoding of(QByteArrayView start, bool validUtf8);

// The character a byte of Windows-1252 stands for. It differs from Latin-1
// only in 0x80 to 0x9F; its five unused codes there stand for the C1
// controls, as Windows itself maps them.
char16_t windows1252(unsigned char byte);

// Whether bytes are valid UTF-8 throughout, told a block at a time.
class Utf8Check
{
public:
    void feed(QByteArrayView bytes);
    // Valid throughout, the last character complete.
    bool isValid() const { return m_valid && m_needed == 0; }
    // Nothing invalid so far, though the last character may be unfinished.
    bool isValidSoFar() const { return m_valid; }
    // The bytes of an unfinished character at the end of what was fed.
    int unfinishedBytes() const { return m_needed == 0 ? 0 : m_length - m_needed; }

private:
    bool m_valid = true;
    int m_needed = 0;            // continuation bytes still to come
    int m_length = 0;            // the bytes of the character they complete
    unsigned char m_low = 0x80;  // the range the next one must lie in
    unsigned char m_high = 0xBF;
};

} // namespace ListEncoding
