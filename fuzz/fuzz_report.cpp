// The error report keeps the description whole at its start, then says
// where, then asks for a screenshot, whatever the description holds.
#include "FuzzInput.h"
#include "core/ReportText.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int line = 0;
    if (size >= sizeof line) {
        std::memcpy(&line, data, sizeof line);
        data += sizeof line;
        size -= sizeof line;
    }
    const QString description = codeUnits(data, size);
    const QString report = composeReport(description, Qualifier::PushButton3_Click, line);
    FUZZ_CHECK(report.startsWith(description + QStringLiteral("\r\n") + Qualifier::PushButton3_Click
                                 + QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r")));
    FUZZ_CHECK(report.endsWith(QStringLiteral("Please email screenshot of this message to support@example.com")));
    return 0;
}
