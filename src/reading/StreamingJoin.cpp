#include "reading/StreamingJoin.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

char *putUtf8(char *out, char16_t u)
{
    if (u < 0x80) {
        *out++ = char(u);
    } else if (u < 0x800) {
        *out++ = char(0xC0 | (u >> 6));
        *out++ = char(0x80 | (u & 0x3F));
    } else {
        *out++ = char(0xE0 | (u >> 12));
        *out++ = char(0x80 | ((u >> 6) & 0x3F));
        *out++ = char(0x80 | (u & 0x3F));
    }
    return out;
}

// Whether eight bytes hold the byte b: a zero byte in their xor with it.
constexpr bool holds(std::uint64_t eight, unsigned char b)
{
    const std::uint64_t x = eight ^ (0x0101010101010101ull * b);
    return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// Eight bytes that go through as they are: no line break among them, and,
// unless they are UTF-8, nothing above ASCII.
constexpr bool isPlainRun(std::uint64_t eight, bool utf8)
{
    return (utf8 || (eight & 0x8080808080808080ull) == 0) && !holds(eight, '\r') && !holds(eight, '\n');
}

} // namespace

StreamingJoin::StreamingJoin(Breaks breaks)
    : m_break(breaks == Breaks::Commas ? ',' : breaks == Breaks::LineFeeds ? '\n' : '\0')
{
}

void StreamingJoin::startFile(Encoding encoding)
{
    m_encoding = encoding;
    m_fed = 0;
    m_anyText = false;
    m_skipLf = false;
    m_pendingByte = -1;
    m_units.clear();
    m_check = ListEncoding::Utf8Check();
    m_unfinished.clear();
    m_broken = false;
}

void StreamingJoin::feed(QByteArrayView bytes, QByteArray &out)
{
    if (bytes.isEmpty())
        return;
    const qint64 fedBefore = m_fed;
    m_fed += bytes.size();
    // The byte-order mark at the very start is no text.
    if (fedBefore == 0 && m_encoding == Encoding::Utf8 && bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (fedBefore == 0 && m_encoding != Encoding::Utf8 && m_encoding != Encoding::Windows1252)
        bytes = bytes.sliced(2);
    switch (m_encoding) {
    case Encoding::Utf8:
        feedUtf8(bytes, out);
        break;
    case Encoding::Windows1252:
        feedBytes(bytes, out);
        break;
    case Encoding::Utf16LittleEndian:
    case Encoding::Utf16BigEndian:
        feedUtf16(bytes, out);
        break;
    }
}

// UTF-8 goes through as it is, checked again on the way: a character cut by
// the bytes' end waits for the bytes that end it.
void StreamingJoin::feedUtf8(QByteArrayView bytes, QByteArray &out)
{
    if (m_broken || bytes.isEmpty())
        return;
    m_check.feed(bytes);
    if (!m_check.isValidSoFar()) {
        m_broken = true;
        return;
    }
    m_anyText = true;
    const qsizetype held = m_check.unfinishedBytes();
    // The unfinished character began before these bytes and goes on after.
    if (held > bytes.size()) {
        m_unfinished += bytes;
        return;
    }
    // These bytes end the character that the last ones began.
    out += std::exchange(m_unfinished, QByteArray());
    feedBytes(bytes.first(bytes.size() - held), out);
    m_unfinished = bytes.last(held).toByteArray();
}

// Bytes of UTF-8 go through as they are, those of Windows-1252 become UTF-8.
// Every line break becomes a comma; a CR at a block's end takes the LF that
// may start the next.
void StreamingJoin::feedBytes(QByteArrayView bytes, QByteArray &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    if (m_skipLf && p < end && *p == '\n')
        ++p;
    m_skipLf = false;
    if (p < end)
        m_anyText = true;
    const bool utf8 = m_encoding == Encoding::Utf8;
    const qsizetype start = out.size();
    out.resize(start + (utf8 ? 1 : 3) * (end - p));
    char *w = out.data() + start;
    for (; p < end; ++p) {
        // Eight bytes at a time where none is a line break, nor, but in
        // UTF-8, above ASCII.
        for (std::uint64_t eight; end - p >= 8 && (std::memcpy(&eight, p, 8), isPlainRun(eight, utf8)); p += 8, w += 8)
            std::memcpy(w, p, 8);
        if (p == end)
            break;
        const unsigned char byte = *p;
        if (byte >= 0x80 && !utf8) {
            w = putUtf8(w, ListEncoding::windows1252(byte));
        } else if ((byte != '\r' && byte != '\n') || m_break == '\0') {
            *w++ = char(byte);
        } else {
            *w++ = m_break;
            if (byte == '\r' && p + 1 < end && p[1] == '\n')
                ++p;
            else if (byte == '\r' && p + 1 == end)
                m_skipLf = true;
        }
    }
    out.truncate(w - out.data());
}

void StreamingJoin::feedUtf16(QByteArrayView bytes, QByteArray &out)
{
    const bool bigEndian = m_encoding == Encoding::Utf16BigEndian;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        if (m_pendingByte < 0) {
            m_pendingByte = *p++;
            continue;
        }
        const unsigned char second = *p++;
        const auto unit = char16_t(bigEndian ? m_pendingByte << 8 | second : second << 8 | m_pendingByte);
        m_pendingByte = -1;
        addUnit(unit);
    }
    flushUtf16(out, false);
}

void StreamingJoin::addUnit(char16_t unit)
{
    m_anyText = true;
    const bool afterHigh = !m_units.isEmpty() && m_units.back().isHighSurrogate();
    if (afterHigh && !QChar::isLowSurrogate(unit))
        m_units.back() = QChar::ReplacementCharacter;
    if (QChar::isLowSurrogate(unit) && !afterHigh)
        unit = QChar::ReplacementCharacter;
    const bool lf = unit == u'\n';
    if (m_break == '\0') {
        m_units.append(QChar(unit));
        return;
    }
    if (m_skipLf && lf) {
        m_skipLf = false;
        return;
    }
    m_skipLf = unit == u'\r';
    m_units.append(lf || unit == u'\r' ? QChar(char16_t(m_break)) : QChar(unit));
}

// Writes what is decoded, but for a high surrogate at its end, whose low
// half may come with the next block.
void StreamingJoin::flushUtf16(QByteArray &out, bool atEnd)
{
    qsizetype length = m_units.size();
    if (!atEnd && length > 0 && m_units.back().isHighSurrogate())
        --length;
    out += QStringView(m_units).first(length).toUtf8();
    m_units.remove(0, length);
}

void StreamingJoin::finishFile(QByteArray &out)
{
    if (m_fed == 0) {
        if (m_break == ',')
            out += "empty file,";
        return;
    }
    if (m_pendingByte >= 0) {
        addUnit(QChar::ReplacementCharacter);
        m_pendingByte = -1;
    }
    if (!m_units.isEmpty() && m_units.back().isHighSurrogate())
        m_units.back() = QChar::ReplacementCharacter;
    if (m_encoding == Encoding::Utf16LittleEndian || m_encoding == Encoding::Utf16BigEndian)
        flushUtf16(out, true);
    if (!m_unfinished.isEmpty()) {
        m_broken = true;
        m_unfinished.clear();
        out += "\xEF\xBF\xBD";
    }
    // A file of nothing but a byte-order mark adds no line at all.
    if (m_anyText && m_break == ',')
        out += ',';
}
