#include "options/ListTidying.h"

#include "core/Halves.h"
#include "addresses/AddressAdvice.h"
#include "addresses/AddressCheck.h"
#include "options/LineKeys.h"
#include "options/ListedAddresses.h"

#include <QHash>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>
#include <utility>
#include <vector>

namespace {

using namespace LineKeys;

// Lines between two looks at whether the work is still wanted.
constexpr qsizetype reportEvery = 1 << 16;
// Lists from this long are sorted on two threads.
constexpr qsizetype parallelFrom = 1 << 16;

template<typename Work>
auto inHalves(qsizetype count, Work work)
{
    return ::inHalves(count, parallelFrom, work);
}

} // namespace

// The keys of the lines that are addresses written otherwise than their keys
// (with a name, a quoted part, letters beyond ASCII); every other line is
// its own key, trimmed.
class ListTidying::AddressKeys
{
public:
    using Keys = std::vector<std::pair<qsizetype, QString>>; // in the order of the lines

    // The key of each line that needs one, and the hash of every line's key
    // with the line's place, made for each half at once.
    AddressKeys(const ListTidying &tidying, std::vector<quint64> &hashes)
    {
        const QList<QStringView> &lines = tidying.m_lines;
        const auto hashRange = [&](qsizetype from, qsizetype to) {
            std::pair<std::vector<quint64>, Keys> found;
            found.first.reserve(size_t(to - from));
            for (qsizetype line = from; line < to; ++line) {
                if (line % reportEvery == 0)
                    tidying.report(line, lines.size(), 0, 500);
                QString address;
                QStringView key = duplicateKeyOf(lines[line], address, tidying.m_sameMailbox);
                if (key.isEmpty())
                    continue;
                if (!address.isEmpty()) {
                    found.second.emplace_back(line, std::move(address));
                    key = found.second.back().second;
                }
                found.first.push_back(quint64(hashOf(key)) << 32 | quint64(line));
            }
            return found;
        };
        for (auto &[rangeHashes, keys] : inHalves(lines.size(), hashRange)) {
            hashes.insert(hashes.end(), rangeHashes.begin(), rangeHashes.end());
            std::move(keys.begin(), keys.end(), std::back_inserter(m_keys));
        }
    }

    QStringView of(const QList<QStringView> &lines, qsizetype line) const
    {
        const auto found = std::lower_bound(m_keys.begin(), m_keys.end(), line,
                                            [](const auto &entry, qsizetype l) { return entry.first < l; });
        return found != m_keys.end() && found->first == line ? QStringView(found->second) : trimmed(lines[line]);
    }

private:
    Keys m_keys;
};

ListTidying::ListTidying(QList<QStringView> lines, Progress *progress, bool sameMailbox)
    : m_lines(std::move(lines)), m_progress(progress), m_sameMailbox(sameMailbox)
{
}

void ListTidying::report(qsizetype done, qsizetype total, int fromPermille, int toPermille) const
{
    if (!m_progress)
        return;
    if (m_progress->cancelled.load(std::memory_order_relaxed))
        throw Cancelled{};
    const double share = total > 0 ? qMin(1.0, double(done) / double(total)) : 1.0;
    m_progress->permille.store(fromPermille + int((toPermille - fromPermille) * share), std::memory_order_relaxed);
}

