#pragma once

#include "addresses/ContactLines.h"
#include "core/KeySet.h"

#include <QByteArrayView>
#include <QStringView>

#include <memory>
#include <vector>

// The addresses that unsubscribe and bounce lists hold, for leaving out the
// lines whose addresses they hold, compared as addresses (ignoring case,
// names and comments: ANN@x.org in a list takes "Ann" <ann@X.org>). A
// list's line may be an address, or hold addresses among other text, in
// the forms AddressExtraction finds, vCard and LDIF among them.
class ListedAddresses
{
public:
    // sameMailbox: a provider's aliases of one mailbox are one address
    // (MailboxAliases).
    explicit ListedAddresses(bool sameMailbox = false) : m_sameMailbox(sameMailbox) {}

    // A list's lines, one at a time, in UTF-16 or UTF-8; finish() after
    // its last. Lists are numbered from 0 in the order they are added:
    // nextList() before the lines of the second and each further one.
    void addLine(QStringView line);
    void addLine(QByteArrayView line);
    void finish();
    void nextList();

    // Whether the line is an address the lists hold. Safe to ask from
    // several threads at once, once every list is added.
    bool holds(QStringView line) const { return listHolding(line) >= 0; }
    // The number of the first list that holds the line's address, or -1.
    qint64 listHolding(QStringView line) const;
    qint64 listHolding(QByteArrayView line) const;
    qsizetype size() const { return m_keys.size(); }

private:
    void addFound(QStringView text);
    void insert(QByteArrayView key);
    qint64 numberOf(QByteArrayView key) const;

    ContactLines m_contacts;
    KeySet m_keys;
    quint64 m_list = 0; // the number of the list being added
    bool m_sameMailbox = false;
};

// Lists that must each hold a line's address for the line to stay (--only,
// Keep Only Addresses Listed in File): each list a ListedAddresses of its own.
using RequiredLists = std::vector<std::shared_ptr<const ListedAddresses>>;

// The number of the first of the lists that does not hold the line's
// address, or -1 when all do.
template<typename Line>
qint64 firstNotHolding(const RequiredLists &lists, Line line)
{
    for (std::size_t i = 0; i < lists.size(); ++i)
        if (lists[i]->listHolding(line) < 0)
            return qint64(i);
    return -1;
}
