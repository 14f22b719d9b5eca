#pragma once

#include "core/WorkProgress.h"

#include <QString>
#include <QStringList>

#include <optional>

// Appends to text what "Load File" puts in the input for a path: a list
// file's lines, or the named addresses of an address book, a saved message,
// a mailbox or a Maildir folder (contacts), each line followed by CR LF;
// nothing when no file is there, and then answers nothing. Raises a Failure
// for trouble reading and std::bad_alloc when memory runs out, the text as
// it was either way.
struct LoadedFile
{
    bool contacts = false;
    QStringList skipped; // each message of a Maildir that could not be read: its path, and why
};
std::optional<LoadedFile> appendListOrContacts(const QString &path, QString &text, WorkProgress *progress = nullptr);
