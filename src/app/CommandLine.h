#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// How --join tidies and joins the lines, in this order: trim, skip empty
// lines, drop duplicates, sort; then join with the separator, so many items
// to an output line. With none of them, the output is the window's line.
struct JoinOptions
{
    bool trim = false;
    bool skipEmpty = false;
    bool unique = false;
    bool sort = false;
    QString separator = QStringLiteral(",");
    qsizetype batch = 0; // items to an output line; 0 for one line

    bool isPlain() const { return !trim && !skipEmpty && !unique && !sort && separator == u"," && batch == 0; }
};

// The program's options: --join and its tidying options, --help, --version
// and the list files.
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

// The join options the parsed arguments give (readArguments has checked them).
JoinOptions joinOptionsOf(const QCommandLineParser &parser);
