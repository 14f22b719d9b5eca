#include "addresses/AddressCharacters.h"

#include <unicode/uchar.h>

#include <array>

namespace AddressCharacters {

namespace {

constexpr std::array<bool, 0x80> atomAscii = [] {
    std::array<bool, 0x80> table{};
    for (char c : "!#$%&'*+-/=?^_`{|}~abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")
        table[size_t(c)] = c != 0;
    return table;
}();

} // namespace

bool isAtomAscii(char16_t c)
{
    return c < 0x80 && atomAscii[c];
}

bool isInvisible(char32_t c)
{
    return c >= 0x80 && u_hasBinaryProperty(UChar32(c), UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

} // namespace AddressCharacters
