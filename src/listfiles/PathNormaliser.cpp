#include "listfiles/PathNormaliser.h"

#include <QDir>

QString normalisePath(const QString &path, QChar separator)
{
    const QString single(separator);
    const QString doubled(2, separator);
    if (!path.startsWith(separator))
        return QString(path).replace(doubled, single);

    qsizetype rest = 1;
    while (rest < path.size() && path[rest] == separator)
        ++rest;
    const QString prefix = separator == u'\\' ? doubled : single;
    return prefix + path.mid(rest).replace(doubled, single);
}

QString normalisePlatformPath(const QString &path)
{
    return normalisePath(path, QDir::separator());
}

QStringList chosenPaths(const QString &answer)
{
    if (answer.isEmpty())
        return {};
    const QStringList parts = answer.split(QChar(0));
    if (parts.size() == 1)
        return parts;
    QStringList paths;
    for (qsizetype i = 1; i < parts.size(); ++i)
        paths << normalisePlatformPath(parts[0] + QDir::separator() + parts[i]);
    return paths;
}
