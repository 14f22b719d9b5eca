#include "core/StrictUtf8.h"

#include <QStringDecoder>

std::optional<QString> decodeStrictUtf8(const QByteArray &bytes)
{
    // Stateless, so that a sequence cut off at the end is an error too; a
    // leading byte-order mark is skipped.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}
