#include "reading/ContactReader.h"

#include "addresses/AddressCheck.h"
#include "addresses/AddressTokens.h"
#include "addresses/ContactProperties.h"
#include "core/Blanks.h"

using namespace ContactProperties;

namespace {

// The parts that are not empty, a space between them.
QString spaced(const QStringList &parts)
{
    QStringList named;
    for (const QString &part : parts)
        if (!part.isEmpty())
            named << part;
    return named.join(u' ');
}

bool continues(QStringView line)
{
    return line.startsWith(u' ') || line.startsWith(u'\t');
}

// A vCard text value, its escapes undone (\, \; \\ \n).
QString vCardText(QStringView value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            ++i;
            text += value[i] == u'n' || value[i] == u'N' ? QChar(u' ') : value[i];
            continue;
        }
        text += value[i];
    }
    return text;
}

// A vCard's N (family;given;additional;prefixes;suffixes) as a name reads.
QString structuredName(QStringView value)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] == u'\\') {
            ++i;
            continue;
        }
        if (i == value.size() || value[i] == u';') {
            parts << vCardText(value.sliced(start, i - start)).trimmed();
            start = i + 1;
        }
    }
    parts.resize(5);
    return spaced({parts[3], parts[1], parts[2], parts[0], parts[4]});
}

bool isAddressField(QStringView name)
{
    for (const QStringView field : {u"From", u"To", u"Cc", u"Reply-To", u"Sender"})
        if (is(name, field))
            return true;
    return false;
}

} // namespace

ContactReader::ContactReader(Kind kind, Found found)
    : m_kind(kind), m_found(std::move(found)), m_inHeader(kind == Kind::Message)
{
}

void ContactReader::feed(QStringView line)
{
    switch (m_kind) {
    case Kind::AddressBook:
        feedAddressBook(line);
        return;
    case Kind::Message:
    case Kind::Mbox:
        feedMessage(line);
        return;
    case Kind::AddressList:
        for (const Mailboxes::Mailbox &mailbox : Mailboxes::inHeader(line))
            m_found(mailbox);
        return;
    }
}

bool ContactReader::passesOver(QByteArrayView line) const
{
    return (m_kind == Kind::Message || m_kind == Kind::Mbox) && !m_inHeader
           && !(m_kind == Kind::Mbox && line.startsWith("From "));
}

void ContactReader::endMessage()
{
    if (m_pending)
        takeField();
    m_inHeader = m_kind == Kind::Message;
}

void ContactReader::finish()
{
    if (m_csv) {
        m_csv->finish(m_found);
        return;
    }
    if (m_kind == Kind::AddressBook) {
        if (m_pending && !m_overlong)
            takeProperty(std::exchange(m_line, {}));
        m_pending = false;
        endRecord();
        return;
    }
    endMessage();
    const QStringView text = m_correspondentText;
    for (const Correspondent &c : std::exchange(m_correspondents, {}))
        m_found({text.sliced(c.name, c.nameLength).toString(), text.sliced(c.address, c.addressLength).toString()});
    m_correspondentText.clear();
    m_seen = KeySet();
}

// Address books ------------------------------------------------------------

void ContactReader::feedAddressBook(QStringView line)
{
    if (m_csv) {
        m_csv->feed(line, m_found);
        return;
    }
    if (std::exchange(m_firstLine, false) && (m_csv = CsvContacts::forHeading(line)))
        return;
    if (m_pending) {
        // A quoted-printable soft break goes on with the next line as it
        // stands, a space at its start kept (Zu=, Berg: Zu Berg).
        if (m_softBreaks && m_line.endsWith(u'=')) {
            m_line.chop(1);
            appendToProperty(line);
            return;
        }
        if (continues(line)) {
            appendToProperty(line.sliced(1));
            return;
        }
        m_pending = false;
        if (!m_overlong)
            takeProperty(m_line);
    }
    if (Blanks::trimmed(line).isEmpty()) {
        if (m_record == Record::Ldif)
            endRecord();
        return;
    }
    m_pending = true;
    m_overlong = false;
    m_line.clear();
    appendToProperty(line);
    m_softBreaks = isQuotedPrintable(propertyOf(line, m_record == Record::VCard).parameters);
}

void ContactReader::feedMore(QStringView more)
{
    if (m_csv) {
        m_csv->feedMore(more);
        return;
    }
    if (!m_pending)
        return;
    if (m_kind == Kind::AddressBook)
        appendToProperty(more);
    else if (m_kind != Kind::AddressList)
        appendToField(more);
}

// A value longer than any name or address (a photo) is passed over
// without being held.
void ContactReader::appendToProperty(QStringView more)
{
    if (m_overlong)
        return;
    m_overlong = m_line.size() + more.size() > AddressTokens::longestRead;
    if (m_overlong)
        m_line.clear();
    else
        m_line += more;
}

