#include "addresses/AddressBookWriter.h"

#include "core/Blanks.h"

#include <QUrl>
#include <QUuid>

#include <cstring>

namespace {

using Mailboxes::Mailbox;

QString localPart(const QString &address)
{
    return address.left(address.lastIndexOf(u'@'));
}

QString nameOrLocalPart(const Mailbox &mailbox)
{
    const QString name = mailbox.name.trimmed();
    return name.isEmpty() ? localPart(mailbox.address) : name;
}

// vCard ----------------------------------------------------------------------

QString vCardText(const QString &value)
{
    QString text;
    for (const QChar c : value) {
        if (c == u'\\' || c == u',' || c == u';')
            text += u'\\';
        if (c == u'\n')
            text += QStringLiteral("\\n");
        else if (c != u'\r')
            text += c;
    }
    return text;
}

// A content line folded after 75 bytes, never inside a character.
void appendFolded(QByteArray &out, const QByteArray &line)
{
    qsizetype start = 0;
    qsizetype limit = 75;
    while (line.size() - start > limit) {
        qsizetype end = start + limit;
        while ((uchar(line[end]) & 0xC0) == 0x80)
            --end;
        out += line.sliced(start, end - start);
        out += "\r\n ";
        start = end;
        limit = 74;
    }
    out += line.sliced(start);
    out += "\r\n";
}

// A member's lasting id, made from its address: the same list written
// again names its members alike.
QString uidOf(const QString &address)
{
    static const QUuid space = QUuid::fromString(u"{0e1f6a38-3f0a-4a43-9f9e-5b1f0c4f7a21}");
    return QStringLiteral("urn:uuid:") + QUuid::createUuidV5(space, address).toString(QUuid::WithoutBraces);
}

void appendVCard(QByteArray &out, const Mailbox &mailbox, bool version3, bool withUid)
{
    out += version3 ? "BEGIN:VCARD\r\nVERSION:3.0\r\n" : "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    const QByteArray name = vCardText(nameOrLocalPart(mailbox)).toUtf8();
    appendFolded(out, "FN:" + name);
    if (version3)
        appendFolded(out, "N:;" + name + ";;;");
    appendFolded(out, (version3 ? "EMAIL;TYPE=INTERNET:" : "EMAIL:") + vCardText(mailbox.address).toUtf8());
    if (withUid)
        out += "UID:" + uidOf(mailbox.address).toUtf8() + "\r\n";
    out += "END:VCARD\r\n";
}

void appendGroup(QByteArray &out, const QString &name, const QStringList &addresses, bool version3)
{
    const QByteArray text = vCardText(name).toUtf8();
    if (version3) {
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        appendFolded(out, "N:" + text + ";;;;");
        appendFolded(out, "FN:" + text);
        out += "X-ADDRESSBOOKSERVER-KIND:group\r\n";
        for (const QString &address : addresses)
            out += "X-ADDRESSBOOKSERVER-MEMBER:" + uidOf(address).toUtf8() + "\r\n";
    } else {
        out += "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\n";
        appendFolded(out, "FN:" + text);
        for (const QString &address : addresses)
            appendFolded(out, "MEMBER:mailto:" + QUrl::toPercentEncoding(address, "@!$'()*+;=.~"));
    }
    out += "END:VCARD\r\n";
}

// LDIF -----------------------------------------------------------------------

// A value LDIF carries as it stands: ASCII without controls, not starting
// with a space, colon or <, not ending with a space.
bool isSafe(const QString &value)
{
    if (value.startsWith(u' ') || value.startsWith(u':') || value.startsWith(u'<') || value.endsWith(u' '))
        return false;
    for (const QChar c : value)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return true;
}

// An attribute's line, folded after 76 characters.
void appendAttribute(QByteArray &out, const char *attribute, const QString &value)
{
    QByteArray line(attribute);
    line += isSafe(value) ? ": " + value.toLatin1() : ":: " + value.toUtf8().toBase64();
    for (qsizetype start = 0; start < line.size(); start += start == 0 ? 76 : 75) {
        if (start > 0)
            out += ' ';
        out += line.mid(start, start == 0 ? 76 : 75);
        out += '\n';
    }
}

// A value in a distinguished name, its special characters escaped.
QString inName(const QString &value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        const bool edge = (i == 0 && (c == u' ' || c == u'#')) || (i == value.size() - 1 && c == u' ');
        if (edge || QStringView(u",+\"\\<>;=").contains(c))
            text += u'\\';
        text += c;
    }
    return text;
}

