#pragma once

#include "core/Blanks.h"
#include "core/WorkProgress.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

#include "options/ListedAddresses.h"
#include "options/SortKeys.h"

// Tidying a list of lines before it is joined: duplicates, empty lines,
// spaces, order and lines that are no e-mail addresses. Lines are equal when
// they are equal ignoring letter case and the spaces and tabs at either end
// ("Anna@x.org " and "anna@x.org" are the same mailbox); lines that are
// addresses are equal when their addresses are (AddressCheck::key: "Ann
// <ANN@X.org>" and "ann@x.org" are one recipient); empty lines are no
// duplicates of each other. The window's menus and --join use the same
// rules.
class ListTidying
{
public:
    enum class Operation { RemoveDuplicates, RemoveEmpty, TrimSpaces, Sort, SortByAddress, SortByDomain, RemoveNonAddresses };

    // What the operations would find in the lines.
    struct Counts
    {
        qsizetype lines = 0;
        qsizetype duplicates = 0;   // lines equal to an earlier one, empty ones aside
        qsizetype empty = 0;        // lines empty or of spaces and tabs only
        qsizetype notAddresses = 0; // lines neither empty nor an address
        qsizetype mistyped = 0;     // addresses whose domain looks mistyped
        qsizetype unread = 0;       // no-reply and role addresses
        qsizetype throwaway = 0;    // addresses at domains that hand out throwaway ones
        bool untrimmed = false;     // some line starts or ends with a space or tab
        bool unsorted = false;      // sorting by line would change the order
        // Whether the operation would change the lines.
        bool wouldChange(Operation operation) const;
    };

    // How far the work has come, and a way to stop it (it raises Cancelled).
    using Progress = WorkProgress;
    using Cancelled = WorkCancelled;

    // The lines are views into text that outlives this object. With
    // sameMailbox, a provider's aliases of one mailbox are one recipient
    // for duplicates (MailboxAliases).
    explicit ListTidying(QList<QStringView> lines, Progress *progress = nullptr, bool sameMailbox = false);

    // Lines by their places among the lines given, first 0.
    using Places = std::vector<quint32>;

    Counts counts() const;
    // The counts but for the duplicates, which take longer, and those.
    Counts lineCounts() const;
    qsizetype duplicates() const;
    // The lines after the operation, as views into the same text.
    QList<QStringView> apply(Operation operation) const;
    // Whether the operation keeps lines whole, dropping or reordering them,
    // rather than changing them (TrimSpaces).
    static bool choosesLines(Operation operation) { return operation != Operation::TrimSpaces; }
    // The lines such an operation keeps, in the order it puts them.
    Places chosen(Operation operation) const;
    // The lines but those whose address the lists hold.
    Places withoutListed(const ListedAddresses &listed) const;
    // The lines whose address every one of the lists holds.
    Places onlyListed(const RequiredLists &lists) const;

    // The line without spaces and tabs at either end.
    static QStringView trimmed(QStringView line)
    {
        return line.isEmpty() || (!Blanks::isBlank(line.front()) && !Blanks::isBlank(line.back())) ? line
                                                                                                     : Blanks::trimmed(line);
    }
    static bool isEmpty(QStringView line) { return trimmed(line).isEmpty(); }

private:
    class AddressKeys;
    Places firstOccurrences() const;
    Places sorted() const;
    Places sortedBy(SortKeys::Order order) const;
    Places keeping(const std::function<bool(QStringView)> &keeps) const;
    // Tells how far the work has come, within a stage from one share of the
    // whole to another, and raises Cancelled once it is no longer wanted.
    void report(qsizetype done, qsizetype total, int fromPermille, int toPermille) const;

    QList<QStringView> m_lines;
    Progress *m_progress;
    bool m_sameMailbox = false;
};
