#pragma once

#include "addresses/Mailboxes.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Mailboxes written as an address book, in UTF-8, one contact per address:
// - vCard 4.0: FN (the name, or the local part where there is none) and
//   EMAIL, lines folded at 75 bytes; with a group, a last card of KIND
//   group whose MEMBERs are the addresses as mailto: links;
// - vCard 3.0, which phones and web mail import: the same with the N that
//   version needs; with a group, each card a UID and a last card of the
//   X-ADDRESSBOOKSERVER-KIND group form naming them;
// - LDIF as mail programs import it: a person per address (cn and mail),
//   then, when there is any, one mailing list (groupOfNames) holding them
//   all; values that LDIF cannot carry plainly in base64;
// - mutt aliases: alias KEY Name <address>, each key made once from the
//   local part, the signs mutt's configuration acts on escaped, so that
//   no name runs or expands anything;
// - CSV: Name and E-mail Address columns under a heading, quoted as RFC
//   4180 has it, lines ending in CR LF; a cell starting with a sign that
//   makes it a spreadsheet formula (= + - @) starts with ' before it;
//   also with the columns Google Contacts, Outlook and Thunderbird import.
class AddressBookWriter
{
public:
    enum class Format { VCard, VCard3, Ldif, Mutt, Csv, CsvGoogle, CsvOutlook, CsvThunderbird };
    // vcard (or vcard4), vcard3, ldif, mutt, csv, csv-google, csv-outlook
    // or csv-thunderbird, in any case.
    static std::optional<Format> formatNamed(QStringView name);

    // The format a file's name asks for by its ending: .vcf or .vcard,
    // .ldif or .ldi, .csv; any other name (aliases) mutt's.
    static Format formatForFile(const QString &path);

    // An address book of the lines of a text (LF, CR or CR LF between
    // them), how many contacts it holds, and how many lines (empty ones
    // aside) were left out as no address.
    struct Book
    {
        QByteArray bytes;
        qsizetype contacts = 0;
        qsizetype leftOut = 0;
    };
    static Book of(QStringView text, Format format, const QString &listName);

    // listName: the name of LDIF's mailing list, and of the vCards' group
    // where there is one.
    AddressBookWriter(Format format, QString listName, bool group = false);

    void add(const Mailboxes::Mailbox &mailbox, QByteArray &out);
    // What comes after the last: LDIF's mailing list.
    void finish(QByteArray &out);

private:
    Format m_format;
    QString m_listName;
    bool m_group = false;
    bool m_started = false;
    QStringList m_members;  // LDIF: each person's dn; vCard: each member
    QSet<QString> m_keys;   // mutt: the keys given
};
