#pragma once

#include "addresses/Mailboxes.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// The named addresses of address books and saved mail, read a line at a
// time (without line breaks):
// - AddressBook: vCards and LDIF records, each address of a contact with
//   its name (FN, or N put together; cn, or givenName and sn), folded lines
//   unfolded, quoted-printable and base64 values decoded in the character
//   set they name; what is no contact is passed over, and so are LDIF's
//   mailing lists, whose members are contacts of their own;
// - Message: a saved message's From, To, Cc, Reply-To and Sender, names
//   decoded; its body is passed over; Mbox: every message from a From line
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
    void feedMessage(QStringView line);
    void takeField();
    void add(const Mailboxes::Mailbox &mailbox);

    Kind m_kind;
    Found m_found;
    // A property or field that the next line may go on.
    bool m_pending = false;
    bool m_softBreaks = false;
    QString m_line;
    // The contact at hand.
    enum class Record { None, VCard, Ldif } m_record = Record::None;
    QString m_name;
    QString m_nameParts; // from N, or givenName and sn
    QString m_given;
    QString m_surname;
    QStringList m_addresses;
    // The messages'.
    bool m_inHeader;
    QList<Mailboxes::Mailbox> m_correspondents;
    QHash<QString, qsizetype> m_seen; // each address's place among them
};