// The lines grouped by the hash of their keys, earliest first within a group
// (a radix sort on the hash, which reads and writes memory in order where a
// hash table would reach all over it); a line whose key an earlier line of
// its group has is a duplicate. Empty lines are never duplicates.
ListTidying::Places ListTidying::firstOccurrences() const
{
    const auto count = size_t(m_lines.size());
    std::vector<quint64> sorted;
    sorted.reserve(count);
    const AddressKeys addresses(*this, sorted);
    std::vector<quint64> spare(sorted.size());
    for (int shift = 32; shift < 64; shift += 16) {
        report(shift - 32, 32, 500, 800);
        std::vector<size_t> starts(0x10001);
        for (const quint64 entry : sorted)
            ++starts[((entry >> shift) & 0xFFFF) + 1];
        for (size_t digit = 1; digit < starts.size(); ++digit)
            starts[digit] += starts[digit - 1];
        for (const quint64 entry : sorted)
            spare[starts[(entry >> shift) & 0xFFFF]++] = entry;
        sorted.swap(spare);
    }
    spare = {};
    // Within a group, each line is compared with the first line of each key
    // seen in the group so far: one, unless hashes collide.
    std::vector<bool> duplicate(count);
    std::vector<qsizetype> firsts;
    const auto keyOf = [&](quint64 entry) { return addresses.of(m_lines, qsizetype(entry & 0xFFFFFFFF)); };
    for (size_t from = 0; from < sorted.size();) {
        if (from % reportEvery == 0)
            report(qsizetype(from), qsizetype(sorted.size()), 800, 1000);
        // A line alone with its hash is a first occurrence: its text, which
        // lies anywhere in memory, is not even looked at.
        if (from + 1 == sorted.size() || sorted[from + 1] >> 32 != sorted[from] >> 32) {
            ++from;
            continue;
        }
        firsts.clear();
        size_t to = from;
        for (; to < sorted.size() && sorted[to] >> 32 == sorted[from] >> 32; ++to) {
            const QStringView key = keyOf(sorted[to]);
            const bool seen = std::any_of(firsts.begin(), firsts.end(),
                                          [&](qsizetype first) { return sameKey(keyOf(sorted[size_t(first)]), key); });
            duplicate[sorted[to] & 0xFFFFFFFF] = seen;
            if (!seen)
                firsts.push_back(qsizetype(to));
        }
        from = to;
    }
    Places first;
    first.reserve(count);
    for (size_t line = 0; line < count; ++line)
        if (!duplicate[line])
            first.push_back(quint32(line));
    return first;
}

// Each key is compared first by eight units from where the keys start to
// differ (none past its end counting as less than any), packed into numbers
// that sit beside it in memory; only keys alike there are compared whole.
// Equal keys keep their order.
ListTidying::Places ListTidying::sorted() const
{
    // The line's text is kept beside its place, so that comparing keys alike
    // at first does not reach into the list of lines.
    struct Entry
    {
        quint64 high;
        quint64 low;
        const QChar *text;
        quint32 length;
        quint32 line;
        QStringView view() const { return QStringView(text, length); }
    };
    const qsizetype count = m_lines.size();
    const auto keyOf = [&](qsizetype line) { return trimmed(m_lines[line]); };
    // Keys that are all of a beginning of the longest (an empty one) do not
    // shorten the part all keys share: they come first among its keys anyway.
    QStringView longest;
    for (qsizetype line = 0; line < count; ++line)
        longest = keyOf(line).size() > longest.size() ? keyOf(line) : longest;
    qsizetype common = longest.size();
    for (qsizetype line = 0; line < count && common > 0; ++line) {
        const QStringView key = keyOf(line);
        const qsizetype shared = commonLength(longest, key);
        if (shared < key.size())
            common = qMin(common, shared);
    }
    std::vector<Entry> entries(size_t(count), Entry{});
    for (qsizetype line = 0; line < count; ++line) {
        if (line % reportEvery == 0)
            report(line, count, 0, 100);
        const QStringView key = keyOf(line);
        const auto packed = [&](qsizetype from) {
            quint64 units = 0;
            for (qsizetype i = from; i < from + 4; ++i)
                units = units << 16 | (i < key.size() ? rank(foldedAt(key, i)) : 0);
            return units;
        };
        const QStringView whole = m_lines[line];
        entries[size_t(line)] = {packed(common), packed(common + 4), whole.data(), quint32(whole.size()), quint32(line)};
    }
    const auto precedesEntry = [&](const Entry &a, const Entry &b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        const QStringView keyA = trimmed(a.view());
        const QStringView keyB = trimmed(b.view());
        if (precedes(keyA, keyB))
            return true;
        return !precedes(keyB, keyA) && a.line < b.line;
    };
    // Each half sorted on a thread of its own, then the two merged. About
    // n log n comparisons in all; every so many, a look at whether to go on.
    const qsizetype expected = qsizetype(double(count) * std::log2(double(count) + 2) * 0.6);
    const auto sortRange = [&](auto from, auto to) {
        qsizetype compared = 0;
        std::sort(from, to, [&](const Entry &a, const Entry &b) {
            if ((++compared & 0x3FFF) == 0)
                report(compared, expected, 100, 900);
            return precedesEntry(a, b);
        });
    };
    const bool halves = inHalves(count, [&](qsizetype from, qsizetype to) {
                            sortRange(entries.begin() + from, entries.begin() + to);
                            return true;
                        }).size() == 2;
    const auto middle = entries.begin() + (halves ? count / 2 : count);
    Places places;
    places.reserve(size_t(count));
    auto first = entries.begin();
    auto second = middle;
    const auto firstEnd = middle;
    for (qsizetype merged = 0; first != firstEnd || second != entries.end(); ++merged) {
        if (merged % reportEvery == 0)
            report(merged, count, 900, 1000);
        const bool fromSecond = first == firstEnd || (second != entries.end() && precedesEntry(*second, *first));
        places.push_back((fromSecond ? second++ : first++)->line);
    }
    return places;
}

