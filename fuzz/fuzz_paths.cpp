// Path repair only ever removes or adds separators, and a path that starts
// with one starts with the right prefix afterwards.
#include "FuzzInput.h"
#include "listfiles/PathNormaliser.h"

namespace {

QString withoutSeparators(QString path, QChar separator)
{
    return path.remove(separator);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QChar separator = data[0] % 2 ? u'\\' : u'/';
    const QString path = codeUnits(data + 1, size - 1);
    const QString repaired = normalisePath(path, separator);
    FUZZ_CHECK(withoutSeparators(repaired, separator) == withoutSeparators(path, separator));
    if (path.startsWith(separator)) {
        const QString prefix = separator == u'\\' ? QStringLiteral("\\\\") : QStringLiteral("/");
        FUZZ_CHECK(repaired.startsWith(prefix));
        FUZZ_CHECK(repaired.size() == prefix.size() || repaired[prefix.size()] != separator);
    } else {
        FUZZ_CHECK(repaired.size() <= path.size());
    }
    return 0;
}
