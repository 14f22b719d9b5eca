#include "join/LineJoiner.h"

namespace LineJoiner {

QStringList cutAtLineBreaks(const QString &text)
{
    if (text.isEmpty())
        return {};
    return text.split(QStringLiteral("\r\n"), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

void appendPiece(QString &result, const QString &piece)
{
    result += piece;
    result += u',';
}

void dropTrailingComma(QString &result)
{
    if (!result.isEmpty())
        result.chop(1);
}

QString join(const QString &text)
{
    QString result;
    result.reserve(text.size() + 1);
    for (const QString &piece : cutAtLineBreaks(text))
        appendPiece(result, piece);
    dropTrailingComma(result);
    return result;
}

} // namespace LineJoiner
