#include "listfiles/FileExists.h"

#include <QDateTime>
#include <QFileInfo>

bool fileExists(const QString &path)
{
    try {
        return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
    } catch (...) {
        return false;
    }
}
