#include "reading/ListFileDecoding.h"

#include "reading/ListEncoding.h"
#include "reading/StreamingJoin.h"

#include <QStringDecoder>

namespace {

// UTF-8 as text, every character kept (a byte-order mark here is text),
// decoded into the text's end: it never takes more characters than bytes.
void appendUtf8(QByteArrayView bytes, QString &text)
{
    const qsizetype at = text.size();
    text.resize(at + bytes.size());
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QChar *end = decoder.appendToBuffer(text.data() + at, bytes);
    text.truncate(end - text.constData());
}

} // namespace

QString decodeListFile(const QByteArray &bytes)
{
    QString text;
    appendDecodedListFile(bytes, text);
    return text;
}

void appendDecodedListFile(const QByteArray &bytes, QString &text)
{
    ListEncoding::Utf8Check check;
    check.feed(bytes);
    const ListEncoding::Encoding encoding = ListEncoding::of(bytes, check.isValid());
    // UTF-8 is already what the block reader would give, less its mark.
    if (encoding == ListEncoding::Encoding::Utf8) {
        appendUtf8(bytes.startsWith("\xEF\xBB\xBF") ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes), text);
        return;
    }
    StreamingJoin reader(StreamingJoin::Breaks::AsWritten);
    reader.startFile(encoding);
    QByteArray utf8;
    reader.feed(bytes, utf8);
    reader.finishFile(utf8);
    appendUtf8(utf8, text);
}
