#pragma once

#include "addresses/Mailboxes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

// The contacts of a CSV file whose heading names e-mail columns, as Google
// Contacts ("E-mail 1 - Value", several addresses in a cell joined by
// " ::: "), Outlook ("E-mail Address", "E-mail 2 Address"), Thunderbird
// ("Primary Email", "Secondary Email") and Kestrava itself write them, with
// the names their name columns give ("Name", "Display Name", or first,
// middle and last names put together). Records are read as RFC 4180 has
// them: a quoted cell may hold commas, doubled quotes and line breaks.
class CsvContacts
{
public:
    using Found = std::function<void(const Mailboxes::Mailbox &mailbox)>;

    // The reader for a file of this heading; nothing when it names no
    // e-mail column.
    static std::optional<CsvContacts> forHeading(QStringView line);

    // A line after the heading, without its line break; found is told of
    // each address of each record as the record ends.
    void feed(QStringView line, const Found &found);
    // More of the line fed last, too long to be read whole.
    void feedMore(QStringView more) { m_record += more; }
    // After the last line: a record that a quote left open ends there.
    void finish(const Found &found);

private:
    static QStringList cells(QStringView record);
    void takeRecord(const Found &found);
    QString nameOf(const QStringList &cells) const;

    QList<qsizetype> m_addressColumns;
    QList<qsizetype> m_nameColumns;     // whole names, the first filled in taken
    QList<qsizetype> m_namePartColumns; // first, middle and last names
    QString m_record;
    bool m_started = false;
};
