#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

#include "options/ListedAddresses.h"

// What a step that removes lines (an entry of the input's menu) removed,
// line by line, and why: made while the step works, for little more than
// the lines it removes; the reasons, which take longer to find for
// duplicates, are found only when the report is asked for.
class RemovalReport
{
public:
    enum class Step { RemoveEmpty, RemoveDuplicates, RemoveNonAddresses, RemoveListed, KeepListed, ExtractAddresses };

    // sameMailbox: duplicates were found as ListTidying finds them with it.
    explicit RemovalReport(Step step, bool sameMailbox = false) : m_step(step), m_sameMailbox(sameMailbox) {}

    // The lines a step that keeps some of them took away: before and kept
    // are views into the same text, kept in the order of before.
    void noteRemoved(const QList<QStringView> &before, const QList<QStringView> &kept);
    // For ExtractAddresses: a line (its index) and how many addresses it gave.
    void noteFound(qsizetype index, QStringView line, qsizetype addresses);
    // For RemoveListed: the lists, in the order ListedAddresses numbers them.
    void setLists(std::shared_ptr<const ListedAddresses> listed, QStringList names);
    // For KeepListed: the lists that each had to hold a kept line's address.
    void setRequiredLists(RequiredLists lists, QStringList names);

    Step step() const { return m_step; }
    qsizetype removedCount() const { return m_removed.size(); }

    // The report, a line each, in the order of the lines: the line's number
    // (from firstLine + 1), the reason and the text, tab-separated. kept:
    // the lines the step kept, as they were, which name the first of each
    // duplicate.
    QString text(qsizetype firstLine, const QList<QStringView> &kept) const;

private:
    struct Noted
    {
        qsizetype index = 0;       // among the lines before the step
        QString text;
        qsizetype addresses = 0;   // for a line extracted from
    };
    QString reasonFor(const Noted &line) const;
    // For each line removed as a duplicate, the index of the kept line it repeats.
    QList<qsizetype> firstsOfDuplicates(const QList<QStringView> &kept) const;

    Step m_step = Step::RemoveEmpty;
    bool m_sameMailbox = false;
    QList<Noted> m_removed;
    QList<Noted> m_split; // lines extracted from that gave several addresses
    std::shared_ptr<const ListedAddresses> m_listed;
    RequiredLists m_required;
    QStringList m_listNames;
};
