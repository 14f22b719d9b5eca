#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What kestrava --join and --check do with the lines of their sources, in
// this order whatever the order the options come in: find the addresses in
// each line, trim, check, skip empty lines, leave out the listed addresses,
// then duplicates, sort, and join the lines so many to an output line.
namespace ListCommand {

struct Options
{
    bool join = false;      // print the joined lines
    bool extract = false;   // each line's addresses in place of the line
    bool trim = false;      // spaces and tabs at either end go
    bool check = false;     // lines that are no address are told and left out
    bool skipEmpty = false; // empty lines and empty files go
    QStringList exclude;    // files whose addresses are left out
    bool unique = false;    // the first of equal lines stays
    bool sort = false;      // ignoring case; equal lines keep their order
    QString separator = QStringLiteral(",");
    qsizetype batch = 0; // items to an output line; 0 for one line

    // No more than --join: the window's own line.
    bool isPlain() const;
};

// One source's text as Load File puts it in the input: each of its lines
// followed by CR LF (an empty file holds the line "empty file").
struct Source
{
    QString name; // "-" for standard input
    QString text;
};

// A line that is no address, as --check tells it: where it stands in its
// source (its own lines counted from 1), why, and what it holds.
struct NotAnAddress
{
    QString name;
    qsizetype line = 0;
    QString reason;
    QString text;
};

struct Result
{
    QList<QByteArray> lines; // UTF-8, each ending in a line feed
    QList<NotAnAddress> notAddresses;
};

// The keys of the addresses a text's lines hold, as --exclude and "Remove
// Addresses Listed in File" take them: a line that is an address, or the
// addresses found in one that is not.
QStringList addressKeysIn(QStringView text);

Result run(const QList<Source> &sources, const QStringList &excludedKeys, const Options &options);

} // namespace ListCommand