// Counts the lines of each half on a thread of its own: each line's own
// look (empty, trimmed, an address, in order after the one before).
ListTidying::Counts ListTidying::lineCounts() const
{
    const auto countRange = [this](qsizetype from, qsizetype to) {
        Counts counts;
        AddressAdvice adviser;
        for (qsizetype line = from; line < to; ++line) {
            if (line % reportEvery == 0)
                report(line, m_lines.size(), 0, 500);
            const QStringView key = trimmed(m_lines[line]);
            counts.empty += key.isEmpty();
            counts.untrimmed = counts.untrimmed || key.size() != m_lines[line].size();
            counts.unsorted = counts.unsorted || (line > 0 && precedes(key, trimmed(m_lines[line - 1])));
            if (key.isEmpty())
                continue;
            const QStringView address = AddressCheck::address(key);
            counts.notAddresses += address.isEmpty();
            if (address.isEmpty())
                continue;
            const AddressAdvice::Advice advice = adviser.onAddress(address);
            counts.mistyped += !advice.suggestion.isEmpty();
            counts.unread += advice.kind == AddressAdvice::Kind::NoReply || advice.kind == AddressAdvice::Kind::Role;
            counts.throwaway += advice.kind == AddressAdvice::Kind::Disposable;
        }
        return counts;
    };
    Counts counts;
    for (const Counts &half : inHalves(m_lines.size(), countRange)) {
        counts.empty += half.empty;
        counts.untrimmed = counts.untrimmed || half.untrimmed;
        counts.unsorted = counts.unsorted || half.unsorted;
        counts.notAddresses += half.notAddresses;
        counts.mistyped += half.mistyped;
        counts.unread += half.unread;
        counts.throwaway += half.throwaway;
    }
    counts.lines = m_lines.size();
    return counts;
}

qsizetype ListTidying::duplicates() const
{
    return m_lines.size() - firstOccurrences().size();
}

ListTidying::Counts ListTidying::counts() const
{
    Counts counts = lineCounts();
    counts.duplicates = duplicates();
    return counts;
}

bool ListTidying::Counts::wouldChange(Operation operation) const
{
    switch (operation) {
    case Operation::RemoveDuplicates:
        return duplicates > 0;
    case Operation::RemoveEmpty:
        return empty > 0;
    case Operation::TrimSpaces:
        return untrimmed;
    case Operation::Sort:
        return unsorted;
    case Operation::SortByAddress:
    case Operation::SortByDomain:
        return lines > 1;
    case Operation::RemoveNonAddresses:
        return notAddresses > 0;
    }
    return false;
}

