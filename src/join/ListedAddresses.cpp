#include "join/ListedAddresses.h"

#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"
#include "core/Blanks.h"
#include "join/LineKeys.h"

namespace {

// The key of a line that is an address, folded as keys are kept, in
// buffer; false for a line that is none.
bool foldedKeyOf(QStringView line, QByteArray &buffer)
{
    const QStringView text = Blanks::trimmed(line);
    if (!AddressCheck::isAddress(text))
        return false;
    const QString address = LineKeys::isPlainAddressForm(text) ? QString() : AddressCheck::key(text);
    buffer.clear();
    LineKeys::appendFolded(address.isNull() ? text : QStringView(address), buffer);
    return true;
}

} // namespace

void ListedAddresses::addLine(QStringView line)
{
    m_contacts.feed(line, 0, [this](QStringView text, qsizetype) { addFound(text); });
}

void ListedAddresses::finish()
{
    m_contacts.finish([this](QStringView text, qsizetype) { addFound(text); });
}

void ListedAddresses::addFound(QStringView text)
{
    QByteArray folded;
    for (const QString &address : AddressExtraction::in(text))
        if (foldedKeyOf(address, folded))
            m_keys.insert(folded);
}

bool ListedAddresses::holds(QStringView line) const
{
    QByteArray folded;
    return foldedKeyOf(line, folded) && m_keys.contains(folded);
}
