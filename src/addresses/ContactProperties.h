#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

// The properties of the lines address books and mail programs write, as
// vCard, LDIF and mail headers have them: a name (after a vCard group such
// as item1.), parameters (;TYPE=work), a colon (two for LDIF's base64), the
// value; and their values decoded.
namespace ContactProperties {

struct Property
{
    bool valid = false;
    QStringView name;
    QStringView parameters;
    QStringView value;
    bool base64 = false;
};

// inVCard: two colons are a colon and a value starting with one (FN:: x),
// as only LDIF writes base64 so.
Property propertyOf(QStringView line, bool inVCard = false);
bool is(QStringView text, QStringView name);
// EMAIL, mail, mozillaSecondEmail and their kind.
bool holdsAddresses(QStringView name);
// Such a property whose value is an internet address: not one vCard 2.1
// types as an X.400 or telex address (EMAIL;X400:G=Jo;S=Smith).
bool holdsInternetAddresses(const Property &property);
// LDIF's names of entries, whose mail= parts are addresses.
bool namesEntries(QStringView name);
QStringView parameter(QStringView parameters, QStringView name);
// vCard 2.1 writes ENCODING=QUOTED-PRINTABLE or QUOTED-PRINTABLE alone.
bool isQuotedPrintable(QStringView parameters);
bool isBase64(QStringView parameters);
// Whether the value is written in quoted-printable or base64.
bool isEncoded(const Property &property);
// Bytes in the character set named (any ICU knows); without one, UTF-8
// where they are, else Windows-1252, as old exports from Windows write.
QString inCharacterSet(const QByteArray &bytes, QStringView charset);
// Text whose escapes (=40 in quoted-printable, \2C in LDAP) stand for bytes
// of UTF-8 or a character set, and whose other characters stand for
// themselves.
QByteArray withEscapes(QStringView text, QChar escape, bool escapesAnyCharacter);
// The value as it reads once decoded; the value itself when it is not
// encoded, or not validly.
QString decodedValue(const Property &property);
// The mail= values of an LDAP name (cn=Ann Lee,mail=ann@x.org).
QStringList addressesNamedIn(QStringView name);

} // namespace ContactProperties
