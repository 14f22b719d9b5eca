// kestrava --join: the window's line, or the tidied lines, on standard
// output, with errors told as the GNU tools tell them.
#include "app/JoinCommand.h"

#include "app/BatchComposer.h"
#include "app/ReportFile.h"
#include "addresses/AllowedAddresses.h"
#include "app/StandardStreams.h"
#include "core/Failure.h"
#include "core/FileAccess.h"
#include "reading/BinaryFiles.h"
#include "reading/ContactFiles.h"
#include "reading/FileJoin.h"
#include "reading/LineDecoder.h"
#include "options/ListCommand.h"
#include "options/ListedAddresses.h"
#include "reading/StreamingJoin.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
            std::exit(ExitStatus::trouble);
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

// An ordinary file whose start shows it is no list is refused by name; a
// list compressed with gzip is read decompressed, from a temporary file.
bool readsAsText(const QString &path, Source &source)
{
    for (;;) {
        QByteArray start(BinaryFiles::lookedAt, Qt::Uninitialized);
        const ssize_t count = ::pread(source.fd, start.data(), size_t(start.size()), 0);
        if (count < 0) {
            complain(path, describeErrno(errno));
            return false;
        }
        start.truncate(count);
        const QString kind = BinaryFiles::kindOf(start);
        if (!kind.isEmpty()) {
            complain(path, QStringLiteral("not a text file (%1)").arg(kind));
            return false;
        }
        if (!BinaryFiles::isGzip(start))
            return true;
        // Decompressed, it is looked at again.
        const int decompressed = BinaryFiles::gunzipToTemporaryFile(source.fd);
        ::close(std::exchange(source.fd, decompressed));
        if (::fstat(source.fd, &source.status) != 0) {
            complain(path, describeErrno(errno));
            return false;
        }
    }
}

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
    return !source.ordinary || readsAsText(path, source);
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
// whether there was none. Running out of memory is the source's fault
// unless the lines are being remembered: then it goes on to end the run.
template<typename Read>
bool reading(const QString &path, bool remembering, Read read)
{
    try {
        return read();
    } catch (const Failure &failure) {
        complain(path, failure.description());
    } catch (const std::bad_alloc &) {
        if (remembering)
            throw;
        complain(path, QStringLiteral("Out of memory"));
    }
    return false;
}

// A source's lines as "Load File" puts them in the input, handed to take
// as they are read: an ordinary file a block at a time, any other source
// whole. With skipEmptyFile, an empty file gives nothing instead of "empty
// file".
bool readSource(const QString &path, bool skipEmptyFile, const LineDecoder::Take &take,
                const LineDecoder::TakePiece &takePiece, const std::function<void()> &afterLastBreak = {},
                bool remembering = false)
{
    return reading(path, remembering, [&] {
        Source source;
        if (!open(path, source))
            return false;
        LineDecoder decoder(take, skipEmptyFile);
        decoder.handOnLongLines(LineDecoder::longestHeldLine, takePiece);
        decoder.handOnAfterLastBreak(afterLastBreak);
        if (source.ordinary)
            FileJoin::readOrdinaryFile(source.fd, source.status, decoder, 1 << 20);
        else
            FileJoin::readHeld(readToEnd(source.fd, source.status.st_size), decoder);
        return true;
    });
}

// The named addresses of an address book or of mail, handed to take; a
// message of a Maildir that cannot be read is told, and makes the answer
// false, the others being read.
bool readContacts(const QString &path, ContactFiles::Kind kind, const LineDecoder::Take &take, bool remembering)
{
    bool whole = true;
    const bool read = reading(path, remembering, [&] {
        ContactFiles::read(path, kind, take, [&whole](const QString &entry, const QString &why) {
            complain(entry, why);
            whole = false;
        });
        return true;
    });
    return read && whole;
}

// Every source joined as the window joins it, written as it is made.
int joinPlainly(const QStringList &paths, Output &output)
{
    int status = ExitStatus::allWell;
    StreamingJoin join;
    for (const QString &path : paths) {
        try {
            if (!joinSource(path, join, output))
                status = ExitStatus::trouble;
        } catch (const Failure &failure) {
            complain(path, failure.description());
            status = ExitStatus::trouble;
        } catch (const std::bad_alloc &) {
            complain(path, QStringLiteral("Out of memory"));
            status = ExitStatus::trouble;
        }
    }
    QByteArray end("\n");
    output.append(end);
    return status;
}

// How far looking up domains has come, on a terminal: a line that is
// written over, and cleared at the end.
void tellLookingUp(qsizetype answered, qsizetype asked)
{
    if (!isatty(STDERR_FILENO))
        return;
    if (answered < asked)
        std::fprintf(stderr, "\rkestrava: looking up domains: %lld of %lld", static_cast<long long>(answered),
                     static_cast<long long>(asked));
    else
        std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
}

