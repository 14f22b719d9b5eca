// Decoding any bytes never fails; valid UTF-8 comes back exactly, every other
// 8-bit text one character per byte, UTF-16 one character per byte pair.
#include "FuzzInput.h"
#include "reading/ListFileDecoding.h"

#include <QByteArray>
#include <QStringDecoder>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = decodeListFile(bytes);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        FUZZ_CHECK(text.size() == (bytes.size() - 1) / 2);
        return 0;
    }
    // The oracle keeps every byte-order mark as a character; the decoder
    // drops one leading mark.
    QStringDecoder oracle(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString utf8 = oracle.decode(bytes);
    if (!oracle.hasError() && utf8.toUtf8() == bytes) {
        if (utf8.startsWith(QChar::ByteOrderMark))
            utf8.remove(0, 1);
        FUZZ_CHECK(text == utf8);
    } else {
        FUZZ_CHECK(text.size() == bytes.size());
    }
    return 0;
}
