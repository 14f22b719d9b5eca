#pragma once

#include "addresses/MailtoLinks.h"
#include "options/ListCommand.h"

#include <QStringList>

#include <optional>

// What the command line answers, as grep does: lines that are no address
// (or warnings, when strict) are 1, so that a script can tell them from
// trouble, 2: a file that cannot be read or written, a failed run, a wrong
// option; trouble wins over bad lines.
namespace ExitStatus {
constexpr int allWell = 0;
constexpr int badLines = 1;
constexpr int trouble = 2;
} // namespace ExitStatus

// Prints the line that "Load File" of the files and then "Start Joining"
// would give, with a line feed after it; no file, or "-", is standard input.
// Files are then read a block at a time. With other options the lines go
// through them first (ListCommand): --check tells each line that is no
// address on standard error and makes the answer badLines. A file that
// cannot be read is named on standard error and makes the answer trouble;
// the other files are still joined. A failed write is told on standard
// error and ends the program with trouble.
// With compose, each batch goes to the mail composer instead (BatchComposer),
// from the recipient numbered fromRecipient on, each message carrying
// message.
// With options.report, reportPath gets every line removed, and why.
// --bounced: the recipients that the mail files (saved messages, mbox
// files, Maildir folders) report failed for good, one to a line, each
// once; with reportPath, each with its file, status and the server's words.
int listBounced(const QStringList &files, const QString &reportPath = {});

int joinToStandardOutput(const QStringList &files, const ListCommand::Options &options,
                         std::optional<MailtoLinks::Field> compose = {}, const QString &reportPath = {},
                         qsizetype fromRecipient = 1, const MailtoLinks::Message &message = {});