// A failure inside the options' chain, carried past the reading of the
// source that was being read when it came.
struct RunFailed
{
    std::exception_ptr cause;
};

// Tells why the run ends before its end: its temporary files, or memory,
// which the lines --unique and --sort keep take where they are asked for.
int tellRunFailure(const std::exception_ptr &cause, bool remembering)
{
    try {
        std::rethrow_exception(cause);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "kestrava: %s\n", qPrintable(failure.description()));
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "kestrava: out of memory%s\n",
                     remembering ? ": the lines --unique and --sort keep do not fit" : "");
    } catch (...) {
        std::fprintf(stderr, "kestrava: the run failed\n");
    }
    return ExitStatus::trouble;
}

// The recipients mail reports failed for good, each once, to found;
// false when the mail, or a message of it, cannot be read (it is told).
bool readBounced(const QString &path, const BounceReader::Found &found)
{
    bool whole = true;
    try {
        const ContactFiles::Kind kind = ContactFiles::kindOf(path);
        ContactFiles::readBounces(path, ContactFiles::isMail(kind) ? kind : ContactFiles::Kind::Message, found,
                                  [&whole](const QString &entry, const QString &why) {
                                      complain(entry, why);
                                      whole = false;
                                  });
    } catch (const Failure &failure) {
        complain(path, failure.description());
        return false;
    }
    return whole;
}

// Every --exclude list, read before anything is written; false, when one
// cannot be (it is named). Mail lists the recipients it reports failed.
bool readListed(const QString &path, ListedAddresses &listed)
{
    if (ContactFiles::isMail(ContactFiles::kindOf(path)))
        return readBounced(path, [&listed](const BounceReader::Failed &failed) { listed.addLine(failed.address.toUtf8()); });
    // A line too long to be an address lists none.
    const auto add = [&listed](const QList<QByteArrayView> &lines) {
        for (const QByteArrayView line : lines)
            listed.addLine(line);
    };
    return readSource(path, true, add, [](QByteArrayView, bool) {});
}

bool readExcluded(const QStringList &lists, ListedAddresses &excluded)
{
    for (const QString &path : lists) {
        if (&path != &lists.front())
            excluded.nextList();
        if (!readListed(path, excluded))
            return false;
    }
    excluded.finish();
    return true;
}

// Every --only list, each a set of its own, read as --exclude lists are.
bool readRequired(const QStringList &lists, bool sameMailbox, RequiredLists &required)
{
    for (const QString &path : lists) {
        auto listed = std::make_shared<ListedAddresses>(sameMailbox);
        if (!readListed(path, *listed))
            return false;
        listed->finish();
        required.push_back(std::move(listed));
    }
    return true;
}

// The sources' lines through the options, read and written a block at a
// time; lines that are no address told as FILE:LINE: REASON: TEXT, and
// warnings as FILE:LINE: warning: REASON: TEXT. trouble: whether a source
// could not be read or the run failed (rather than lines being told).
int joinWithOptions(const QStringList &paths, const ListCommand::Options &options, const ListedAddresses &excluded,
                    const RequiredLists &only, Output &output, ReportFile *report, bool &trouble)
{
    int status = ExitStatus::allWell;
    try {
        const auto tell = [&status, &options](const ListCommand::NotAnAddress &line) {
            std::fprintf(stderr, "%s:%lld: %s%s: %s\n", qPrintable(line.name), static_cast<long long>(line.line),
                         line.warning ? "warning: " : "", qPrintable(line.reason), qPrintable(line.text));
            if (!line.warning || options.strict)
                status = ExitStatus::badLines;
        };
        const auto removed = [report](QByteArrayView lines) { report->write(lines); };
        ListCommand::Run run(options, options.exclude.isEmpty() ? nullptr : &excluded, only,
                             {[&output](QByteArray &bytes) { output.append(bytes); }, tell, removed, tellLookingUp});
        const bool contacts = options.extract || options.exportAs;
        const bool remembering = options.unique || options.sort;
        for (const QString &path : paths) {
            const ContactFiles::Kind kind = contacts && path != u"-" ? ContactFiles::kindOf(path) : ContactFiles::Kind::List;
            run.startSource(path, kind != ContactFiles::Kind::List);
            // A failure of the options' own work (sorting's temporary files,
            // memory for --unique) ends the run; it is no fault of the source.
            const auto failingTheRun = [](const auto &step) {
                try {
                    step();
                } catch (...) {
                    throw RunFailed{std::current_exception()};
                }
            };
            const LineDecoder::Take take = [&](const QList<QByteArrayView> &lines) {
                failingTheRun([&] { run.take(lines); });
            };
            const LineDecoder::TakePiece takePiece = [&](QByteArrayView piece, bool last) {
                failingTheRun([&] { run.takePiece(piece, last); });
            };
            const auto afterLastBreak = [&] { failingTheRun([&] { run.takeAfterLastBreak(); }); };
            const bool read = kind == ContactFiles::Kind::List
                                  ? readSource(path, options.skipEmpty, take, takePiece, afterLastBreak, remembering)
                                  : readContacts(path, kind, take, remembering);
            if (!read)
                trouble = true;
            run.endSource();
        }
        run.finish();
        if (run.leftOut() > 0)
            std::fprintf(stderr, "kestrava: %lld %s left out\n", static_cast<long long>(run.leftOut()),
                         run.leftOut() == 1 ? "line that is no address" : "lines that are no address");
    } catch (const RunFailed &failed) {
        trouble = true;
        return tellRunFailure(failed.cause, options.unique || options.sort);
    } catch (...) {
        trouble = true;
        return tellRunFailure(std::current_exception(), options.unique || options.sort);
    }
    return trouble ? ExitStatus::trouble : status;
}

