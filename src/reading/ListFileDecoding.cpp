#include "reading/ListFileDecoding.h"

#include "reading/ListEncoding.h"
#include "reading/StreamingJoin.h"

#include <QStringDecoder>

namespace {

// UTF-8 as text, every character kept: a byte-order mark here is text.
QString fromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

} // namespace

QString decodeListFile(const QByteArray &bytes)
{
    ListEncoding::Utf8Check check;
    check.feed(bytes);
    const ListEncoding::Encoding encoding = ListEncoding::of(bytes, check.isValid());
    // UTF-8 is already what the block reader would give, less its mark.
    if (encoding == ListEncoding::Encoding::Utf8)
        return fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes));
    StreamingJoin reader(StreamingJoin::Breaks::AsWritten);
    reader.startFile(encoding);
    QByteArray utf8;
    reader.feed(bytes, utf8);
    reader.finishFile(utf8);
    return fromUtf8(utf8);
}
