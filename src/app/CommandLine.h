#pragma once

#include "addresses/MailtoLinks.h"
#include "options/ListCommand.h"

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

// The program's options: --join, --check and the options of both, --help,
// --version and the list files.
void describeOptions(QCommandLineParser &parser);
// What --help prints.
QString helpText(const QCommandLineParser &parser);

// What the arguments ask for, read before any application object exists, so
// that a wrong option is told even where there is no display.
struct Request
{
    enum Kind { Window, NoWindow, Wrong };
    Kind kind = Window;
    QString error; // what is wrong, for Wrong
};
Request readArguments(int argc, char *argv[]);

// The arguments with the value an option may go without put in
// (--compose is --compose=bcc).
QStringList withOptionValues(QStringList arguments);

// The options for --join and --check the parsed arguments give
// (readArguments has checked them).
ListCommand::Options joinOptionsOf(const QCommandLineParser &parser);
// Where --compose puts the recipients, when it is given.
std::optional<MailtoLinks::Field> composeOf(const QCommandLineParser &parser);
// What --to, --subject and --body-file put in every message; false, when
// the body's file cannot be read (it is told).
bool readMessage(const QCommandLineParser &parser, MailtoLinks::Message &message);
// Whether --bounced lists the failed recipients of mail.
bool bouncedOf(const QCommandLineParser &parser);
// Where --report writes, when it is given.
QString reportPathOf(const QCommandLineParser &parser);
// The recipient --compose starts with, counted from 1.
qsizetype fromRecipientOf(const QCommandLineParser &parser);
