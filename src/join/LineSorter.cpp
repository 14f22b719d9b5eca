#include "join/LineSorter.h"

#include "core/Blanks.h"
#include "core/Failure.h"
#include "core/FileAccess.h"
#include "join/LineKeys.h"

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
constexpr qsizetype bufferSize = 1 << 20;

quint64 prefixOf(QStringView key)
{
    quint64 units = 0;
    for (qsizetype i = 0; i < 4; ++i)
        units = units << 16 | (i < key.size() ? LineKeys::rank(LineKeys::foldedAt(key, i)) : 0);
    return units;
}

bool precedes(QStringView a, QStringView b)
{
    return LineKeys::precedes(Blanks::trimmed(a), Blanks::trimmed(b));
}

Failure temporaryFailure(const char *what, const QString &description)
{
    return Failure(QStringLiteral("cannot %1 a temporary file in %2: %3")
                       .arg(QLatin1String(what), LineSorter::temporaryFolder(), description));
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

// A run written to its file: each line's length in UTF-16 units, then its
// units.
class RunWriter
{
public:
    explicit RunWriter(int fd) : m_fd(fd) { m_buffer.reserve(bufferSize + 64); }

    void write(QStringView line)
    {
        const quint32 length = quint32(line.size());
        m_buffer.append(reinterpret_cast<const char *>(&length), sizeof length);
        m_buffer.append(reinterpret_cast<const char *>(line.utf16()), line.size() * 2);
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
        m_buffer.clear();
    }

private:
    int m_fd;
    QByteArray m_buffer;
};

class RunReader
{
public:
    explicit RunReader(int fd) : m_fd(fd), m_buffer(bufferSize, Qt::Uninitialized)
    {
        if (::lseek(fd, 0, SEEK_SET) != 0)
            throw temporaryFailure("read", QString::fromLocal8Bit(std::strerror(errno)));
    }

    // The next line, or false at the end of the run.
    bool next()
    {
        quint32 length = 0;
        if (!read(reinterpret_cast<char *>(&length), sizeof length, true))
            return false;
        m_line.resize(length);
        read(reinterpret_cast<char *>(m_line.data()), qsizetype(length) * 2, false);
        return true;
    }
    QStringView line() const { return m_line; }

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
    QByteArray m_buffer;
    qsizetype m_at = 0;
    qsizetype m_filled = 0;
    QString m_line;
};

} // namespace

LineSorter::LineSorter(qsizetype budget) : m_budget(budget) {}

LineSorter::~LineSorter()
{
    for (const int fd : m_runs)
        ::close(fd);
}

QString LineSorter::temporaryFolder()
{
    const QString folder = qEnvironmentVariable("TMPDIR");
    return folder.isEmpty() ? QStringLiteral("/tmp") : folder;
}

void LineSorter::add(QStringView line)
{
    const qsizetype held = (m_text.size() + line.size()) * 2 + qsizetype(m_entries.size() + 1) * qsizetype(sizeof(Entry));
    if (held > m_budget && !m_entries.empty()) {
        sortRun();
        m_runs.push_back(writeRun());
    }
    m_entries.push_back({prefixOf(Blanks::trimmed(line)), m_text.size(), quint32(line.size()), quint32(m_entries.size())});
    m_text += line;
}

void LineSorter::sortRun()
{
    const auto view = [this](const Entry &entry) { return QStringView(m_text).sliced(entry.offset, entry.length); };
    std::sort(m_entries.begin(), m_entries.end(), [&](const Entry &a, const Entry &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const QStringView lineA = view(a);
        const QStringView lineB = view(b);
        if (precedes(lineA, lineB))
            return true;
        return !precedes(lineB, lineA) && a.order < b.order;
    });
}

int LineSorter::writeRun()
{
    const int fd = makeTemporaryFile();
    try {
        RunWriter writer(fd);
        for (const Entry &entry : m_entries)
            writer.write(QStringView(m_text).sliced(entry.offset, entry.length));
        writer.flush();
    } catch (...) {
        ::close(fd);
        throw;
    }
    m_text.clear();
    m_entries.clear();
    return fd;
}

void LineSorter::finish(const std::function<void(QStringView)> &take)
{
    sortRun();
    if (m_runs.empty()) {
        for (const Entry &entry : m_entries)
            take(QStringView(m_text).sliced(entry.offset, entry.length));
        return;
    }
    if (!m_entries.empty())
        m_runs.push_back(writeRun());
    m_text = QString();
    m_entries = {};
    // Runs beyond sixteen are merged first, the earliest lines into a run
    // that stays first, so that equal lines keep their order.
    while (m_runs.size() > fanIn) {
        std::deque<int> group(m_runs.begin(), m_runs.begin() + fanIn);
        const int fd = makeTemporaryFile();
        try {
            RunWriter writer(fd);
            mergeRuns(group, [&writer](QStringView line) { writer.write(line); });
            writer.flush();
        } catch (...) {
            ::close(fd);
            throw;
        }
        for (const int merged : group)
            ::close(merged);
        m_runs.erase(m_runs.begin(), m_runs.begin() + fanIn);
        m_runs.push_front(fd);
    }
    mergeRuns(m_runs, take);
}

// The lines of the runs, in order: among equal ones, the earlier run's first.
void LineSorter::mergeRuns(std::deque<int> runs, const std::function<void(QStringView)> &take)
{
    std::vector<RunReader> readers;
    readers.reserve(runs.size());
    for (const int fd : runs)
        readers.emplace_back(fd);
    const auto later = [&readers](std::size_t a, std::size_t b) {
        if (precedes(readers[b].line(), readers[a].line()))
            return true;
        return !precedes(readers[a].line(), readers[b].line()) && b < a;
    };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> next(later);
    for (std::size_t run = 0; run < readers.size(); ++run)
        if (readers[run].next())
            next.push(run);
    while (!next.empty()) {
        const std::size_t run = next.top();
        next.pop();
        take(readers[run].line());
        if (readers[run].next())
            next.push(run);
    }
}
