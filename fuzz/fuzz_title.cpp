// The application title is the product title cut back at a space to at most
// 40 characters.
#include "FuzzInput.h"
#include "core/ApplicationTitle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString product = codeUnits(data, size);
    const QString title = applicationTitleFrom(product);
    FUZZ_CHECK(title.size() <= 40);
    FUZZ_CHECK(product.startsWith(title));
    FUZZ_CHECK(title.isEmpty() || product.at(title.size()) == u' ');
    return 0;
}