QList<QStringView> ListTidying::apply(Operation operation) const
{
    QList<QStringView> result;
    result.reserve(m_lines.size());
    if (choosesLines(operation)) {
        for (const quint32 place : chosen(operation))
            result.append(m_lines[place]);
        return result;
    }
    for (qsizetype line = 0; line < m_lines.size(); ++line) {
        if (line % reportEvery == 0)
            report(line, m_lines.size(), 0, 1000);
        result.append(trimmed(m_lines[line]));
    }
    return result;
}

ListTidying::Places ListTidying::chosen(Operation operation) const
{
    Places result;
    const auto keepEach = [&](auto keeps) {
        result.reserve(size_t(m_lines.size()));
        for (qsizetype line = 0; line < m_lines.size(); ++line) {
            if (line % reportEvery == 0)
                report(line, m_lines.size(), 0, 1000);
            if (keeps(m_lines[line]))
                result.push_back(quint32(line));
        }
    };
    switch (operation) {
    case Operation::RemoveDuplicates:
        return firstOccurrences();
    case Operation::RemoveEmpty:
        keepEach([](QStringView line) { return !isEmpty(line); });
        break;
    case Operation::Sort:
        return sorted();
    case Operation::SortByAddress:
        return sortedBy(SortKeys::Order::Address);
    case Operation::SortByDomain:
        return sortedBy(SortKeys::Order::Domain);
    case Operation::RemoveNonAddresses:
        keepEach([](QStringView line) { return isEmpty(line) || AddressCheck::isAddress(line); });
        break;
    case Operation::TrimSpaces:
        break;
    }
    return result;
}

// By the keys SortKeys gives, made for each half of the lines at once;
// equal keys keep their order.
ListTidying::Places ListTidying::sortedBy(SortKeys::Order order) const
{
    const auto keysOfRange = [&](qsizetype from, qsizetype to) {
        std::pair<QByteArray, std::vector<qsizetype>> keys; // one after the other, and where each ends
        keys.second.reserve(size_t(to - from));
        for (qsizetype line = from; line < to; ++line) {
            if (line % reportEvery == 0)
                report(line, m_lines.size(), 0, 600);
            SortKeys::append(m_lines[line], order, keys.first);
            keys.second.push_back(keys.first.size());
        }
        return keys;
    };
    const auto halves = inHalves(m_lines.size(), keysOfRange);
    std::vector<QByteArrayView> keys;
    keys.reserve(size_t(m_lines.size()));
    for (const auto &[bytes, ends] : halves)
        for (qsizetype start = 0; const qsizetype end : ends) {
            keys.push_back(QByteArrayView(bytes).sliced(start, end - start));
            start = end;
        }
    Places places(keys.size());
    std::iota(places.begin(), places.end(), 0);
    std::stable_sort(places.begin(), places.end(), [&keys](quint32 a, quint32 b) { return keys[a] < keys[b]; });
    report(m_lines.size(), m_lines.size(), 600, 1000);
    return places;
}

// Each half of the lines on a thread of its own.
ListTidying::Places ListTidying::withoutListed(const ListedAddresses &listed) const
{
    return keeping([&listed](QStringView line) { return !listed.holds(line); });
}

ListTidying::Places ListTidying::onlyListed(const RequiredLists &lists) const
{
    return keeping([&lists](QStringView line) { return firstNotHolding(lists, line) < 0; });
}

// The lines the test keeps, tested on two threads, in their order.
ListTidying::Places ListTidying::keeping(const std::function<bool(QStringView)> &keeps) const
{
    const auto keepRange = [&](qsizetype from, qsizetype to) {
        Places kept;
        kept.reserve(size_t(to - from));
        for (qsizetype line = from; line < to; ++line) {
            if (line % reportEvery == 0)
                report(line, m_lines.size(), 0, 1000);
            if (keeps(m_lines[line]))
                kept.push_back(quint32(line));
        }
        return kept;
    };
    Places result;
    result.reserve(size_t(m_lines.size()));
    for (const Places &kept : inHalves(m_lines.size(), keepRange))
        result.insert(result.end(), kept.begin(), kept.end());
    return result;
}