// The files --allow names join the user's own: one that cannot be read is
// told, and nothing is done.
bool readAllowed(const QStringList &files)
{
    for (const QString &path : files) {
        try {
            if (!QFileInfo::exists(path))
                throw Failure(QStringLiteral("File not found"));
            AllowedAddresses::shared().addFile(path);
        } catch (const Failure &failure) {
            complain(path, failure.description());
            return false;
        }
    }
    return true;
}

} // namespace

int listBounced(const QStringList &files, const QString &reportPath)
{
    if (files.isEmpty()) {
        std::fprintf(stderr, "kestrava: --bounced reads mail files or Maildir folders: name them\n");
        return ExitStatus::trouble;
    }
    std::optional<ReportFile> report;
    if (!reportPath.isEmpty()) {
        const QString input = ReportFile::overwrittenInput(reportPath, files);
        if (!input.isEmpty()) {
            complain(reportPath, QStringLiteral("the report would replace %1").arg(input));
            return ExitStatus::trouble;
        }
        report.emplace(reportPath);
    }
    Output output;
    QSet<QString> seen;
    bool trouble = false;
    for (const QString &path : files) {
        trouble = !readBounced(path, [&](const BounceReader::Failed &failed) {
            if (seen.contains(failed.address.toLower()))
                return;
            seen.insert(failed.address.toLower());
            QByteArray line = failed.address.toUtf8() + '\n';
            output.append(line);
            if (report)
                report->write(QStringLiteral("%1: %2: %3: %4\n")
                                  .arg(path, failed.address, failed.status, failed.diagnostic)
                                  .toUtf8());
        }) || trouble;
    }
    output.flush();
    if (report && trouble)
        complain(reportPath, QStringLiteral("not written, as the run failed"));
    const bool reported = !report || (!trouble && report->commit());
    return trouble || !reported ? ExitStatus::trouble : ExitStatus::allWell;
}

int joinToStandardOutput(const QStringList &files, const ListCommand::Options &options,
                         std::optional<MailtoLinks::Field> compose, const QString &reportPath, qsizetype fromRecipient,
                         const MailtoLinks::Message &message)
{
    const QStringList paths = files.isEmpty() ? QStringList{QStringLiteral("-")} : files;
    if (!readAllowed(options.allow))
        return ExitStatus::trouble;
    // Nobody an --exclude list holds may be mailed: when one cannot be read,
    // nothing is written.
    ListedAddresses excluded(options.sameMailbox);
    RequiredLists only;
    try {
        if (!readExcluded(options.exclude, excluded) || !readRequired(options.only, options.sameMailbox, only))
            return ExitStatus::trouble;
    } catch (...) {
        return tellRunFailure(std::current_exception(), false);
    }
    std::optional<ReportFile> report;
    if (options.report) {
        const QString input = ReportFile::overwrittenInput(reportPath, paths + options.exclude + options.only);
        if (!input.isEmpty()) {
            complain(reportPath, QStringLiteral("the report would replace %1").arg(input));
            return ExitStatus::trouble;
        }
        report.emplace(reportPath);
    }
    Output output;
    std::optional<BatchComposer> composer;
    if (compose)
        output.composeWith(&composer.emplace(*compose, fromRecipient, message));
    bool trouble = false;
    const int status = options.isPlain()
                           ? joinPlainly(paths, output)
                           : joinWithOptions(paths, options, excluded, only, output, report ? &*report : nullptr, trouble);
    output.flush();
    if (composer)
        composer->finish();
    if (report && trouble)
        complain(reportPath, QStringLiteral("not written, as the run failed"));
    const bool reported = !report || (!trouble && report->commit());
    return (composer && composer->failed()) || !reported ? ExitStatus::trouble : status;
}
