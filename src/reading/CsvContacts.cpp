#include "reading/CsvContacts.h"

#include "core/Blanks.h"

#include <QRegularExpression>

namespace {

enum class Column { Other, Address, Name, NamePart };

Column columnNamed(QStringView heading)
{
    static const QRegularExpression address(
        QStringLiteral("^(primary |secondary )?e-?mail( \\d+)?( address| - value)?$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression name(QStringLiteral("^(name|display name|full name|e-mail display name)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression part(
        QStringLiteral("^(first|given|middle|additional|last|family) name$"), QRegularExpression::CaseInsensitiveOption);
    const QStringView text = Blanks::trimmed(heading);
    if (address.match(text).hasMatch())
        return Column::Address;
    if (name.match(text).hasMatch())
        return Column::Name;
    return part.match(text).hasMatch() ? Column::NamePart : Column::Other;
}

// A quote in the record so far that no other closes: the record goes on
// past the line break.
bool quoteOpen(QStringView record)
{
    return record.count(u'"') % 2 == 1;
}

// A cell written with a ' before a spreadsheet formula's sign, as CSV
// writers guard such cells, is read without it: one ' of those before the
// sign goes.
QString unguarded(QStringView cell)
{
    const QStringView text = Blanks::trimmed(cell);
    qsizetype quotes = 0;
    while (quotes < text.size() && text[quotes] == u'\'')
        ++quotes;
    if (quotes > 0 && quotes < text.size() && QStringView(u"=+-@").contains(text[quotes]))
        return text.sliced(1).toString();
    return text.toString();
}

} // namespace

std::optional<CsvContacts> CsvContacts::forHeading(QStringView line)
{
    CsvContacts contacts;
    const QStringList headings = cells(line);
    for (qsizetype i = 0; i < headings.size(); ++i) {
        switch (columnNamed(headings[i])) {
        case Column::Address:
            contacts.m_addressColumns.append(i);
            break;
        case Column::Name:
            contacts.m_nameColumns.append(i);
            break;
        case Column::NamePart:
            contacts.m_namePartColumns.append(i);
            break;
        case Column::Other:
            break;
        }
    }
    if (contacts.m_addressColumns.isEmpty())
        return std::nullopt;
    return contacts;
}

void CsvContacts::feed(QStringView line, const Found &found)
{
    if (m_started)
        m_record += u'\n';
    m_record += line;
    m_started = true;
    if (!quoteOpen(m_record))
        takeRecord(found);
}

void CsvContacts::finish(const Found &found)
{
    if (m_started)
        takeRecord(found);
}

void CsvContacts::takeRecord(const Found &found)
{
    const QStringList record = cells(m_record);
    m_record.clear();
    m_started = false;
    const QString name = nameOf(record);
    for (const qsizetype column : std::as_const(m_addressColumns)) {
        for (const QStringView written : QStringView(record.value(column)).tokenize(u" ::: ")) {
            std::optional<Mailboxes::Mailbox> mailbox = Mailboxes::of(unguarded(written));
            if (!mailbox)
                continue;
            if (mailbox->name.isEmpty())
                mailbox->name = name;
            found(*mailbox);
        }
    }
}

QString CsvContacts::nameOf(const QStringList &record) const
{
    for (const qsizetype column : m_nameColumns)
        if (const QString name = unguarded(record.value(column)); !name.isEmpty())
            return name;
    QStringList parts;
    for (const qsizetype column : m_namePartColumns)
        if (const QString part = unguarded(record.value(column)); !part.isEmpty())
            parts.append(part);
    return parts.join(u' ');
}

// The cells of a record: a quoted cell up to its closing quote, "" in it a
// quote; anything after the closing quote up to the comma kept as it
// stands, as spreadsheets read such cells.
QStringList CsvContacts::cells(QStringView record)
{
    QStringList cells;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < record.size(); ++i) {
        const QChar c = record[i];
        if (quoted) {
            if (c != u'"')
                cell += c;
            else if (i + 1 < record.size() && record[i + 1] == u'"')
                cell += record[++i];
            else
                quoted = false;
        } else if (c == u'"' && Blanks::trimmed(cell).isEmpty()) {
            cell.clear();
            quoted = true;
        } else if (c == u',') {
            cells.append(std::exchange(cell, {}));
        } else if (c != u'\r') {
            cell += c;
        }
    }
    cells.append(cell);
    return cells;
}
