#include "textview/Words.h"

#include <QTextBoundaryFinder>

namespace Words {

namespace {

QTextBoundaryFinder finder(QStringView text, qsizetype offset)
{
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text.data(), text.size());
    words.setPosition(offset);
    return words;
}

bool startsWord(const QTextBoundaryFinder &words)
{
    return words.boundaryReasons() & QTextBoundaryFinder::StartOfItem;
}

} // namespace

qsizetype nextStart(QStringView text, qsizetype offset)
{
    QTextBoundaryFinder words = finder(text, offset);
    for (qsizetype at = words.toNextBoundary(); at >= 0; at = words.toNextBoundary())
        if (startsWord(words))
            return at;
    return text.size();
}

qsizetype previousStart(QStringView text, qsizetype offset)
{
    QTextBoundaryFinder words = finder(text, offset);
    for (qsizetype at = words.toPreviousBoundary(); at >= 0; at = words.toPreviousBoundary())
        if (startsWord(words))
            return at;
    return 0;
}

std::pair<qsizetype, qsizetype> around(QStringView text, qsizetype offset)
{
    if (text.isEmpty())
        return {0, 0};
    offset = qBound<qsizetype>(0, offset, text.size() - 1);
    QTextBoundaryFinder words = finder(text, offset + 1);
    const qsizetype start = words.toPreviousBoundary();
    words.setPosition(offset);
    const qsizetype end = words.toNextBoundary();
    return {qMax<qsizetype>(0, start), end < 0 ? text.size() : end};
}

} // namespace Words
