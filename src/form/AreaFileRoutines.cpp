#include "form/AreaFileRoutines.h"

#include "listfiles/FileExists.h"
#include "reading/TextFiles.h"
#include "platform/MessageBox.h"
#include "textview/TextArea.h"

#include <QDir>
#include <QFileInfo>

QString asTextFile(const QString &path)
{
    const QFileInfo file(path);
    return file.dir().filePath(file.completeBaseName() + QStringLiteral(".txt"));
}

void writeAreaToFile(const TextArea &source, const QString &path, MessageBox &boxes)
{
    if (fileExists(path)
        && !boxes.askYesNo(QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?")))
        return;
    writeTextFile(path, source.text());
}
