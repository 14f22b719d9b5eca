#pragma once

#include "addresses/MailtoLinks.h"
#include "options/ListCommand.h"

#include <QStringList>

#include <optional>

// Prints the line that "Load File" of the files and then "Start Joining"
// would give, with a line feed after it; no file, or "-", is standard input.
// Files are then read a block at a time. With other options the lines go
// through them first (ListCommand): --check tells each line that is no
// address on standard error and makes the answer 1. A file that cannot be
// read is named on standard error and makes the answer 1; the other files
// are still joined. A failed write is told on standard error and ends the
// program with 1.
// With compose, each batch goes to the mail composer instead (BatchComposer),
// from the recipient numbered fromRecipient on.
// With options.report, reportPath gets every line removed, and why.
int joinToStandardOutput(const QStringList &files, const ListCommand::Options &options,
                         std::optional<MailtoLinks::Field> compose = {}, const QString &reportPath = {},
                         qsizetype fromRecipient = 1);