// mutt -----------------------------------------------------------------------

// A key of letters, digits, dots, hyphens and underscores, not starting
// with a hyphen (mutt would take -group for an option).
QString aliasKey(const Mailbox &mailbox, QSet<QString> &keys)
{
    QString base;
    for (const QChar c : localPart(mailbox.address).toLower())
        base += (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_' ? c : QChar(u'_');
    if (base.startsWith(u'-'))
        base[0] = u'_';
    if (base.isEmpty())
        base = QStringLiteral("contact");
    QString key = base;
    for (int n = 2; keys.contains(key); ++n)
        key = base + u'-' + QString::number(n);
    keys.insert(key);
    return key;
}

// mutt reads its aliases as configuration: a backtick runs a command, $
// expands a variable, # starts a comment, a backslash escapes, quotes
// quote. Each of these signs is escaped, so that the line reads as the
// text it is.
QByteArray muttText(const QString &line)
{
    QByteArray text;
    for (const char c : line.toUtf8()) {
        if (std::strchr("\\`$#;'\"", c) && c != 0)
            text += '\\';
        text += c;
    }
    return text;
}

// CSV ------------------------------------------------------------------------

// A cell that a spreadsheet would run as a formula gets a leading ', and
// so does one that starts with such guards already ('=x), so that reading
// one guard off gives every cell back as it was.
QByteArray csvField(const QString &value)
{
    qsizetype quotes = 0;
    while (quotes < value.size() && value[quotes] == u'\'')
        ++quotes;
    const bool formula = quotes < value.size() && QStringView(quotes > 0 ? u"=+-@" : u"=+-@\t\r").contains(value[quotes]);
    const QByteArray bytes = formula ? "'" + value.toUtf8() : value.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
        return bytes;
    QByteArray field = bytes;
    field.replace('"', "\"\"");
    return '"' + field + '"';
}

// Each CSV shape's heading, and its row for a mailbox.
QByteArray csvHeading(AddressBookWriter::Format format)
{
    switch (format) {
    case AddressBookWriter::Format::CsvGoogle:
        return "Name,E-mail 1 - Type,E-mail 1 - Value\r\n";
    case AddressBookWriter::Format::CsvOutlook:
        return "First Name,Last Name,E-mail Address,E-mail Display Name\r\n";
    case AddressBookWriter::Format::CsvThunderbird:
        return "First Name,Last Name,Display Name,Nickname,Primary Email\r\n";
    default:
        return "Name,E-mail Address\r\n";
    }
}

// A name goes whole where a program takes a whole one; split into first
// and last names it would be guessed at.
QByteArray csvRow(AddressBookWriter::Format format, const Mailbox &mailbox)
{
    const QByteArray name = csvField(mailbox.name.trimmed());
    const QByteArray address = csvField(mailbox.address);
    switch (format) {
    case AddressBookWriter::Format::CsvGoogle:
        return name + ",* Other," + address + "\r\n";
    case AddressBookWriter::Format::CsvOutlook:
        return name + ",," + address + ',' + name + "\r\n";
    case AddressBookWriter::Format::CsvThunderbird:
        return ",," + name + ",," + address + "\r\n";
    default:
        return name + ',' + address + "\r\n";
    }
}

bool isCsv(AddressBookWriter::Format format)
{
    using Format = AddressBookWriter::Format;
    return format == Format::Csv || format == Format::CsvGoogle || format == Format::CsvOutlook
           || format == Format::CsvThunderbird;
}

} // namespace

