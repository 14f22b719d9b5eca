#include "addresses/AddressBookWriter.h"

#include "core/Blanks.h"

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

void appendVCard(QByteArray &out, const Mailbox &mailbox)
{
    out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    appendFolded(out, "FN:" + vCardText(nameOrLocalPart(mailbox)).toUtf8());
    appendFolded(out, "EMAIL:" + vCardText(mailbox.address).toUtf8());
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

// A cell that a spreadsheet would run as a formula gets a leading '.
QByteArray csvField(const QString &value)
{
    const bool formula = !value.isEmpty() && QStringView(u"=+-@\t\r").contains(value.front());
    const QByteArray bytes = formula ? "'" + value.toUtf8() : value.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
        return bytes;
    QByteArray field = bytes;
    field.replace('"', "\"\"");
    return '"' + field + '"';
}

} // namespace

std::optional<AddressBookWriter::Format> AddressBookWriter::formatNamed(QStringView name)
{
    const std::pair<QStringView, Format> formats[] = {
        {u"vcard", Format::VCard}, {u"ldif", Format::Ldif}, {u"mutt", Format::Mutt}, {u"csv", Format::Csv}};
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

AddressBookWriter::AddressBookWriter(Format format, QString listName)
    : m_format(format), m_listName(std::move(listName))
{
}

void AddressBookWriter::add(const Mailbox &mailbox, QByteArray &out)
{
    switch (m_format) {
    case Format::VCard:
        appendVCard(out, mailbox);
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
        if (!m_started)
            out += "Name,E-mail Address\r\n";
        out += csvField(mailbox.name.trimmed()) + ',' + csvField(mailbox.address) + "\r\n";
        break;
    }
    m_started = true;
}

void AddressBookWriter::finish(QByteArray &out)
{
    if (m_format == Format::Csv && !m_started)
        out += "Name,E-mail Address\r\n";
    if (m_format != Format::Ldif || m_members.isEmpty())
        return;
    appendAttribute(out, "dn", QStringLiteral("cn=") + inName(m_listName));
    out += "objectclass: top\nobjectclass: groupOfNames\n";
    appendAttribute(out, "cn", m_listName);
    for (const QString &member : std::exchange(m_members, {}))
        appendAttribute(out, "member", member);
    out += '\n';
}
