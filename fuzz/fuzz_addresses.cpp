// Addresses in any text: checking and finding them never fails, a line that
// is an address has a key that is an address too and the same key, and
// whatever is found holds an @.
#include "FuzzInput.h"
#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const AddressCheck::Verdict verdict = AddressCheck::check(line);
    const QString key = AddressCheck::key(line);
    FUZZ_CHECK(key.isEmpty() == !verdict.isAddress());
    FUZZ_CHECK(verdict.isAddress() || verdict.empty || !verdict.reason.isEmpty());
    if (verdict.isAddress()) {
        FUZZ_CHECK(AddressCheck::check(key).isAddress());
        FUZZ_CHECK(AddressCheck::key(key) == key);
    }
    for (const QString &found : AddressExtraction::in(line))
        FUZZ_CHECK(found.contains(u'@'));
    return 0;
}
