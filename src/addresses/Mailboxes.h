#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Addresses with the names people go by, as address books and mail headers
// hold them, and the lines they make: "Lee, Ann" <ann@x.org>.
namespace Mailboxes {

struct Mailbox
{
    QString name; // empty for none
    QString address;
    bool operator==(const Mailbox &) const = default;
};

// The line of a mailbox: the address alone without a name, otherwise the
// name before the address in angle brackets, quoted where a header needs it
// (Ann Lee <ann@x.org>, "Lee, Ann" <ann@x.org>, "A. \"Bo\" Lee" <...>).
// Line breaks and other controls become spaces, and so do a name's tabs.
QString line(const Mailbox &mailbox);

// The mailbox of a line that is one address (AddressCheck): the address as
// written, and the name before it, unquoted, its encoded words decoded, or
// the comment after a bare address (ann@x.org (Ann Lee)); nothing for a
// line that is no address.
std::optional<Mailbox> of(QStringView line);

// The mailboxes of a header's list of addresses (From:, To:, Cc:), in
// order: groups opened (Team: a@x.org, b@y.org;), names decoded, items that
// are no address left out.
QList<Mailbox> inHeader(QStringView value);

// Text with its encoded words (=?UTF-8?B?...?=, =?ISO-8859-1?Q?...?=)
// decoded; the blanks between two of them go.
QString decodedWords(QStringView text);

} // namespace Mailboxes
