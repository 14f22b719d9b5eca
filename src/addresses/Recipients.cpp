#include "addresses/Recipients.h"

#include "addresses/AddressTokens.h"
#include "core/Blanks.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace Recipients {

namespace {

bool isBlank(QStringView item)
{
    return Blanks::trimmed(item).isEmpty();
}

// Where the last > stands outside quoted strings and comments, or -1: a <
// before it opens angle brackets that close.
qsizetype lastClosingAngle(QStringView line)
{
    qsizetype last = -1;
    AddressTokens tokens(line);
    for (AddressTokens::Token token; tokens.next(token);)
        if (token.is(u'>', line))
            last = token.start;
    return last;
}

// Calls found(start, end) for each recipient in turn.
template<typename Found>
void find(QStringView line, char16_t separator, Found found)
{
    const auto add = [&](qsizetype from, qsizetype to) {
        if (!isBlank(line.sliced(from, to - from)))
            found(from, to);
    };
    if (separator == u'\n') {
        qsizetype start = 0;
        for (qsizetype lf = line.indexOf(u'\n'); lf >= 0; start = lf + 1, lf = line.indexOf(u'\n', start))
            add(start, lf > start && line[lf - 1] == u'\r' ? lf - 1 : lf);
        add(start, line.size());
        return;
    }
    const qsizetype closingAngle = lastClosingAngle(line);
    qsizetype start = 0;
    bool angled = false;
    AddressTokens tokens(line);
    for (AddressTokens::Token token; tokens.next(token);) {
        if (token.kind != AddressTokens::Kind::Sign)
            continue;
        const QChar c = line[token.start];
        if (angled) {
            angled = c != u'>';
        } else if (c == u'<') {
            angled = token.start < closingAngle;
        } else if (c == separator) {
            add(start, token.start);
            start = token.end;
        }
    }
    add(start, line.size());
}

} // namespace

QList<std::pair<qsizetype, qsizetype>> in(QStringView line, char16_t separator)
{
    QList<std::pair<qsizetype, qsizetype>> recipients;
    find(line, separator, [&](qsizetype start, qsizetype end) { recipients.append({start, end}); });
    return recipients;
}

Places placesIn(QStringView line, char16_t separator)
{
    Places places;
    // No more recipients than separators and one: room made once.
    places.reserve(std::count(line.begin(), line.end(), QChar(separator)) + 1);
    find(line, separator, [&](qsizetype start, qsizetype end) { places.append(start, end); });
    return places;
}

void Places::reserve(qsizetype count)
{
    m_starts.reserve(size_t(count));
    m_ends.reserve(size_t(count));
}

void Places::append(qsizetype start, qsizetype end)
{
    constexpr qsizetype blockSize = 65536;
    constexpr qsizetype reach = std::numeric_limits<std::uint32_t>::max();
    // One recipient of more than four thousand million characters has no
    // place here; the menu then offers no batches, as when memory runs out.
    if (end - start > reach)
        throw std::length_error("a recipient too long to place");
    const qsizetype i = size();
    if (m_blocks.empty() || i - m_blocks.back().first == blockSize || end - m_blocks.back().base > reach)
        m_blocks.push_back({i, start});
    m_starts.push_back(std::uint32_t(start - m_blocks.back().base));
    m_ends.push_back(std::uint32_t(end - m_blocks.back().base));
}

const Places::Block &Places::blockOf(qsizetype i) const
{
    const auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), i,
                                        [](qsizetype index, const Block &block) { return index < block.first; });
    return *(after - 1);
}

} // namespace Recipients
