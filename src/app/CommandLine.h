#pragma once

#include <QStringList>

class QCommandLineParser;

// The program's options: --join, --help, --version and the list files.
void describeOptions(QCommandLineParser &parser);

// Whether the arguments ask for something that needs no window.
bool wantsNoWindow(int argc, char *argv[]);

// Prints the line that "Load File" of the files and then "Start Joining"
// would give, with a line feed after it; no file, or "-", is standard input.
// A file that cannot be read is named on standard error and makes the
// answer 1; the other files are still joined.
int joinToStandardOutput(const QStringList &files);
