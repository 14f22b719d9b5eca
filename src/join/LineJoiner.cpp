#include "join/LineJoiner.h"

#include <algorithm>

namespace LineJoiner {

QList<QStringView> cutAtLineBreaks(QStringView text)
{
    if (text.isEmpty())
        return {};
    QList<QStringView> pieces;
    pieces.reserve(std::count(text.begin(), text.end(), u'\n') + 1);
    // Qt's search for the LFs looks at many characters at a time.
    const char16_t *chars = text.utf16();
    qsizetype from = 0;
    for (qsizetype lf = text.indexOf(u'\n', 1); lf > 0; lf = text.indexOf(u'\n', lf + 1)) {
        if (chars[lf - 1] == u'\r') {
            pieces.append(text.sliced(from, lf - 1 - from));
            from = lf + 1;
        }
    }
    pieces.append(text.sliced(from));
    return pieces;
}

void appendPiece(QString &result, QStringView piece, QStringView separator)
{
    result += piece;
    result += separator;
}

void dropTrailingComma(QString &result, QStringView separator)
{
    if (result.endsWith(separator))
        result.chop(separator.size());
}

QString join(QStringView text)
{
    QString result;
    result.reserve(text.size() + 1);
    for (QStringView piece : cutAtLineBreaks(text))
        appendPiece(result, piece);
    dropTrailingComma(result);
    return result;
}

QString joined(const QList<QStringView> &pieces, QStringView separator)
{
    qsizetype size = separator.size() * qMax<qsizetype>(0, pieces.size() - 1);
    for (QStringView piece : pieces)
        size += piece.size();
    QString result(size, Qt::Uninitialized);
    QChar *out = result.data();
    // Pieces in another order than the text's (sorted lines) lie all over
    // memory: the ones a little ahead are asked for while these are copied.
    constexpr qsizetype ahead = 16;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i + ahead < pieces.size())
            __builtin_prefetch(pieces[i + ahead].data());
        if (i > 0)
            out = std::copy(separator.begin(), separator.end(), out);
        out = std::copy(pieces[i].begin(), pieces[i].end(), out);
    }
    return result;
}

} // namespace LineJoiner
