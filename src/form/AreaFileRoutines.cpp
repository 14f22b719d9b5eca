#include "form/AreaFileRoutines.h"

#include "reading/ContactFiles.h"
#include "listfiles/FileExists.h"
#include "reading/TextFiles.h"
#include "platform/MessageBox.h"
#include "textview/TextArea.h"

#include <QDir>
#include <QFileInfo>

std::optional<ListOrContacts> readListOrContacts(const QString &path, WorkProgress *progress)
{
    const ContactFiles::Kind kind = ContactFiles::kindOf(path);
    if (kind != ContactFiles::Kind::List && QFileInfo::exists(path)) {
        ListOrContacts contacts{{}, true, {}};
        contacts.text = ContactFiles::textOf(path, kind, [&contacts](const QString &entry, const QString &why) {
            contacts.skipped << entry + QStringLiteral(": ") + why;
        }, progress);
        return contacts;
    }
    std::optional<QString> content = readListFile(path);
    if (!content)
        return std::nullopt;
    return ListOrContacts{linesWithBreaks(*std::move(content)), false, {}};
}

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
