#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Addresses that reach one mailbox at the providers that say so: Gmail
// ignores dots in the local part and takes googlemail.com for gmail.com,
// and Gmail, Outlook, iCloud, Fastmail and Proton deliver name+tag to
// name. Elsewhere dots and plus signs are part of the address (Yahoo uses
// '-' for throwaway addresses of its own), so this is opt-in.
namespace MailboxAliases {

// The key of a folded key (lower case) as its provider's mailbox, in
// place from start on; unchanged at other domains, and where the local
// part is not ASCII, as no such mailbox is.
void foldKey(QByteArray &key, qsizetype start = 0);

// The same for a key of any case, as a lower-case mailbox; a null string
// when the key is at no such provider.
QString mailboxOf(QStringView key);

} // namespace MailboxAliases
