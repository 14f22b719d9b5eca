#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The program's options: --join, --help, --version and the list files.
void describeOptions(QCommandLineParser &parser);

// What the arguments ask for, read before any application object exists, so
// that a wrong option is told even where there is no display.
struct Request
{
    enum Kind { Window, NoWindow, Wrong };
    Kind kind = Window;
    QString error; // what is wrong, for Wrong
};
Request readArguments(int argc, char *argv[]);

// Prints the line that "Load File" of the files and then "Start Joining"
// would give, with a line feed after it; no file, or "-", is standard input.
// Files are read a block at a time. A file that cannot be read is named on
// standard error and makes the answer 1; the other files are still joined.
// A failed write is told on standard error and ends the program with 1.
int joinToStandardOutput(const QStringList &files);
