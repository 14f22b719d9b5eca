#pragma once

#include "join/ListCommand.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The program's options: --join, --check and the options of both, --help,
// --version and the list files.
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

// The options for --join and --check the parsed arguments give
// (readArguments has checked them).
ListCommand::Options joinOptionsOf(const QCommandLineParser &parser);
