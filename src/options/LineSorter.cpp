#include "options/LineSorter.h"

#include "core/Blanks.h"
#include "core/Failure.h"
#include "core/Halves.h"
#include "core/FileAccess.h"
#include "options/SortKeys.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <queue>
#include <unistd.h>

namespace {

constexpr std::size_t fanIn = 16;
// Runs from this many lines are sorted on two threads.
constexpr qsizetype parallelFrom = 1 << 16;
constexpr qsizetype bufferSize = 1 << 20;

// Eight bytes of a key from a place, big-endian, so that comparing them as
// numbers compares them as bytes; bytes past its end count as none.
quint64 wordAt(QByteArrayView key, qsizetype from)
{
    quint64 word = 0;
    for (qsizetype i = from; i < from + 8; ++i)
        word = word << 8 | (i < key.size() ? static_cast<uchar>(key[i]) : 0);
    return word;
}

qsizetype sharedLength(QByteArrayView a, QByteArrayView b)
{
    const qsizetype shorter = qMin(a.size(), b.size());
    qsizetype i = 0;
    while (i < shorter && a[i] == b[i])
        ++i;
    return i;
}

// Keys compared past the bytes all of them share: sixteen bytes as two
// numbers, then the rest.
int compareKeys(QByteArrayView a, quint64 aHigh, quint64 aLow, QByteArrayView b, quint64 bHigh, quint64 bLow,
                qsizetype shared)
{
    if (aHigh != bHigh)
        return aHigh < bHigh ? -1 : 1;
    if (aLow != bLow)
        return aLow < bLow ? -1 : 1;
    // Keys that end within the numbers differ by their lengths alone.
    if (a.size() <= shared + 16 && b.size() <= shared + 16)
        return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
    const qsizetype from = qMin(shared + 16, qMin(a.size(), b.size()));
    return a.sliced(from).compare(b.sliced(from));
}

// Names the folder, and TMPDIR where that chose it.
Failure temporaryFailure(const char *what, const QString &description)
{
    const QString folder = LineSorter::temporaryFolder();
    const bool chosen = !qEnvironmentVariableIsEmpty("TMPDIR");
    return Failure(QStringLiteral("cannot %1 a temporary file in %2%3: %4")
                       .arg(QLatin1String(what), folder, chosen ? QStringLiteral(" (TMPDIR)") : QString(), description));
}

int makeTemporaryFile()
{
    QByteArray pattern = QFile::encodeName(LineSorter::temporaryFolder() + QStringLiteral("/kestrava-sort-XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        throw temporaryFailure("make", QString::fromLocal8Bit(std::strerror(errno)));
    ::unlink(pattern.constData());
    return fd;
}

// Whether a run's file holds its keys: keys by address and domain cost
// more to make again than to write and read, keys by line less.
bool keysWritten(SortKeys::Order order)
{
    return order != SortKeys::Order::Line;
}

// A run written to its file: each line's key where the order writes keys,
// then the line, each its length and then its bytes.
class RunWriter
{
public:
    RunWriter(int fd, SortKeys::Order order) : m_fd(fd), m_order(order) { m_buffer.reserve(bufferSize + 64); }

    void write(QByteArrayView key, QByteArrayView line)
    {
        if (keysWritten(m_order))
            append(key);
        append(line);
        if (m_buffer.size() >= bufferSize)
            flush();
    }

    void flush()
    {
        try {
            writeAll(m_fd, m_buffer);
        } catch (const Failure &failure) {
            throw temporaryFailure("write", failure.description());
        }
        m_buffer.truncate(0);
    }

private:
    void append(QByteArrayView part)
    {
        const quint32 length = quint32(part.size());
        m_buffer.append(reinterpret_cast<const char *>(&length), sizeof length);
        m_buffer.append(part);
    }

    int m_fd;
    SortKeys::Order m_order;
    QByteArray m_buffer;
};

class RunReader
{
public:
    RunReader(int fd, SortKeys::Order order) : m_fd(fd), m_order(order), m_buffer(bufferSize, Qt::Uninitialized)
    {
        if (::lseek(fd, 0, SEEK_SET) != 0)
            throw temporaryFailure("read", QString::fromLocal8Bit(std::strerror(errno)));
    }

    // The next line and its key, or false at the end of the run.
    bool next(qsizetype shared)
    {
        quint32 length = 0;
        if (!read(reinterpret_cast<char *>(&length), sizeof length, true))
            return false;
        if (keysWritten(m_order)) {
            m_key.resize(length);
            read(m_key.data(), m_key.size(), false);
            read(reinterpret_cast<char *>(&length), sizeof length, false);
        }
        m_line.resize(length);
        read(m_line.data(), m_line.size(), false);
        if (!keysWritten(m_order)) {
            m_key.truncate(0);
            SortKeys::append(m_line, m_order, m_key);
        }
        high = wordAt(m_key, shared);
        low = wordAt(m_key, shared + 8);
        return true;
    }
    QByteArrayView key() const { return m_key; }
    QByteArrayView line() const { return m_line; }
    quint64 high = 0;
    quint64 low = 0;

private:
    bool read(char *to, qsizetype size, bool mayEnd)
    {
        for (qsizetype done = 0; done < size;) {
            if (m_at == m_filled) {
                try {
                    m_filled = readFull(m_fd, m_buffer.data(), m_buffer.size());
                } catch (const Failure &failure) {
                    throw temporaryFailure("read", failure.description());
                }
                m_at = 0;
                if (m_filled == 0) {
                    if (mayEnd && done == 0)
                        return false;
                    throw temporaryFailure("read", QStringLiteral("it ended early"));
                }
            }
            const qsizetype count = qMin(size - done, m_filled - m_at);
            std::memcpy(to + done, m_buffer.constData() + m_at, size_t(count));
            m_at += count;
            done += count;
        }
        return true;
    }

    int m_fd;
    SortKeys::Order m_order;
    QByteArray m_buffer;
    qsizetype m_at = 0;
    qsizetype m_filled = 0;
    QByteArray m_line;
    QByteArray m_key;
};

} // namespace

LineSorter::LineSorter(SortKeys::Order order, qsizetype budget) : m_order(order), m_budget(budget) {}

LineSorter::~LineSorter()
{
    for (const Run &run : m_runs)
        ::close(run.fd);
}

QString LineSorter::temporaryFolder()
{
    const QString folder = qEnvironmentVariable("TMPDIR");
    return folder.isEmpty() ? QStringLiteral("/tmp") : folder;
}

void LineSorter::add(QByteArrayView line)
{
    const qsizetype held = m_bytes.size() + line.size() * 2 + qsizetype(m_entries.size() + 1) * qsizetype(sizeof(Entry));
    if (held > m_budget && !m_entries.empty())
        m_runs.push_back(writeRun());
    const qsizetype offset = m_bytes.size();
    SortKeys::append(line, m_order, m_bytes);
    const qsizetype keyLength = m_bytes.size() - offset;
    m_bytes += line;
    m_entries.push_back({0, 0, offset, quint32(keyLength), quint32(line.size()), quint32(m_entries.size())});
}

// Sorts the run; answers how many bytes all its keys share.
qsizetype LineSorter::sortRun()
{
    if (m_entries.empty())
        return 0;
    const QByteArrayView first = keyOf(m_entries.front());
    qsizetype shared = first.size();
    for (const Entry &entry : m_entries)
        shared = qMin(shared, sharedLength(first, keyOf(entry)));
    // Each half on a thread of its own, then the two merged.
    const auto sortRange = [&](qsizetype from, qsizetype to) {
        sortFrom(m_entries.begin() + from, m_entries.begin() + to, shared);
        return true;
    };
    const qsizetype count = qsizetype(m_entries.size());
    if (inHalves(count, parallelFrom, sortRange).size() == 2) {
        for (Entry &entry : m_entries) {
            entry.high = wordAt(keyOf(entry), shared);
            entry.low = wordAt(keyOf(entry), shared + 8);
        }
        const auto precedes = [this, shared](const Entry &a, const Entry &b) {
            const int compared = compareKeys(keyOf(a), a.high, a.low, keyOf(b), b.high, b.low, shared);
            return compared != 0 ? compared < 0 : a.order < b.order;
        };
        std::inplace_merge(m_entries.begin(), m_entries.begin() + count / 2, m_entries.end(), precedes);
    }
    return shared;
}

// Sorts entries whose keys are alike up to offset by the sixteen bytes
// from there; those alike in these too and longer, by the next sixteen,
// and so on. Each entry's bytes are fetched once a round rather than at
// each comparison, which matters where many keys start alike (a domain
// first, the local part after it). Equal keys keep their order.
void LineSorter::sortFrom(EntryIterator begin, EntryIterator end, qsizetype offset) const
{
    for (auto entry = begin; entry != end; ++entry) {
        entry->high = wordAt(keyOf(*entry), offset);
        entry->low = wordAt(keyOf(*entry), offset + 8);
    }
    // A key that ends within the sixteen bytes comes before the longer
    // ones alike in them: its end is their start.
    const qsizetype next = offset + 16;
    const auto goesOn = [next](const Entry &entry) { return qsizetype(entry.keyLength) > next; };
    std::sort(begin, end, [&](const Entry &a, const Entry &b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        if (goesOn(a) != goesOn(b))
            return goesOn(b);
        if (!goesOn(a) && a.keyLength != b.keyLength)
            return a.keyLength < b.keyLength;
        return a.order < b.order;
    });
    for (auto group = begin; group != end;) {
        auto groupEnd = std::find_if(group + 1, end, [&](const Entry &entry) {
            return entry.high != group->high || entry.low != group->low || goesOn(entry) != goesOn(*group);
        });
        if (goesOn(*group) && groupEnd - group > 1)
            sortFrom(group, groupEnd, next);
        group = groupEnd;
    }
}

LineSorter::Run LineSorter::writeRun()
{
    const qsizetype shared = sortRun();
    const int fd = makeTemporaryFile();
    try {
        RunWriter writer(fd, m_order);
        for (const Entry &entry : m_entries)
            writer.write(keyOf(entry), lineOf(entry));
        writer.flush();
    } catch (...) {
        ::close(fd);
        throw;
    }
    Run run{fd, shared, keyOf(m_entries.front()).toByteArray()};
    m_bytes.truncate(0);
    m_entries.clear();
    return run;
}

void LineSorter::finish(const std::function<void(QByteArrayView)> &take)
{
    if (m_runs.empty()) {
        sortRun();
        for (const Entry &entry : m_entries)
            take(lineOf(entry));
        return;
    }
    if (!m_entries.empty())
        m_runs.push_back(writeRun());
    m_bytes = QByteArray();
    m_entries = {};
    // Runs beyond sixteen are merged first, the earliest lines into a run
    // that stays first, so that equal lines keep their order.
    while (m_runs.size() > fanIn) {
        const std::deque<Run> group(m_runs.begin(), m_runs.begin() + fanIn);
        Run merged{makeTemporaryFile(), 0, {}};
        try {
            RunWriter writer(merged.fd, m_order);
            mergeRuns(group, [&](QByteArrayView key, QByteArrayView line) { writer.write(key, line); });
            writer.flush();
        } catch (...) {
            ::close(merged.fd);
            throw;
        }
        merged.shared = group.front().shared;
        merged.firstKey = group.front().firstKey;
        for (const Run &run : group) {
            merged.shared = std::min({merged.shared, run.shared, sharedLength(merged.firstKey, run.firstKey)});
            ::close(run.fd);
        }
        m_runs.erase(m_runs.begin(), m_runs.begin() + fanIn);
        m_runs.push_front(merged);
    }
    mergeRuns(m_runs, [&take](QByteArrayView, QByteArrayView line) { take(line); });
}

// The lines of the runs, in order: among equal ones, the earlier run's first.
void LineSorter::mergeRuns(const std::deque<Run> &runs, const Merged &merged)
{
    qsizetype shared = runs.front().shared;
    for (const Run &run : runs)
        shared = std::min({shared, run.shared, sharedLength(runs.front().firstKey, run.firstKey)});
    std::vector<RunReader> readers;
    readers.reserve(runs.size());
    for (const Run &run : runs)
        readers.emplace_back(run.fd, m_order);
    const auto later = [&readers, shared](std::size_t a, std::size_t b) {
        const RunReader &x = readers[a];
        const RunReader &y = readers[b];
        const int compared = compareKeys(x.key(), x.high, x.low, y.key(), y.high, y.low, shared);
        return compared != 0 ? compared > 0 : a > b;
    };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> next(later);
    for (std::size_t run = 0; run < readers.size(); ++run)
        if (readers[run].next(shared))
            next.push(run);
    while (!next.empty()) {
        const std::size_t run = next.top();
        next.pop();
        merged(readers[run].key(), readers[run].line());
        if (readers[run].next(shared))
            next.push(run);
    }
}
