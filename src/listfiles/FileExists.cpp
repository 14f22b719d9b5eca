#include "listfiles/FileExists.h"

#include <QDateTime>
#include <QFileInfo>

bool fileExists(const QString &path)
{
    try {
        // Qt leaves the time undefined for a path it cannot look up at all
        // (one holding a NUL, say), so existence is asked first.
        const QFileInfo info(path);
        return info.exists() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}

bool isOrdinaryFile(const QString &path)
{
    return fileExists(path) && QFileInfo(path).isFile();
}
