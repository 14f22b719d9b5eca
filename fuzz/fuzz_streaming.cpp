// Joining list files a block at a time gives the very line the window gives:
// any bytes, cut into blocks anywhere (the first holding at least three).
// The first input byte chooses where the blocks end.
#include "FuzzInput.h"
#include "core/LineBreaks.h"
#include "join/LineJoiner.h"
#include "reading/StreamingJoin.h"
#include "reading/TextFiles.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int blockLength = 1 + data[0] % 16;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const QString window = LineJoiner::join(withCrLfLineBreaks(linesWithBreaks(listFileText(bytes))));

    ListEncoding::Utf8Check check;
    for (qsizetype from = 0; from < bytes.size(); from += blockLength)
        check.feed(QByteArrayView(bytes).sliced(from, qMin<qsizetype>(blockLength, bytes.size() - from)));
    StreamingJoin join;
    join.startFile(ListEncoding::of(bytes, check.isValid()));
    QByteArray streamed;
    qsizetype from = 0;
    for (qsizetype length = qMin<qsizetype>(bytes.size(), qMax(3, blockLength)); from < bytes.size();
         from += length, length = qMin<qsizetype>(blockLength, bytes.size() - from))
        join.feed(QByteArrayView(bytes).sliced(from, length), streamed);
    join.finishFile(streamed);
    FUZZ_CHECK(!join.isBroken());
    FUZZ_CHECK(QUtf8StringView(streamed).isValidUtf8());
    FUZZ_CHECK(streamed == window.toUtf8());
    return 0;
}