std::optional<AddressBookWriter::Format> AddressBookWriter::formatNamed(QStringView name)
{
    const std::pair<QStringView, Format> formats[] = {
        {u"vcard", Format::VCard},           {u"vcard4", Format::VCard},         {u"vcard3", Format::VCard3},
        {u"ldif", Format::Ldif},             {u"mutt", Format::Mutt},            {u"csv", Format::Csv},
        {u"csv-google", Format::CsvGoogle},  {u"csv-outlook", Format::CsvOutlook},
        {u"csv-thunderbird", Format::CsvThunderbird}};
    for (const auto &[named, format] : formats)
        if (name.compare(named, Qt::CaseInsensitive) == 0)
            return format;
    return std::nullopt;
}

AddressBookWriter::Format AddressBookWriter::formatForFile(const QString &path)
{
    const QString name = path.toLower();
    if (name.endsWith(u".vcf") || name.endsWith(u".vcard"))
        return Format::VCard;
    if (name.endsWith(u".ldif") || name.endsWith(u".ldi"))
        return Format::Ldif;
    return name.endsWith(u".csv") ? Format::Csv : Format::Mutt;
}

AddressBookWriter::Book AddressBookWriter::of(QStringView text, Format format, const QString &listName)
{
    Book book;
    AddressBookWriter writer(format, listName);
    for (QStringView line : text.tokenize(u'\n')) {
        for (QStringView part : line.tokenize(u'\r')) {
            if (const std::optional<Mailbox> mailbox = Mailboxes::of(part)) {
                writer.add(*mailbox, book.bytes);
                ++book.contacts;
            } else if (!Blanks::trimmed(part).isEmpty()) {
                ++book.leftOut;
            }
        }
    }
    writer.finish(book.bytes);
    return book;
}

AddressBookWriter::AddressBookWriter(Format format, QString listName, bool group)
    : m_format(format), m_listName(std::move(listName)), m_group(group)
{
}

void AddressBookWriter::add(const Mailbox &mailbox, QByteArray &out)
{
    switch (m_format) {
    case Format::VCard:
    case Format::VCard3:
        appendVCard(out, mailbox, m_format == Format::VCard3, m_group && m_format == Format::VCard3);
        if (m_group)
            m_members << mailbox.address;
        break;
    case Format::Ldif: {
        const QString name = nameOrLocalPart(mailbox);
        const QString dn = QStringLiteral("cn=") + inName(name) + QStringLiteral(",mail=") + inName(mailbox.address);
        appendAttribute(out, "dn", dn);
        out += "objectclass: top\nobjectclass: person\nobjectclass: organizationalPerson\n"
               "objectclass: inetOrgPerson\nobjectclass: mozillaAbPersonAlpha\n";
        appendAttribute(out, "cn", name);
        appendAttribute(out, "mail", mailbox.address);
        out += '\n';
        m_members << dn;
        break;
    }
    case Format::Mutt:
        out += "alias " + aliasKey(mailbox, m_keys).toUtf8() + ' ' + muttText(Mailboxes::line(mailbox)) + '\n';
        break;
    case Format::Csv:
    case Format::CsvGoogle:
    case Format::CsvOutlook:
    case Format::CsvThunderbird:
        if (!m_started)
            out += csvHeading(m_format);
        out += csvRow(m_format, mailbox);
        break;
    }
    m_started = true;
}

void AddressBookWriter::finish(QByteArray &out)
{
    if (isCsv(m_format) && !m_started)
        out += csvHeading(m_format);
    if ((m_format == Format::VCard || m_format == Format::VCard3) && m_group && !m_members.isEmpty()) {
        appendGroup(out, m_listName, std::exchange(m_members, {}), m_format == Format::VCard3);
        return;
    }
    if (m_format != Format::Ldif || m_members.isEmpty())
        return;
    appendAttribute(out, "dn", QStringLiteral("cn=") + inName(m_listName));
    out += "objectclass: top\nobjectclass: groupOfNames\n";
    appendAttribute(out, "cn", m_listName);
    for (const QString &member : std::exchange(m_members, {}))
        appendAttribute(out, "member", member);
    out += '\n';
}
