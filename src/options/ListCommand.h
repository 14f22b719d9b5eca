#pragma once

#include "addresses/AddressBookWriter.h"
#include "options/ListedAddresses.h"
#include "options/SortKeys.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>



// What kestrava --join and --check do with the lines of their sources, in
// this order whatever the order the options come in: find the addresses in
// each line, trim, check, skip empty lines, leave out the listed addresses,
// then duplicates, sort, and join the lines so many to an output line.
// Lines go through one at a time, as they are read: only --unique, which
// keeps the keys of the lines it has let through, and --sort, which keeps
// the lines in runs and beyond a budget in temporary files, remember more
// than a line.
namespace ListCommand {

struct Options
{
    bool join = false;      // print the joined lines
    bool extract = false;   // each line's addresses in place of the line
    bool trim = false;      // spaces and tabs at either end go
    bool check = false;     // lines that are no address are told and left out
    bool warnings = true;   // with check: addresses that will likely not arrive are told too
    bool strict = false;    // warnings fail the run as errors do
    bool skipEmpty = false; // empty lines and empty files go
    QStringList exclude;    // files whose addresses are left out
    QStringList only;       // files that must each hold a line's address for it to stay
    QStringList allow;      // with check: files of addresses and domains warned of not at all
    bool dns = false;       // with check: the mail system is asked which domains take mail
    bool unique = false;    // the first of equal lines stays
    bool sameMailbox = false; // a provider's aliases of one mailbox are one address (MailboxAliases)
    bool sort = false;      // ignoring case; equal lines keep their order
    SortKeys::Order sortOrder = SortKeys::Order::Line;
    QString separator = QStringLiteral(",");
    qsizetype batch = 0; // items to an output line; 0 for one line
    bool report = false;  // each line removed or split is told (Output::removed)
    // Written as this address book instead of joined: lines that are no
    // address are left out (Run::leftOut counts them).
    std::optional<AddressBookWriter::Format> exportAs;
    QString listName = QStringLiteral("Mailing list"); // the name of LDIF's mailing list
    bool group = false; // vCards: the list as a contact group named listName

    // No more than --join: the window's own line.
    bool isPlain() const;
};

// A line that is no address, as --check tells it: where it stands in its
// source (its own lines counted from 1), why, and what it holds; or, as a
// warning, an address that will likely not arrive, and why (the line is
// kept).
struct NotAnAddress
{
    QString name;
    qsizetype line = 0;
    QString reason;
    QString text;
    bool warning = false;
};

// Where the results go as they are made.
struct Output
{
    std::function<void(QByteArray &bytes)> write;           // the joined lines in UTF-8; takes the bytes, leaving them empty
    std::function<void(const NotAnAddress &line)> tell;     // each line --check finds
    // With report, lines of it in UTF-8, FILE:LINE: REASON: TEXT each, in
    // the order of the lines: each line removed, and why ("empty",
    // "duplicate of line 12", "not an address: ...", "listed in FILE", "no
    // address found"), and each line whose several addresses go on as lines
    // of their own ("3 addresses found"). Lines kept plus lines removed are
    // the lines read, a line split counting as its addresses.
    std::function<void(QByteArrayView lines)> removed;
    // With dns: how many of the domains being asked about have answered.
    std::function<void(qsizetype answered, qsizetype asked)> lookingUp;
};

// The lines of the sources through the options.
class Run
{
public:
    // excluded: the addresses of the --exclude files (none without them).
    // only: the addresses of the --only files, each of which must hold a
    // line's address for it to stay (none without them).
    Run(const Options &options, const ListedAddresses *excluded, const RequiredLists &only, Output output);
    ~Run();
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    // A source's lines as "Load File" puts them in the input, in UTF-8
    // (LineDecoder reads them): its name, its lines, many at a time, its
    // end.
    // A source of named addresses (ContactFiles) goes through as it is,
    // its lines already the addresses --extract would find.
    void startSource(const QString &name, bool named = false);
    void take(const QList<QByteArrayView> &lines);
    // A line too long to hold whole, a piece at a time, the last told so
    // (LineDecoder::handOnLongLines). Raises a Failure with --unique or
    // --sort, which cannot take it.
    void takePiece(QByteArrayView piece, bool last);
    // The empty line after a line break that ends the source: joined as
    // the window joins it, but no line of the source for the report.
    void takeAfterLastBreak();
    void endSource();
    // After the last source: the empty line its last line break leaves, and
    // what waits for the end (sorted lines, the end of the joined line).
    // Raises a Failure when sorting cannot use its temporary files.
    void finish();
    // With exportAs: how many lines were left out as no address.
    qsizetype leftOut() const;

private:
    class Chain;
    std::unique_ptr<Chain> m_chain;
};

} // namespace ListCommand
