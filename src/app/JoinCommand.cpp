// kestrava --join: the window's line, or the tidied lines, on standard
// output, with errors told as the GNU tools tell them.
#include "app/JoinCommand.h"

#include "app/BatchComposer.h"
#include "app/StandardStreams.h"
#include "core/Failure.h"
#include "core/FileAccess.h"
#include "join/ContactFiles.h"
#include "join/FileJoin.h"
#include "join/LineDecoder.h"
#include "join/ListCommand.h"
#include "join/ListedAddresses.h"
#include "join/StreamingJoin.h"

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
    // Lines are handed to the composer instead, each once it is whole.
    void composeWith(BatchComposer *composer) { m_composer = composer; }

    void append(QByteArray &bytes)
    {
        m_pending += bytes;
        bytes.clear();
        if (m_composer)
            handOnLines();
        else if (m_pending.size() >= (1 << 20))
            flush();
    }

    void flush()
    {
        if (m_composer) {
            handOnLines();
            if (!m_pending.isEmpty())
                m_composer->take(std::exchange(m_pending, {}));
            return;
        }
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
    void handOnLines()
    {
        qsizetype start = 0;
        for (qsizetype end; (end = m_pending.indexOf('\n', start)) >= 0; start = end + 1)
            m_composer->take(QByteArrayView(m_pending).sliced(start, end - start));
        m_pending.remove(0, start);
    }

    QByteArray m_pending;
    BatchComposer *m_composer = nullptr;
};

// The lines removed, written to the --report file as they come, a block at
// a time. Trouble with the file is told once and makes
// the run fail; the join goes on.
class ReportFile
{
public:
    explicit ReportFile(const QString &path) : m_path(path)
    {
        m_file = std::fopen(QFile::encodeName(path).constData(), "we");
        if (!m_file)
            fail(errno);
    }
    ~ReportFile()
    {
        if (m_file)
            std::fclose(m_file);
    }
    void write(QByteArrayView lines)
    {
        if (m_file && std::fwrite(lines.data(), 1, size_t(lines.size()), m_file) != size_t(lines.size()))
            fail(errno);
    }
    // Closes the file; answers whether all of it was written.
    bool close()
    {
        if (m_file && std::fclose(std::exchange(m_file, nullptr)) != 0)
            fail(errno);
        return !m_failed;
    }

private:
    void fail(int code)
    {
        if (!m_failed)
            complain(m_path, describeErrno(code));
        m_failed = true;
        if (m_file)
            std::fclose(std::exchange(m_file, nullptr));
    }

    QString m_path;
    std::FILE *m_file = nullptr;
    bool m_failed = false;
};

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

// Runs a read of a source, telling trouble against its name; answers
// whether there was none.
template<typename Read>
bool reading(const QString &path, Read read)
{
    try {
        return read();
    } catch (const Failure &failure) {
        complain(path, failure.description());
    } catch (const std::bad_alloc &) {
        complain(path, QStringLiteral("Out of memory"));
    }
    return false;
}

// A source's lines as "Load File" puts them in the input, handed to take
// as they are read: an ordinary file a block at a time, any other source
// whole. With skipEmptyFile, an empty file gives nothing instead of "empty
// file".
bool readSource(const QString &path, bool skipEmptyFile, const LineDecoder::Take &take)
{
    return reading(path, [&] {
        Source source;
        if (!open(path, source))
            return false;
        LineDecoder decoder(take, skipEmptyFile);
        if (source.ordinary)
            FileJoin::readOrdinaryFile(source.fd, source.status, decoder);
        else
            FileJoin::readHeld(readToEnd(source.fd, source.status.st_size), decoder);
        return true;
    });
}

// The named addresses of an address book or of mail, handed to take.
bool readContacts(const QString &path, ContactFiles::Kind kind, const LineDecoder::Take &take)
{
    return reading(path, [&] {
        ContactFiles::read(path, kind, take);
        return true;
    });
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

// The sources' lines through the options, read and written a block at a
// time; lines that are no address told as FILE:LINE: REASON: TEXT, and
// warnings as FILE:LINE: warning: REASON: TEXT.
int joinWithOptions(const QStringList &paths, const ListCommand::Options &options, Output &output,
                    ReportFile *report)
{
    int status = 0;
    try {
        ListedAddresses excluded;
        for (const QString &path : options.exclude) {
            if (&path != &options.exclude.front())
                excluded.nextList();
            if (!readSource(path, true, [&excluded](const QList<QByteArrayView> &lines) {
                    for (const QByteArrayView line : lines)
                        excluded.addLine(line);
                }))
                status = 1;
        }
        excluded.finish();
        const auto tell = [&status, &options](const ListCommand::NotAnAddress &line) {
            std::fprintf(stderr, "%s:%lld: %s%s: %s\n", qPrintable(line.name), static_cast<long long>(line.line),
                         line.warning ? "warning: " : "", qPrintable(line.reason), qPrintable(line.text));
            if (!line.warning || options.strict)
                status = 1;
        };
        const auto removed = [report](QByteArrayView lines) { report->write(lines); };
        ListCommand::Run run(options, options.exclude.isEmpty() ? nullptr : &excluded,
                             {[&output](QByteArray &bytes) { output.append(bytes); }, tell, removed});
        const bool contacts = options.extract || options.exportAs;
        for (const QString &path : paths) {
            const ContactFiles::Kind kind = contacts && path != u"-" ? ContactFiles::kindOf(path) : ContactFiles::Kind::List;
            run.startSource(path, kind != ContactFiles::Kind::List);
            const LineDecoder::Take take = [&run](const QList<QByteArrayView> &lines) { run.take(lines); };
            if (!(kind == ContactFiles::Kind::List ? readSource(path, options.skipEmpty, take) : readContacts(path, kind, take)))
                status = 1;
            run.endSource();
        }
        run.finish();
        if (run.leftOut() > 0)
            std::fprintf(stderr, "kestrava: %lld %s left out\n", static_cast<long long>(run.leftOut()),
                         run.leftOut() == 1 ? "line that is no address" : "lines that are no address");
    } catch (const Failure &failure) {
        std::fprintf(stderr, "kestrava: %s\n", qPrintable(failure.description()));
        return 1;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "kestrava: Out of memory\n");
        return 1;
    }
    return status;
}

} // namespace

int joinToStandardOutput(const QStringList &files, const ListCommand::Options &options,
                         std::optional<MailtoLinks::Field> compose, const QString &reportPath)
{
    std::optional<ReportFile> report;
    if (options.report)
        report.emplace(reportPath);
    Output output;
    std::optional<BatchComposer> composer;
    if (compose)
        output.composeWith(&composer.emplace(*compose));
    const QStringList paths = files.isEmpty() ? QStringList{QStringLiteral("-")} : files;
    const int status = options.isPlain() ? joinPlainly(paths, output)
                                         : joinWithOptions(paths, options, output, report ? &*report : nullptr);
    output.flush();
    const bool reported = !report || report->close();
    return (composer && composer->failed()) || !reported ? 1 : status;
}
