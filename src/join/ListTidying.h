#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// Tidying a list of lines before it is joined: duplicates, empty lines,
// spaces and order. Lines are equal when they are equal ignoring letter case
// and the spaces and tabs at either end ("Anna@x.org " and "anna@x.org" are
// the same mailbox). The window's menus and --join use the same rules.
class ListTidying
{
public:
    enum class Operation { RemoveDuplicates, RemoveEmpty, TrimSpaces, Sort };

    // What the operations would find in the lines.
    struct Counts
    {
        qsizetype lines = 0;
        qsizetype duplicates = 0; // lines equal to an earlier one
        qsizetype empty = 0;      // lines empty or of spaces and tabs only
        bool untrimmed = false;   // some line starts or ends with a space or tab
        bool unsorted = false;    // sorting would change the order
        // Whether the operation would change the lines.
        bool wouldChange(Operation operation) const;
    };

    // The lines are views into text that outlives this object.
    explicit ListTidying(QList<QStringView> lines);

    Counts counts() const;
    // The lines after the operation, as views into the same text.
    QList<QStringView> apply(Operation operation) const;

    static QStringView trimmed(QStringView line);
    static bool isEmpty(QStringView line) { return trimmed(line).isEmpty(); }

private:
    // Every line trimmed and case-folded, in one buffer, for comparing.
    struct Keys
    {
        QString folded;
        QList<std::pair<qsizetype, qsizetype>> spans; // where each line's key lies in folded
        QStringView operator[](qsizetype line) const { return QStringView(folded).sliced(spans[line].first, spans[line].second); }
    };
    Keys keys() const;
    QList<qsizetype> firstOccurrences(const Keys &keys) const;
    QList<qsizetype> sortedOrder(const Keys &keys) const;

    QList<QStringView> m_lines;
};
