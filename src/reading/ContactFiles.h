#pragma once

#include "core/WorkProgress.h"
#include "reading/BounceReader.h"
#include "reading/LineDecoder.h"

#include <QString>

#include <functional>

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

// Told of each entry of a Maildir that cannot be read (its path, and why),
// which is passed over.
using Skipped = std::function<void(const QString &path, const QString &why)>;

// The named addresses of a file or Maildir folder of a kind other than a
// list, handed to take as lines in UTF-8, many at a time. How far it has
// come goes to progress, which may stop it (WorkCancelled). Raises a
// Failure for trouble reading. Only ordinary files are read: a pipe or a
// device is refused without waiting on it. In a Maildir, what cannot be
// read (such a file, a broken link, a message that may not be read, a
// folder of it) goes to skipped, and the rest is read.
void read(const QString &path, Kind kind, const LineDecoder::Take &take, const Skipped &skipped,
          WorkProgress *progress = nullptr);

// Mail (a saved message, an mbox or a Maildir folder) read for the
// recipients whose delivery failed for good (BounceReader), each handed to
// found; trouble as read() has it.
void readBounces(const QString &path, Kind kind, const BounceReader::Found &found, const Skipped &skipped);

// Whether a kind is mail.
inline bool isMail(Kind kind)
{
    return kind == Kind::Message || kind == Kind::Mbox || kind == Kind::Maildir;
}

// The same as read(), as the text "Load File" puts in the input: each line followed
// by CR LF.
QString textOf(const QString &path, Kind kind, const Skipped &skipped, WorkProgress *progress = nullptr);

} // namespace ContactFiles
