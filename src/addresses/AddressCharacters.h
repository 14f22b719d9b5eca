#pragma once

#include <QStringView>

// The characters addresses are made of, as checking, reading and finding
// them all take them.
namespace AddressCharacters {

// ASCII letters, digits and the signs an atom may hold: !#$%&'*+-/=?^_`{|}~
bool isAtomAscii(char16_t c);

// Characters that show nothing (zero-width spaces and joiners, variation
// selectors, fillers): an address holding one is not the one it looks like.
bool isInvisible(char32_t c);

// The full stops that IDNA takes for dots between a domain's labels.
inline bool isIdeographicFullStop(char32_t c)
{
    return c == 0x3002 || c == 0xFF0E || c == 0xFF61;
}

// The code point that starts at i, or ends just before i; a surrogate
// standing alone is itself.
inline char32_t codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    return text[i].unicode();
}

inline char32_t codePointBefore(QStringView text, qsizetype i)
{
    if (text[i - 1].isLowSurrogate() && i >= 2 && text[i - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[i - 2], text[i - 1]);
    return text[i - 1].unicode();
}

inline int width(char32_t c)
{
    return c > 0xFFFF ? 2 : 1;
}

} // namespace AddressCharacters
