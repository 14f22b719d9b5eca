#include "form/AreaFileRoutines.h"

#include "join/ContactFiles.h"
#include "listfiles/FileExists.h"
#include "listfiles/TextFiles.h"
#include "platform/MessageBox.h"
#include "textview/TextArea.h"

#include <QFileInfo>

std::optional<QString> readListOrContacts(const QString &path, WorkProgress *progress)
{
    const ContactFiles::Kind kind = ContactFiles::kindOf(path);
    if (kind != ContactFiles::Kind::List && QFileInfo::exists(path))
        return ContactFiles::textOf(path, kind, progress);
    std::optional<QString> content = readListFile(path);
    if (!content)
        return std::nullopt;
    return linesWithBreaks(*std::move(content));
}

bool isMailbox(const QString &path)
{
    const ContactFiles::Kind kind = ContactFiles::kindOf(path);
    return kind == ContactFiles::Kind::Mbox || kind == ContactFiles::Kind::Maildir;
}

void readLinesInto(TextArea &target, const QString &path, MessageBox &boxes)
{
    std::optional<QString> content = readListOrContacts(path);
    if (!content) {
        boxes.inform(QStringLiteral("File not found"));
        return;
    }
    target.appendText(*std::move(content));
}

void writeAreaToFile(const TextArea &source, const QString &path, MessageBox &boxes)
{
    if (fileExists(path)
        && !boxes.askYesNo(QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?")))
        return;
    writeTextFile(path, source.text());
}
