#include "reading/ListFileDecoding.h"

#include "reading/ListEncoding.h"
#include "reading/StreamingJoin.h"

QString decodeListFile(const QByteArray &bytes)
{
    ListEncoding::Utf8Check check;
    check.feed(bytes);
    const ListEncoding::Encoding encoding = ListEncoding::of(bytes, check.isValid());
    // UTF-8 is already what the block reader would give.
    if (encoding == ListEncoding::Encoding::Utf8)
        return QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes));
    StreamingJoin reader(StreamingJoin::Breaks::AsWritten);
    reader.startFile(encoding);
    QByteArray utf8;
    reader.feed(bytes, utf8);
    reader.finishFile(utf8);
    return QString::fromUtf8(utf8);
}
