#include "join/ListTidying.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

bool isSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// UTF-16 units ranked so that comparing them compares code points: the
// surrogates, which stand for code points above U+FFFF, after all others.
inline char16_t rank(char16_t unit)
{
    return unit < 0xD800 ? unit : unit >= 0xE000 ? char16_t(unit - 0x800) : char16_t(unit + 0x2000);
}

qsizetype commonLength(QStringView a, QStringView b)
{
    const qsizetype common = qMin(a.size(), b.size());
    return std::mismatch(a.utf16(), a.utf16() + common, b.utf16()).first - a.utf16();
}

bool precedes(QStringView a, QStringView b)
{
    const qsizetype common = commonLength(a, b);
    return common == qMin(a.size(), b.size()) ? a.size() < b.size()
                                               : rank(a[common].unicode()) < rank(b[common].unicode());
}

// Simple case folding, which keeps every character's length.
void foldInto(QStringView text, char16_t *out)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            out[i] = unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(text[i], text[i + 1]));
            out[i] = QChar::highSurrogate(folded);
            out[++i] = QChar::lowSurrogate(folded);
        } else {
            out[i] = QChar::toCaseFolded(char32_t(unit));
        }
    }
}

} // namespace

ListTidying::ListTidying(QList<QStringView> lines) : m_lines(std::move(lines)) {}

ListTidying::Keys ListTidying::keys() const
{
    qsizetype length = 0;
    for (QStringView line : m_lines)
        length += trimmed(line).size();
    Keys keys{QString(length, Qt::Uninitialized), {}};
    keys.spans.reserve(m_lines.size());
    char16_t *out = reinterpret_cast<char16_t *>(keys.folded.data());
    qsizetype at = 0;
    for (QStringView line : m_lines) {
        const QStringView text = trimmed(line);
        foldInto(text, out + at);
        keys.spans.append({at, text.size()});
        at += text.size();
    }
    return keys;
}

QStringView ListTidying::trimmed(QStringView line)
{
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && isSpaceOrTab(line[start]))
        ++start;
    while (end > start && isSpaceOrTab(line[end - 1]))
        --end;
    return line.sliced(start, end - start);
}

// The lines grouped by the hash of their keys, earliest first within a group
// (a radix sort on the hash, which reads and writes memory in order where a
// hash table would reach all over it); a line whose key an earlier line of
// its group has is a duplicate.
QList<qsizetype> ListTidying::firstOccurrences(const Keys &keys) const
{
    const auto count = size_t(m_lines.size());
    std::vector<quint64> sorted(count);
    for (size_t line = 0; line < count; ++line)
        sorted[line] = quint64(quint32(qHash(keys[qsizetype(line)]))) << 32 | line;
    std::vector<quint64> spare(count);
    for (int shift = 32; shift < 64; shift += 16) {
        std::vector<size_t> starts(0x10001);
        for (const quint64 entry : sorted)
            ++starts[((entry >> shift) & 0xFFFF) + 1];
        for (size_t digit = 1; digit < starts.size(); ++digit)
            starts[digit] += starts[digit - 1];
        for (const quint64 entry : sorted)
            spare[starts[(entry >> shift) & 0xFFFF]++] = entry;
        sorted.swap(spare);
    }
    // Within a group, each line is compared with the first line of each key
    // seen in the group so far: one, unless hashes collide.
    std::vector<bool> duplicate(count);
    std::vector<qsizetype> firsts;
    for (size_t from = 0; from < count;) {
        firsts.clear();
        size_t to = from;
        for (; to < count && sorted[to] >> 32 == sorted[from] >> 32; ++to) {
            const auto line = qsizetype(sorted[to] & 0xFFFFFFFF);
            const QStringView lineKey = keys[line];
            duplicate[size_t(line)] = std::any_of(firsts.begin(), firsts.end(),
                                                  [&](qsizetype first) { return keys[first] == lineKey; });
            if (!duplicate[size_t(line)])
                firsts.push_back(line);
        }
        from = to;
    }
    QList<qsizetype> first;
    first.reserve(m_lines.size());
    for (size_t line = 0; line < count; ++line)
        if (!duplicate[line])
            first.append(qsizetype(line));
    return first;
}

// Each key is compared first by eight units from where the keys start to
// differ (none past its end counting as less than any), packed into numbers
// that sit beside it in memory; only keys alike there are compared whole.
// Equal keys keep their order.
QList<qsizetype> ListTidying::sortedOrder(const Keys &keys) const
{
    struct Entry
    {
        std::pair<quint64, quint64> prefix;
        QStringView key;
        qsizetype line;
    };
    const qsizetype count = m_lines.size();
    // Keys that are all of a beginning of the longest (an empty one) do not
    // shorten the part all keys share: they come first among its keys anyway.
    QStringView longest;
    for (qsizetype line = 0; line < count; ++line)
        longest = keys[line].size() > longest.size() ? keys[line] : longest;
    qsizetype common = longest.size();
    for (qsizetype line = 0; line < count && common > 0; ++line) {
        const qsizetype shared = commonLength(longest, keys[line]);
        if (shared < keys[line].size())
            common = qMin(common, shared);
    }
    std::vector<Entry> entries(size_t(count), Entry{});
    for (qsizetype line = 0; line < count; ++line) {
        const QStringView key = keys[line];
        const auto packed = [&](qsizetype from) {
            quint64 units = 0;
            for (qsizetype i = from; i < from + 4; ++i)
                units = units << 16 | (i < key.size() ? rank(key[i].unicode()) : 0);
            return units;
        };
        entries[size_t(line)] = {{packed(common), packed(common + 4)}, key, line};
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        if (precedes(a.key, b.key))
            return true;
        return !precedes(b.key, a.key) && a.line < b.line;
    });
    QList<qsizetype> order;
    order.reserve(count);
    for (const Entry &entry : entries)
        order.append(entry.line);
    return order;
}

ListTidying::Counts ListTidying::counts() const
{
    const Keys keys = this->keys();
    Counts counts;
    counts.lines = m_lines.size();
    counts.duplicates = m_lines.size() - firstOccurrences(keys).size();
    for (qsizetype line = 0; line < m_lines.size(); ++line) {
        if (keys.spans[line].second == 0)
            ++counts.empty;
        if (keys.spans[line].second != m_lines[line].size())
            counts.untrimmed = true;
        if (line > 0 && precedes(keys[line], keys[line - 1]))
            counts.unsorted = true;
    }
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
    }
    return false;
}

QList<QStringView> ListTidying::apply(Operation operation) const
{
    QList<QStringView> result;
    result.reserve(m_lines.size());
    switch (operation) {
    case Operation::RemoveDuplicates:
        for (qsizetype line : firstOccurrences(keys()))
            result.append(m_lines[line]);
        break;
    case Operation::RemoveEmpty:
        for (QStringView line : m_lines)
            if (!isEmpty(line))
                result.append(line);
        break;
    case Operation::TrimSpaces:
        for (QStringView line : m_lines)
            result.append(trimmed(line));
        break;
    case Operation::Sort:
        for (qsizetype line : sortedOrder(keys()))
            result.append(m_lines[line]);
        break;
    }
    return result;
}
