#pragma once

#include "app/CommandLine.h"

#include <QStringList>

// Prints the line that "Load File" of the files and then "Start Joining"
// would give, with a line feed after it; no file, or "-", is standard input.
// Files are then read a block at a time. With tidying options the lines are
// tidied first, and with a batch size the line is cut after so many items.
// A file that cannot be read is named on standard error and makes the answer
// 1; the other files are still joined. A failed write is told on standard
// error and ends the program with 1.
int joinToStandardOutput(const QStringList &files, const JoinOptions &options);
