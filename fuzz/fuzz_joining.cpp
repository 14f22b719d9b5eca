// Joining keeps every piece: the joined line is the text with each CR LF
// turned into one comma, whether built in one call or piece by piece as the
// window's procedure builds it.
#include "FuzzInput.h"
#include "join/LineJoiner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = codeUnits(data, size);
    const QString expected = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(","));
    FUZZ_CHECK(LineJoiner::join(text) == expected);

    // Piece by piece with no room made beforehand, so that the line grows.
    LineJoiner::Writer stepwise;
    for (QStringView piece : LineJoiner::cutAtLineBreaks(text))
        stepwise.append(piece);
    if (!stepwise.isEmpty())
        stepwise.dropTrailingSeparator();
    FUZZ_CHECK(stepwise.take() == expected);
    return 0;
}
