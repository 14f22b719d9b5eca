#pragma once

#include "core/WorkProgress.h"

#include <QString>

#include <optional>

class MessageBox;
class TextArea;

// The text "Load File" puts in the input for a path: a list file's lines,
// or the named addresses of an address book, a saved message, a mailbox or
// a Maildir folder, each line followed by CR LF; nothing when no file is
// there. Raises a Failure for trouble reading.
std::optional<QString> readListOrContacts(const QString &path, WorkProgress *progress = nullptr);

// Whether a path is an mbox file or a Maildir folder, which may be long.
bool isMailbox(const QString &path);

// Appends the lines of a list file to a text area, each followed by CR LF, in
// one update. A missing file shows "File not found" and appends nothing.
void readLinesInto(TextArea &target, const QString &path, MessageBox &boxes);

// Writes a text area's whole text to a file, after asking whether to
// overwrite a file that exists there. No leaves that file as it was.
void writeAreaToFile(const TextArea &source, const QString &path, MessageBox &boxes);
