#pragma once

#include <QList>
#include <QStringView>

#include <cstdint>
#include <utility>
#include <vector>

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

// The same places held in half the room, for a window that keeps those of a
// million recipients: each start and end as a 32-bit distance from the base
// of its block of recipients.
class Places
{
public:
    qsizetype size() const { return qsizetype(m_starts.size()); }
    qsizetype start(qsizetype i) const { return blockOf(i).base + m_starts[size_t(i)]; }
    qsizetype end(qsizetype i) const { return blockOf(i).base + m_ends[size_t(i)]; }
    void reserve(qsizetype count);
    void append(qsizetype start, qsizetype end);

private:
    struct Block
    {
        qsizetype first = 0; // the index of its first recipient
        qsizetype base = 0;
    };
    const Block &blockOf(qsizetype i) const;

    // A block starts every so many recipients, and wherever a distance would
    // not fit in 32 bits.
    std::vector<Block> m_blocks;
    std::vector<std::uint32_t> m_starts;
    std::vector<std::uint32_t> m_ends;
};

Places placesIn(QStringView line, char16_t separator = u',');

} // namespace Recipients
