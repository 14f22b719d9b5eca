#include "reading/ListEncoding.h"

#include <cstdint>
#include <cstring>

namespace ListEncoding {

Encoding of(QByteArrayView start, bool validUtf8)
{
    if (start.startsWith("\xFF\xFE"))
        return Encoding::Utf16LittleEndian;
    if (start.startsWith("\xFE\xFF"))
        return Encoding::Utf16BigEndian;
    return validUtf8 ? Encoding::Utf8 : Encoding::Windows1252;
}

char16_t windows1252(unsigned char byte)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte);
}

void Utf8Check::feed(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (m_valid && p < end) {
        if (m_needed == 0) {
            // Plain ASCII thirty-two bytes at a time, then eight.
            std::uint64_t eight[4];
            if (end - p >= 32 && (std::memcpy(eight, p, 32), ((eight[0] | eight[1] | eight[2] | eight[3]) & 0x8080808080808080ull) == 0)) {
                p += 32;
                continue;
            }
            if (end - p >= 8 && (std::memcpy(eight, p, 8), (eight[0] & 0x8080808080808080ull) == 0)) {
                p += 8;
                continue;
            }
            const unsigned char lead = *p++;
            if (lead < 0x80)
                continue;
            m_low = 0x80;
            m_high = 0xBF;
            if (lead >= 0xC2 && lead <= 0xDF) {
                m_needed = 1;
            } else if (lead >= 0xE0 && lead <= 0xEF) {
                m_needed = 2;
                m_low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
                m_high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
            } else if (lead >= 0xF0 && lead <= 0xF4) {
                m_needed = 3;
                m_low = lead == 0xF0 ? 0x90 : 0x80;
                m_high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
            } else {
                m_valid = false;
            }
            m_length = m_needed + 1;
        } else {
            const unsigned char next = *p++;
            m_valid = next >= m_low && next <= m_high;
            m_low = 0x80;
            m_high = 0xBF;
            --m_needed;
        }
    }
}

} // namespace ListEncoding
