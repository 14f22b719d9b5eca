#pragma once

#include "core/WorkProgress.h"

#include <QString>
#include <QStringList>

#include <optional>

class MessageBox;
class TextArea;

// Appends to text what "Load File" puts in the input for a path: a list
// file's lines, or the named addresses of an address book, a saved message,
// a mailbox or a Maildir folder (contacts), each line followed by CR LF;
// nothing when no file is there, and then answers nothing. Raises a Failure
// for trouble reading, the text as it was.
struct LoadedFile
{
    bool contacts = false;
    QStringList skipped; // each message of a Maildir that could not be read: its path, and why
};
std::optional<LoadedFile> appendListOrContacts(const QString &path, QString &text, WorkProgress *progress = nullptr);

// The name a list made of an address book or mail is proposed to be saved
// under: its own, ending in .txt (mail.mbox gives mail.txt).
QString asTextFile(const QString &path);

// Writes a text area's whole text to a file, after asking whether to
// overwrite a file that exists there. No leaves that file as it was.
void writeAreaToFile(const TextArea &source, const QString &path, MessageBox &boxes);
