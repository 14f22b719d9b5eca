#pragma once

#include <QList>
#include <QStringView>

#include <utility>

// The recipients of a joined line, for mail services that take so many at a
// time: the items between its commas, where a comma inside a quoted name
// ("Lee, Ann" <ann@x.org>), a comment or angle brackets cuts nothing, and
// items that are empty or of spaces and tabs only are none. Quotes and
// brackets count only where they close later in the line, so that a stray
// one does not swallow the rest of it (AddressTokens reads them).
namespace Recipients {

// Where each recipient lies in the line: its start and end. The separator
// may be a semicolon instead; a line feed makes each line one recipient.
QList<std::pair<qsizetype, qsizetype>> in(QStringView line, char16_t separator = u',');

} // namespace Recipients
