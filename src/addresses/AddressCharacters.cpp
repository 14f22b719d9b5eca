#include "addresses/AddressCharacters.h"

#include <unicode/uchar.h>

namespace AddressCharacters {

bool isInvisible(char32_t c)
{
    return c >= 0x80 && u_hasBinaryProperty(UChar32(c), UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

} // namespace AddressCharacters
