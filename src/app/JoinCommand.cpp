// kestrava --join: the window's line, or the tidied lines, on standard
// output, with errors told as the GNU tools tell them.
#include "app/JoinCommand.h"

#include "app/StandardStreams.h"
#include "core/Failure.h"
#include "core/FileAccess.h"
#include "core/LineBreaks.h"
#include "join/FileJoin.h"
#include "join/LineJoiner.h"
#include "join/ListTidying.h"
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
    if (!source.ordinary) {
        const std::optional<QByteArray> bytes = readWhole(path, source.fd, source.status.st_size);
        if (bytes)
            FileJoin::joinHeld(*bytes, join, write);
        return bytes.has_value();
    }
    try {
        FileJoin::joinOrdinaryFile(source.fd, source.status, join, write);
        return true;
    } catch (const Failure &failure) {
        complain(path, failure.description());
        return false;
    }
}

// Adds a source's lines, as "Load File" adds them, to the text; with
// skipEmpty, an empty file adds nothing instead of "empty file".
bool addLines(const QString &path, bool skipEmpty, QString &text)
{
    Source source;
    if (!open(path, source))
        return false;
    const std::optional<QByteArray> bytes = readWhole(path, source.fd, source.status.st_size);
    if (!bytes)
        return false;
    if (!(skipEmpty && bytes->isEmpty()))
        text += withCrLfLineBreaks(linesWithBreaks(listFileText(*bytes)));
    return true;
}

// The lines tidied as the options say, joined, so many items to a line.
void writeTidied(const QString &text, const JoinOptions &options, Output &output)
{
    using Operation = ListTidying::Operation;
    QList<QStringView> lines = LineJoiner::cutAtLineBreaks(text);
    const std::pair<bool, Operation> steps[] = {{options.trim, Operation::TrimSpaces},
                                                {options.skipEmpty, Operation::RemoveEmpty},
                                                {options.unique, Operation::RemoveDuplicates},
                                                {options.sort, Operation::Sort}};
    for (const auto &[wanted, operation] : steps)
        if (wanted)
            lines = ListTidying(lines).apply(operation);
    const qsizetype batch = options.batch > 0 ? options.batch : qMax<qsizetype>(1, lines.size());
    for (qsizetype from = 0; from < lines.size() || from == 0; from += batch) {
        QByteArray bytes = LineJoiner::joined(lines.mid(from, batch), options.separator).toUtf8() + '\n';
        output.append(bytes);
    }
}

} // namespace

int joinToStandardOutput(const QStringList &files, const JoinOptions &options)
{
    int status = 0;
    Output output;
    const QStringList paths = files.isEmpty() ? QStringList{QStringLiteral("-")} : files;
    if (options.isPlain()) {
        // Each file's part of the line ends with the comma for the line break
        // that loading adds after it: the line is written as it is made.
        StreamingJoin join;
        for (const QString &path : paths) {
            try {
                if (!joinSource(path, join, output))
                    status = 1;
            } catch (const std::bad_alloc &) {
                complain(path, QStringLiteral("Out of memory"));
                status = 1;
            }
        }
        QByteArray end("\n");
        output.append(end);
    } else {
        QString text;
        for (const QString &path : paths) {
            try {
                if (!addLines(path, options.skipEmpty, text))
                    status = 1;
            } catch (const std::bad_alloc &) {
                complain(path, QStringLiteral("Out of memory"));
                status = 1;
            }
        }
        try {
            writeTidied(text, options, output);
        } catch (const std::bad_alloc &) {
            std::fprintf(stderr, "kestrava: Out of memory\n");
            return 1;
        }
    }
    output.flush();
    return status;
}
