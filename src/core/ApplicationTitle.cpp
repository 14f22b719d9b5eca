#include "core/ApplicationTitle.h"

QString applicationTitleFrom(const QString &productTitle)
{
    constexpr qsizetype maximumLength = 40;
    QString title = productTitle;
    do {
        title.truncate(qMax<qsizetype>(title.lastIndexOf(u' '), 0));
    } while (title.size() > maximumLength);
    return title;
}
