#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

// Contacts as mail programs and address books drag and copy them: vCards
// (text/vcard, text/x-vcard, text/directory) and lists of addresses
// (text/x-moz-address), in UTF-8 or, as some programs hand them, UTF-16.
namespace DroppedContacts {

// The types, the most telling first.
const QStringList &types();

// The named addresses that data of one of the types holds, each on a line
// of its own followed by CR LF (ContactReader reads them).
QString linesOf(QStringView type, const QByteArray &data);

} // namespace DroppedContacts
