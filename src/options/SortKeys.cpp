#include "options/SortKeys.h"

#include "addresses/AddressCharacters.h"
#include "addresses/AddressCheck.h"
#include "addresses/DomainOrder.h"
#include "core/Blanks.h"
#include "options/LineKeys.h"

#include <QString>

namespace {

using SortKeys::Order;

// An address, folded, as the order has it: the address itself, or its
// domain's key and then its local part.
void appendAddressKey(QByteArrayView folded, Order order, QByteArray &out)
{
    out += '\x01';
    if (order == Order::Address) {
        out += folded;
        return;
    }
    const qsizetype at = folded.lastIndexOf('@');
    DomainOrder::appendKey(folded.sliced(at + 1), out);
    out += '\0';
    out += folded.first(qMax<qsizetype>(at, 0));
}

void appendWritten(QStringView key, Order order, QByteArray &out)
{
    const QStringView address = AddressCheck::address(key);
    QByteArray folded;
    if (address.isEmpty()) {
        out += '\x02';
        LineKeys::appendFolded(key, out);
        return;
    }
    LineKeys::appendFolded(address, folded);
    appendAddressKey(folded, order, out);
}

} // namespace

namespace SortKeys {

std::optional<Order> orderNamed(QStringView name)
{
    if (name == u"line")
        return Order::Line;
    if (name == u"address")
        return Order::Address;
    if (name == u"domain")
        return Order::Domain;
    return std::nullopt;
}

// A line that is an address of the plainest kind is its own address,
// lowered; others are checked.
void append(QByteArrayView line, Order order, QByteArray &out)
{
    const QByteArrayView key = Blanks::trimmed(line);
    if (order == Order::Line || key.isEmpty()) {
        LineKeys::appendFoldedTrimmed(key, out);
        return;
    }
    char lowered[256];
    if (key.size() <= qsizetype(sizeof lowered) && AddressCharacters::isPlainAddress(key.data(), key.size())) {
        LineKeys::loweredPlainForm(key, lowered);
        appendAddressKey(QByteArrayView(lowered, key.size()), order, out);
        return;
    }
    appendWritten(QString::fromUtf8(key), order, out);
}

void append(QStringView line, Order order, QByteArray &out)
{
    const QStringView key = Blanks::trimmed(line);
    if (order == Order::Line || key.isEmpty())
        LineKeys::appendFolded(key, out);
    else
        appendWritten(key, order, out);
}

} // namespace SortKeys
