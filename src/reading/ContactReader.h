#pragma once

#include "addresses/Mailboxes.h"
#include "core/KeySet.h"
#include "reading/CsvContacts.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <vector>

// The named addresses of address books and saved mail, read a line at a
// time (without line breaks):
// - AddressBook: vCards and LDIF records, or a CSV file whose heading names
//   e-mail columns (CsvContacts), each address of a contact with
//   its name (FN, or N put together; cn, or givenName and sn), folded lines
//   unfolded, quoted-printable and base64 values decoded in the character
//   set they name; what is no contact is passed over, and so are LDIF's
//   mailing lists, whose members are contacts of their own, and values too
//   long to be a name or an address (AddressTokens::longestRead);
// - Message: a saved message's From, To, Cc, Reply-To and Sender, names
//   decoded, a long field a part at a time; its body is passed over; Mbox:
//   every message from a From line
//   to the next. The addresses of messages come once, in the order they
//   first appear, when the lines end: the name of a later one fills in where
//   the first had none;
// - AddressList: every line a list of addresses as a header holds them, as
//   mail programs drag contacts.
class ContactReader
{
public:
    enum class Kind { AddressBook, Message, Mbox, AddressList };
    using Found = std::function<void(const Mailboxes::Mailbox &mailbox)>;

    ContactReader(Kind kind, Found found);

    void feed(QStringView line);
    // More of the line fed last, which was too long to be read whole.
    void feedMore(QStringView more);
    // Whether feeding this line, in UTF-8, would change nothing: a line of
    // a message's body that starts no message. Read so, a mailbox's bodies
    // cost no decoding.
    bool passesOver(QByteArrayView line) const;
    // The end of a message's lines, where the next file holds the next.
    void endMessage();
    // The end of all the lines.
    void finish();

private:
    void feedAddressBook(QStringView line);
    void takeProperty(QStringView line);
    void startRecord(bool vCard);
    void endRecord();
    void appendToProperty(QStringView more);
    void feedMessage(QStringView line);
    void takeField();
    void appendToField(QStringView more);
    void add(const Mailboxes::Mailbox &mailbox);

    Kind m_kind;
    Found m_found;
    // A property or field that the next line may go on.
    bool m_pending = false;
    bool m_softBreaks = false;
    bool m_overlong = false; // the property at hand is too long to be read
    QString m_line;
    // The contact at hand.
    enum class Record { None, VCard, Ldif } m_record = Record::None;
    QString m_name;
    QString m_nameParts; // from N, or givenName and sn
    QString m_given;
    QString m_surname;
    QStringList m_addresses;
    QStringList m_namedAddresses; // LDIF: those its dn names
    // The messages': their correspondents, each once, in the order met,
    // kept compactly (a mailbox may hold millions): the text of their
    // addresses and names one after the other, and where each lies in it.
    bool m_inHeader;
    struct Correspondent
    {
        qsizetype address;
        qsizetype name;
        int addressLength;
        int nameLength;
    };
    QString m_correspondentText;
    std::vector<Correspondent> m_correspondents;
    // An address book whose first line is a CSV heading is read as CSV.
    bool m_firstLine = true;
    std::optional<CsvContacts> m_csv;
    KeySet m_seen; // each address's key, numbered by its place among them
};
