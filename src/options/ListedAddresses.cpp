#include "options/ListedAddresses.h"

#include "addresses/AddressCharacters.h"
#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"
#include "addresses/MailboxAliases.h"
#include "core/Blanks.h"
#include "options/LineKeys.h"

#include <algorithm>

namespace {

// The key of a line that is an address, folded as keys are kept, in
// buffer; false for a line that is none.
bool foldedKeyOf(QStringView line, QByteArray &buffer)
{
    const QStringView text = Blanks::trimmed(line);
    if (!AddressCheck::isAddress(text))
        return false;
    const QString address = LineKeys::isPlainAddressForm(text) ? QString() : AddressCheck::key(text);
    buffer.truncate(0);
    LineKeys::appendFolded(address.isNull() ? text : QStringView(address), buffer);
    return true;
}

// A plain address (at most 254 bytes) in lower case, in a buffer of 256.
QByteArrayView lowered(QByteArrayView address, char *buffer)
{
    std::transform(address.begin(), address.end(), buffer, [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return QByteArrayView(buffer, address.size());
}

} // namespace

void ListedAddresses::addLine(QStringView line)
{
    m_contacts.feed(line, 0, [this](QStringView text, qsizetype) { addFound(text); });
}

// The plainest addresses, most lines of most lists, go in as they are.
void ListedAddresses::addLine(QByteArrayView line)
{
    const QByteArrayView text = Blanks::trimmed(line);
    if (m_contacts.readsAsItStands() && AddressCharacters::isPlainAddress(text.data(), text.size())) {
        char folded[256];
        insert(lowered(text, folded));
        return;
    }
    addLine(QString::fromUtf8(line));
}

void ListedAddresses::finish()
{
    m_contacts.finish([this](QStringView text, qsizetype) { addFound(text); });
}

void ListedAddresses::nextList()
{
    finish();
    m_contacts = {};
    ++m_list;
}

void ListedAddresses::insert(QByteArrayView key)
{
    if (m_sameMailbox) {
        QByteArray mailbox = key.toByteArray();
        MailboxAliases::foldKey(mailbox);
        m_keys.insertNumbered(mailbox, KeySet::hashOf(mailbox), m_list);
        return;
    }
    m_keys.insertNumbered(key, KeySet::hashOf(key), m_list);
}

qint64 ListedAddresses::numberOf(QByteArrayView key) const
{
    if (m_sameMailbox) {
        QByteArray mailbox = key.toByteArray();
        MailboxAliases::foldKey(mailbox);
        return m_keys.numberOf(mailbox);
    }
    return m_keys.numberOf(key);
}

void ListedAddresses::addFound(QStringView text)
{
    QByteArray folded;
    for (const QString &address : AddressExtraction::in(text))
        if (foldedKeyOf(address, folded))
            insert(folded);
}

// A line of plain form (ASCII, no name, quotes or comment) is held when its
// text, lowered, is a key kept: keys are those of valid addresses, so such
// text is a valid address itself, and nothing else need be checked.
qint64 ListedAddresses::listHolding(QByteArrayView line) const
{
    if (m_keys.size() == 0)
        return -1;
    const QByteArrayView text = Blanks::trimmed(line);
    char folded[256];
    if (text.size() <= 254 && LineKeys::loweredPlainForm(text, folded))
        return numberOf(QByteArrayView(folded, text.size()));
    return listHolding(QString::fromUtf8(line));
}

qint64 ListedAddresses::listHolding(QStringView line) const
{
    QByteArray folded;
    return foldedKeyOf(line, folded) ? numberOf(folded) : -1;
}
