#include "join/LineJoiner.h"

namespace LineJoiner {

QList<QStringView> cutAtLineBreaks(QStringView text)
{
    if (text.isEmpty())
        return {};
    QList<QStringView> pieces;
    pieces.reserve(text.count(u'\n') + 1);
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u'\r'); at >= 0; at = text.indexOf(u'\r', at + 1)) {
        if (at + 1 < text.size() && text[at + 1] == u'\n') {
            pieces.append(text.sliced(from, at - from));
            from = at + 2;
        }
    }
    pieces.append(text.sliced(from));
    return pieces;
}

void appendPiece(QString &result, QStringView piece)
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
    for (QStringView piece : cutAtLineBreaks(text))
        appendPiece(result, piece);
    dropTrailingComma(result);
    return result;
}

} // namespace LineJoiner
