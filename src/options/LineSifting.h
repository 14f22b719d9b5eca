#pragma once

#include "options/ListCommand.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "options/ListedAddresses.h"

class AddressAdvice;

// What the option chain does to each line on its own, before duplicates,
// sorting and joining.
namespace ListCommand {

// A line with its number in its source; once sifted, whether it is kept.
// An address found in a line lies among the bytes of those found until
// they all are, then the text is made a view of it.
struct Line
{
    QByteArrayView text;
    qsizetype number = 0;
    bool kept = false;
    qsizetype found = -1; // where the address starts among the bytes of those found
    qsizetype size = 0;
    bool empty = false;   // left out as empty
    qint64 listed = -1;   // left out as held by this --exclude list
    qint64 notIn = -1;    // left out as missing from this --only list
};

// What --check tells of a line: why it is no address, or why an address
// will likely not arrive.
struct Told
{
    QString reason;
    bool warning = false;
};

bool isPlainAddress(QByteArrayView text);

// A line as it is told: whole, or when long, its start and its length.
QByteArray toldText(QByteArrayView line, qsizetype length);

QByteArrayView withoutLeadingBlanks(QByteArrayView text);
QByteArrayView withoutTrailingBlanks(QByteArrayView text);

// What trimming, checking, skipping empty lines and leaving out listed
// addresses make of a line, which depends on the line alone: the line as
// it goes on, or not; what --check tells of it.
void sift(Line &line, Told &told, const Options &options, const ListedAddresses *excluded, const RequiredLists &only,
          AddressAdvice &adviser);

} // namespace ListCommand
