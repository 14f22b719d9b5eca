#include "form/AreaFileRoutines.h"

#include "listfiles/FileExists.h"
#include "listfiles/TextFiles.h"
#include "platform/MessageBox.h"
#include "textview/TextArea.h"

void readLinesInto(TextArea &target, const QString &path, MessageBox &boxes)
{
    std::optional<QString> content = readListFile(path);
    if (!content) {
        boxes.inform(QStringLiteral("File not found"));
        return;
    }
    target.appendText(linesWithBreaks(*std::move(content)));
}

void writeAreaToFile(const TextArea &source, const QString &path, MessageBox &boxes)
{
    if (fileExists(path)
        && !boxes.askYesNo(QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?")))
        return;
    writeTextFile(path, source.text());
}
