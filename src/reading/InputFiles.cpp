#include "reading/InputFiles.h"

#include "core/LineBreaks.h"
#include "reading/ContactFiles.h"
#include "reading/TextFiles.h"

#include <QFileInfo>

namespace {

std::optional<LoadedFile> appendTo(const QString &path, QString &text, WorkProgress *progress)
{
    const ContactFiles::Kind kind = ContactFiles::kindOf(path);
    if (kind != ContactFiles::Kind::List && QFileInfo::exists(path)) {
        LoadedFile contacts{true, {}};
        text += ContactFiles::textOf(path, kind, [&contacts](const QString &entry, const QString &why) {
            contacts.skipped << entry + QStringLiteral(": ") + why;
        }, progress);
        return contacts;
    }
    const qsizetype start = text.size();
    if (!appendListFile(path, text))
        return std::nullopt;
    if (text.size() > start)
        text += QStringLiteral("\r\n");
    return LoadedFile{};
}

} // namespace

std::optional<LoadedFile> appendListOrContacts(const QString &path, QString &text, WorkProgress *progress)
{
    const qsizetype start = text.size();
    try {
        std::optional<LoadedFile> loaded = appendTo(path, text, progress);
        makeCrLfLineBreaks(text, start);
        return loaded;
    } catch (...) {
        text.truncate(start);
        throw;
    }
}
