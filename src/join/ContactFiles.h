#pragma once

#include "core/WorkProgress.h"
#include "join/LineDecoder.h"

#include <QString>

// Files that hold contacts or mail rather than lines: address books (vCard,
// LDIF), saved messages, mbox files and Maildir folders, read as the named
// addresses they hold (ContactReader), one line each.
namespace ContactFiles {

enum class Kind { List, AddressBook, Message, Mbox, Maildir };

// What a path holds: a folder with a cur or new folder is a Maildir; a file
// is known by its name's ending (.vcf, .vcard, .ldif, .ldi, .eml, .mbox,
// .mbx) or by its first line: BEGIN:VCARD starts an address book, a From
// line followed by a header field a mailbox. Anything else is a list, read
// as it always was.
Kind kindOf(const QString &path);

// The named addresses of a file or Maildir folder of a kind other than a
// list, handed to take as lines in UTF-8, many at a time. How far it has
// come goes to progress, which may stop it (WorkCancelled). Raises a
// Failure for trouble reading.
void read(const QString &path, Kind kind, const LineDecoder::Take &take, WorkProgress *progress = nullptr);

// The same, as the text "Load File" puts in the input: each line followed
// by CR LF.
QString textOf(const QString &path, Kind kind, WorkProgress *progress = nullptr);

} // namespace ContactFiles
