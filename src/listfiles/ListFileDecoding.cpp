#include "listfiles/ListFileDecoding.h"

#include "core/StrictUtf8.h"

#include <QStringDecoder>

namespace {

// Half of a surrogate pair with no other half is no character: U+FFFD.
void replaceLoneSurrogates(QString &text)
{
    char16_t *units = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!QChar::isSurrogate(units[i]))
            continue;
        if (QChar::isHighSurrogate(units[i]) && i + 1 < text.size() && QChar::isLowSurrogate(units[i + 1]))
            ++i;
        else
            units[i] = QChar::ReplacementCharacter;
    }
}

QString decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    QString text(bytes.size() / 2 + bytes.size() % 2, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<uchar>(bytes[i]);
        const auto second = static_cast<uchar>(bytes[i + 1]);
        *out++ = QChar(bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first));
    }
    if (bytes.size() % 2)
        *out = QChar::ReplacementCharacter;
    replaceLoneSurrogates(text);
    return text;
}

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; its five unused
// codes there map to the C1 controls, as Windows itself maps them.
QString decodeWindows1252(QByteArrayView bytes)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char byte : bytes) {
        const auto code = static_cast<uchar>(byte);
        *out++ = QChar(code >= 0x80 && code < 0xA0 ? high[code - 0x80] : char16_t(code));
    }
    return text;
}

} // namespace

QString decodeListFile(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return decodeUtf16(QByteArrayView(bytes).sliced(2), false);
    if (bytes.startsWith("\xFE\xFF"))
        return decodeUtf16(QByteArrayView(bytes).sliced(2), true);
    if (std::optional<QString> text = decodeStrictUtf8(bytes))
        return *std::move(text);
    return decodeWindows1252(bytes);
}