void ContactReader::takeProperty(QStringView line)
{
    const Property property = propertyOf(line, m_record == Record::VCard);
    if (!property.valid)
        return;
    const QStringView value = Blanks::trimmed(property.value);
    if (is(property.name, u"BEGIN") && is(value, u"VCARD"))
        return startRecord(true);
    if (is(property.name, u"END") && is(value, u"VCARD"))
        return endRecord();
    if (is(property.name, u"dn")) {
        startRecord(false);
        m_namedAddresses = addressesNamedIn(decodedValue(property));
        return;
    }
    const bool vCard = m_record != Record::Ldif;
    const QString decoded = decodedValue(property);
    const QString text = vCard ? vCardText(decoded) : decoded;
    if (is(property.name, vCard ? u"FN" : u"cn"))
        m_name = text.trimmed();
    else if (vCard && is(property.name, u"N"))
        m_nameParts = structuredName(decoded);
    else if (!vCard && is(property.name, u"givenName"))
        m_given = text.trimmed();
    else if (!vCard && is(property.name, u"sn"))
        m_surname = text.trimmed();
    else if (holdsInternetAddresses(property) && !text.trimmed().isEmpty())
        m_addresses << text.trimmed();
    // An address standing outside any contact is one of its own.
    if (m_record == Record::None)
        endRecord();
}

void ContactReader::startRecord(bool vCard)
{
    endRecord();
    m_record = vCard ? Record::VCard : Record::Ldif;
}

void ContactReader::endRecord()
{
    if (m_record == Record::Ldif && m_nameParts.isEmpty())
        m_nameParts = spaced({m_given, m_surname});
    const QString name = m_name.isEmpty() ? m_nameParts : m_name;
    // An LDIF record whose name alone holds its address (cn=Ann+mail=a@x.org)
    // gives that address.
    if (m_addresses.isEmpty())
        m_addresses = m_namedAddresses;
    m_namedAddresses.clear();
    // A name that only repeats the address, or its local part, as address
    // books write for a contact without one, is none.
    for (const QString &address : std::exchange(m_addresses, {})) {
        const bool repeats = name == address || name == address.left(address.lastIndexOf(u'@'));
        m_found({repeats ? QString() : name, address});
    }
    m_record = Record::None;
    m_name.clear();
    m_nameParts.clear();
    m_given.clear();
    m_surname.clear();
}

// Messages -----------------------------------------------------------------

void ContactReader::feedMessage(QStringView line)
{
    if (m_kind == Kind::Mbox && line.startsWith(u"From ")) {
        endMessage();
        m_inHeader = true;
        return;
    }
    if (!m_inHeader)
        return;
    if (continues(line)) {
        if (m_pending)
            appendToField(line);
        return;
    }
    if (m_pending)
        takeField();
    if (line.isEmpty()) {
        m_inHeader = false;
        return;
    }
    const qsizetype colon = line.indexOf(u':');
    if (colon > 0 && isAddressField(Blanks::trimmed(line.first(colon)))) {
        m_pending = true;
        m_line.clear();
        appendToField(line.sliced(colon + 1));
    }
}

void ContactReader::takeField()
{
    m_pending = false;
    for (const Mailboxes::Mailbox &mailbox : Mailboxes::inHeader(m_line))
        add(mailbox);
    m_line.clear();
}

// A long field is read a part at a time, each part cut between two
// addresses; a part where none can be is no list of addresses.
void ContactReader::appendToField(QStringView more)
{
    m_line += more;
    if (m_line.size() <= AddressTokens::longestRead)
        return;
    const qsizetype cut = AddressTokens::cutAfterLastSeparator(m_line);
    if (cut < 0) {
        m_line.clear();
        return;
    }
    for (const Mailboxes::Mailbox &mailbox : Mailboxes::inHeader(QStringView(m_line).first(cut)))
        add(mailbox);
    m_line.remove(0, cut);
}

// Each address once, where it first came; a later name fills in where the
// first had none.
void ContactReader::add(const Mailboxes::Mailbox &mailbox)
{
    QString key = AddressCheck::key(mailbox.address);
    if (key.isEmpty())
        key = mailbox.address.toLower();
    const QByteArray keyBytes = key.toUtf8();
    const qint64 seen = m_seen.insertNumbered(keyBytes, KeySet::hashOf(keyBytes), m_correspondents.size());
    const auto keep = [this](const QString &part) {
        m_correspondentText += part;
        return m_correspondentText.size() - part.size();
    };
    if (seen < 0) {
        const qsizetype address = keep(mailbox.address);
        m_correspondents.push_back({address, keep(mailbox.name), int(mailbox.address.size()), int(mailbox.name.size())});
    } else if (Correspondent &first = m_correspondents[size_t(seen)]; first.nameLength == 0) {
        first.name = keep(mailbox.name);
        first.nameLength = int(mailbox.name.size());
    }
}
