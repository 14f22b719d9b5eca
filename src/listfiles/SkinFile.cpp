#include "listfiles/SkinFile.h"

#include <QDir>
#include <QFileInfo>

bool isListedOrdinaryFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.fileName().isEmpty())
        return false;
    QDir folder = info.dir();
    folder.setNameFilters({info.fileName()});
    folder.setFilter(QDir::Files);
    return folder.entryList().contains(info.fileName());
}
