// kestrava --join: the window's line, or the tidied lines, on standard
// output, with errors told as the GNU tools tell them.
#include "app/JoinCommand.h"

#include "app/StandardStreams.h"
#include "core/Failure.h"
#include "core/FileAccess.h"
#include "core/LineBreaks.h"
#include "join/FileJoin.h"
#include "join/ListCommand.h"
#include "join/StreamingJoin.h"
#include "listfiles/TextFiles.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void complain(const QString &path, const QString &description)
{
    std::fprintf(stderr, "kestrava: %s: %s\n", qPrintable(path), qPrintable(description));
}

QString describeErrno(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Standard output, a megabyte at a time. A write that fails is told and ends
// the program at once, as the GNU tools do; a closed output fails too.
class Output
{
public:
    void append(QByteArray &bytes)
    {
        m_pending += bytes;
        bytes.clear();
        if (m_pending.size() >= (1 << 20))
            flush();
    }

    void flush()
    {
        try {
            if (wasClosedAtStart(STDOUT_FILENO))
                throw Failure(describeErrno(EBADF));
            writeAll(STDOUT_FILENO, m_pending);
        } catch (const Failure &failure) {
            std::fprintf(stderr, "kestrava: write error: %s\n", qPrintable(failure.description()));
            std::exit(1);
        }
        m_pending.clear();
    }

private:
    QByteArray m_pending;
};

// Standard input, a pipe or a device, or a file for tidying: read whole.
std::optional<QByteArray> readWhole(const QString &path, int fd, off_t sizeHint)
{
    try {
        return readToEnd(fd, sizeHint);
    } catch (const Failure &failure) {
        complain(path, failure.description());
        return std::nullopt;
    }
}

// A source to read: the descriptor, and whether it is an ordinary file (which
// can be read twice); nothing, once told, when it cannot be read.
struct Source
{
    int fd = -1;
    bool ordinary = false;
    struct stat status {};
    ~Source()
    {
        if (fd > STDERR_FILENO)
            ::close(fd);
    }
};

bool open(const QString &path, Source &source)
{
    if (path == u"-") {
        if (wasClosedAtStart(STDIN_FILENO)) {
            complain(path, describeErrno(EBADF));
            return false;
        }
        source.fd = STDIN_FILENO;
        return true;
    }
    source.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (source.fd < 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP;
        complain(path, missing ? QStringLiteral("File not found") : describeErrno(errno));
        return false;
    }
    if (::fstat(source.fd, &source.status) != 0) {
        complain(path, describeErrno(errno));
        return false;
    }
    if (S_ISDIR(source.status.st_mode)) {
        complain(path, describeErrno(EISDIR));
        return false;
    }
    source.ordinary = S_ISREG(source.status.st_mode);
    return true;
}

bool joinSource(const QString &path, StreamingJoin &join, Output &output)
{
    Source source;
    if (!open(path, source))
        return false;
    const FileJoin::Writer write = [&output](QByteArray &bytes) { output.append(bytes); };
    if (source.ordinary)
        FileJoin::joinOrdinaryFile(source.fd, source.status, join, write);
    else
        FileJoin::joinHeld(readToEnd(source.fd, source.status.st_size), join, write);
    return true;
}

// A source's lines as "Load File" puts them in the input; with skipEmpty,
// an empty file gives nothing instead of "empty file".
std::optional<ListCommand::Source> readSource(const QString &path, bool skipEmpty)
{
    Source source;
    if (!open(path, source))
        return std::nullopt;
    const std::optional<QByteArray> bytes = readWhole(path, source.fd, source.status.st_size);
    if (!bytes)
        return std::nullopt;
    if (skipEmpty && bytes->isEmpty())
        return ListCommand::Source{path, QString()};
    return ListCommand::Source{path, withCrLfLineBreaks(linesWithBreaks(listFileText(*bytes)))};
}

// Every source joined as the window joins it, written as it is made.
int joinPlainly(const QStringList &paths, Output &output)
{
    int status = 0;
    StreamingJoin join;
    for (const QString &path : paths) {
        try {
            if (!joinSource(path, join, output))
                status = 1;
        } catch (const Failure &failure) {
            complain(path, failure.description());
            status = 1;
        } catch (const std::bad_alloc &) {
            complain(path, QStringLiteral("Out of memory"));
            status = 1;
        }
    }
    QByteArray end("\n");
    output.append(end);
    return status;
}

// The sources read whole, and the lines the options leave written; lines
// that are no address told as FILE:LINE: REASON: TEXT.
int joinWithOptions(const QStringList &paths, const ListCommand::Options &options, Output &output)
{
    int status = 0;
    QList<ListCommand::Source> sources;
    QStringList excludedKeys;
    const auto read = [&](const QString &path, bool skipEmpty) {
        try {
            std::optional<ListCommand::Source> source = readSource(path, skipEmpty);
            if (!source)
                status = 1;
            return source;
        } catch (const std::bad_alloc &) {
            complain(path, QStringLiteral("Out of memory"));
            status = 1;
            return std::optional<ListCommand::Source>();
        }
    };
    for (const QString &path : paths)
        if (std::optional<ListCommand::Source> source = read(path, options.skipEmpty))
            sources << *std::move(source);
    try {
        for (const QString &path : options.exclude)
            if (const std::optional<ListCommand::Source> listed = read(path, true))
                excludedKeys << ListCommand::addressKeysIn(listed->text);
        ListCommand::Result result = ListCommand::run(sources, excludedKeys, options);
        for (const ListCommand::NotAnAddress &line : std::as_const(result.notAddresses))
            std::fprintf(stderr, "%s:%lld: %s: %s\n", qPrintable(line.name), static_cast<long long>(line.line),
                         qPrintable(line.reason), qPrintable(line.text));
        if (!result.notAddresses.isEmpty())
            status = 1;
        for (QByteArray &line : result.lines)
            output.append(line);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "kestrava: Out of memory\n");
        return 1;
    }
    return status;
}

} // namespace

int joinToStandardOutput(const QStringList &files, const ListCommand::Options &options)
{
    Output output;
    const QStringList paths = files.isEmpty() ? QStringList{QStringLiteral("-")} : files;
    const int status = options.isPlain() ? joinPlainly(paths, output) : joinWithOptions(paths, options, output);
    output.flush();
    return status;
}
