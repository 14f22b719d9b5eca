#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <optional>

// The orders a list sorts in, and the key of a line in each, in UTF-8,
// whose bytes compare as the lines are to be ordered: the window's Sort
// Lines entries and --sort use the same keys.
// - Line: the line without spaces and tabs at either end, ignoring case.
// - Address: the address of a line that is one (inside a name or angle
//   brackets), ignoring case.
// - Domain: the address's domain, subdomains beside their parent
//   (DomainOrder), then its local part, ignoring case.
// Empty lines come first; in the orders by address, lines that hold no
// address come last, in the order of their text.
namespace SortKeys {

enum class Order { Line, Address, Domain };

std::optional<Order> orderNamed(QStringView name);

void append(QByteArrayView line, Order order, QByteArray &out);
void append(QStringView line, Order order, QByteArray &out);

} // namespace SortKeys
