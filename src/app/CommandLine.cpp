#include "app/CommandLine.h"

#include "app/StandardStreams.h"
#include "join/StreamingJoin.h"

#include <QCommandLineParser>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString joinOption = QStringLiteral("join");

// Options Qt takes for itself when the window is made.
const QStringList qtOptions = {
    QStringLiteral("platform"),   QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),     QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowtitle"),
    QStringLiteral("qwindowicon"), QStringLiteral("reverse"),           QStringLiteral("stylesheet"),
    QStringLiteral("style"),      QStringLiteral("session"),            QStringLiteral("widgetcount"),
    QStringLiteral("display"),    QStringLiteral("geometry"),           QStringLiteral("name"),
    QStringLiteral("title"),      QStringLiteral("visual"),             QStringLiteral("ncols"),
    QStringLiteral("cmap"),       QStringLiteral("nograb"),             QStringLiteral("dograb"),
    QStringLiteral("sync"),       QStringLiteral("dialogs"),            QStringLiteral("fontengine"),
    QStringLiteral("qmljsdebugger"),
};

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
        if (wasClosedAtStart(STDOUT_FILENO))
            fail(EBADF);
        for (qsizetype written = 0; written < m_pending.size();) {
            const ssize_t count = ::write(STDOUT_FILENO, m_pending.constData() + written,
                                          size_t(m_pending.size() - written));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                fail(count < 0 ? errno : ENOSPC);
            written += count;
        }
        m_pending.clear();
    }

private:
    [[noreturn]] static void fail(int code)
    {
        std::fprintf(stderr, "kestrava: write error: %s\n", std::strerror(code));
        std::exit(1);
    }

    QByteArray m_pending;
};

// Reads until the buffer is full or the file ends; answers how much, or -1.
qsizetype readFull(int fd, QByteArray &buffer)
{
    qsizetype filled = 0;
    while (filled < buffer.size()) {
        const ssize_t count = ::read(fd, buffer.data() + filled, size_t(buffer.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += count;
    }
    return filled;
}

// Reads, or reads again, a file a block at a time, handing each to a step.
class Blocks
{
public:
    static constexpr qsizetype size = 4 << 20;

    explicit Blocks(int fd) : m_fd(fd), m_block(size, Qt::Uninitialized) {}

    // False when a read fails (errno tells why).
    template<typename Step>
    bool each(Step step)
    {
        for (;;) {
            const qsizetype count = readFull(m_fd, m_block);
            if (count < 0)
                return false;
            if (!step(QByteArrayView(m_block).first(count)) || count < size)
                return true;
        }
    }

private:
    int m_fd;
    QByteArray m_block;
};

// A file whose end may come in one block, or a pipe: read whole.
bool joinHeld(const QByteArray &bytes, StreamingJoin &join, Output &output)
{
    StreamingJoin::Utf8Check check;
    check.feed(bytes);
    QByteArray converted;
    join.startFile(StreamingJoin::encodingOf(bytes, check.isValid()));
    join.feed(bytes, converted);
    join.finishFile(converted);
    output.append(converted);
    return true;
}

// An ordinary file, in two passes: one to see whether it is UTF-8, one to
// write it; never more than a block held.
bool joinStreamed(const QString &path, int fd, StreamingJoin &join, Output &output)
{
    Blocks blocks(fd);
    QByteArray first;
    StreamingJoin::Utf8Check check;
    bool whole = false;
    const bool read = blocks.each([&](QByteArrayView block) {
        if (first.isNull()) {
            first = block.first(qMin<qsizetype>(block.size(), 4)).toByteArray();
            whole = block.size() < Blocks::size;
            if (whole)
                first = block.toByteArray();
        }
        check.feed(block);
        // UTF-16 needs no check; the first byte that is no UTF-8 settles it.
        return !first.startsWith("\xFF\xFE") && !first.startsWith("\xFE\xFF") && check.isValid();
    });
    if (!read) {
        complain(path, describeErrno(errno));
        return false;
    }
    if (whole || first.isEmpty())
        return joinHeld(first, join, output);
    join.startFile(StreamingJoin::encodingOf(first, check.isValid()));
    QByteArray converted;
    if (::lseek(fd, 0, SEEK_SET) != 0 || !blocks.each([&](QByteArrayView block) {
            join.feed(block, converted);
            output.append(converted);
            return true;
        })) {
        complain(path, describeErrno(errno));
        return false;
    }
    join.finishFile(converted);
    output.append(converted);
    return true;
}

// Standard input, a pipe or a device: read whole, since it cannot be read twice.
bool joinUnseekable(const QString &path, int fd, StreamingJoin &join, Output &output)
{
    QByteArray bytes;
    QByteArray block(Blocks::size, Qt::Uninitialized);
    for (qsizetype count = 0; (count = readFull(fd, block)) != 0;) {
        if (count < 0) {
            complain(path, describeErrno(errno));
            return false;
        }
        bytes += QByteArrayView(block).first(count);
    }
    return joinHeld(bytes, join, output);
}

bool joinSource(const QString &path, StreamingJoin &join, Output &output)
{
    if (path == u"-") {
        if (wasClosedAtStart(STDIN_FILENO)) {
            complain(path, describeErrno(EBADF));
            return false;
        }
        return joinUnseekable(path, STDIN_FILENO, join, output);
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP;
        complain(path, missing ? QStringLiteral("File not found") : describeErrno(errno));
        return false;
    }
    struct stat status {};
    bool joined = false;
    if (::fstat(fd, &status) != 0)
        complain(path, describeErrno(errno));
    else if (S_ISDIR(status.st_mode))
        complain(path, describeErrno(EISDIR));
    else if (S_ISREG(status.st_mode))
        joined = joinStreamed(path, fd, join, output);
    else
        joined = joinUnseekable(path, fd, join, output);
    ::close(fd);
    return joined;
}

} // namespace

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Joins lists of items, one per line, into one comma-delimited line.\n"
                       "Without --join, opens the window with the files loaded into the input."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({joinOption, QStringLiteral("Print the joined line of the files to standard output; "
                                                 "no file, or -, reads standard input.")});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("List files to load."),
                                 QStringLiteral("[FILE...]"));
}

Request readArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    describeOptions(parser);
    if (!parser.parse(arguments)) {
        QStringList unknown = parser.unknownOptionNames();
        unknown.removeIf([](const QString &name) { return qtOptions.contains(name); });
        if (!unknown.isEmpty())
            return {Request::Wrong, QStringLiteral("unknown option '%1'").arg(unknown.first())};
        if (parser.unknownOptionNames().isEmpty())
            return {Request::Wrong, parser.errorText()};
    }
    const bool noWindow = parser.isSet(joinOption) || parser.isSet(QStringLiteral("help"))
                          || parser.isSet(QStringLiteral("help-all")) || parser.isSet(QStringLiteral("version"));
    return {noWindow ? Request::NoWindow : Request::Window, {}};
}

// Each file's part of the line ends with the comma for the line break that
// loading adds after it, so the line is written file by file as it is made.
int joinToStandardOutput(const QStringList &files)
{
    int status = 0;
    Output output;
    StreamingJoin join;
    for (const QString &path : files.isEmpty() ? QStringList{QStringLiteral("-")} : files) {
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
    output.flush();
    return status;
}
