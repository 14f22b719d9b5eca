#pragma once

#include <QStringView>

#include <array>
#include <type_traits>

// The characters addresses are made of, as checking, reading and finding
// them all take them.
namespace AddressCharacters {

// ASCII letters, digits and the signs an atom may hold: !#$%&'*+-/=?^_`{|}~
inline constexpr std::array<bool, 0x80> atomAscii = [] {
    std::array<bool, 0x80> table{};
    for (char c : "!#$%&'*+-/=?^_`{|}~abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")
        table[std::size_t(c)] = c != 0;
    return table;
}();

inline bool isAtomAscii(char16_t c)
{
    return c < 0x80 && atomAscii[c];
}

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

// What each ASCII character may be in a plain address: part of an atom, of
// a domain's label (letters, digits, a hyphen), a dot, the @.
enum PlainClass : unsigned char { Other = 0, Atom = 1, LabelLetter = 2, Digit = 4, Hyphen = 8, Dot = 16, AtSign = 32 };
inline constexpr std::array<unsigned char, 0x80> plainClasses = [] {
    std::array<unsigned char, 0x80> table{};
    for (std::size_t c = 0; c < 0x80; ++c) {
        if (atomAscii[c])
            table[c] |= Atom;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            table[c] |= LabelLetter;
        if (c >= '0' && c <= '9')
            table[c] |= Digit;
    }
    table['-'] |= Hyphen;
    table['.'] = Dot;
    table['@'] = AtSign;
    return table;
}();

// Whether a text (UTF-16 or UTF-8) is an address of the plainest kind,
// which checking takes as it stands: ASCII only, a dot-atom, an @, a domain
// of two labels or more of letters, digits and hyphens, within every
// length, with no label of IDNA's own (xn--) nor two hyphens together.
// Answered in one pass, for the millions of lines that are such; false
// says nothing, and checking tells.
template<typename Char>
bool isPlainAddress(const Char *text, qsizetype size)
{
    const auto classOf = [text](qsizetype i) -> unsigned {
        const auto c = std::make_unsigned_t<Char>(text[i]);
        return c < 0x80 ? unsigned(plainClasses[c]) : unsigned(Other);
    };
    if (size < 5 || size > 254)
        return false;
    qsizetype i = 0;
    unsigned last = Dot; // a dot may not come first
    for (; i < size; ++i) {
        const unsigned c = classOf(i);
        if (c == AtSign)
            break;
        if (c == Dot ? last == Dot : !(c & Atom))
            return false;
        last = c;
    }
    if (i == 0 || i > 64 || i == size || last == Dot)
        return false;
    const qsizetype sign = i;
    qsizetype labels = 0;
    qsizetype labelStart = sign + 1;
    bool allDigits = true;
    last = Dot;
    for (i = sign + 1; i < size; ++i) {
        const unsigned c = classOf(i);
        if (c == Dot) {
            if (last & (Dot | Hyphen) || i - labelStart > 63)
                return false;
            ++labels;
            labelStart = i + 1;
            allDigits = true;
        } else if (c & Hyphen) {
            if (last & (Dot | Hyphen))
                return false;
            allDigits = false;
        } else if (c & (LabelLetter | Digit)) {
            allDigits = allDigits && (c & Digit);
        } else {
            return false;
        }
        last = c;
    }
    return labels >= 1 && !(last & (Dot | Hyphen)) && i - labelStart <= 63 && !allDigits && size - sign - 1 <= 253;
}

} // namespace AddressCharacters
