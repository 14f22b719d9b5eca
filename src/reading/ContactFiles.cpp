#include "reading/ContactFiles.h"

#include "reading/ContactReader.h"
#include "reading/CsvContacts.h"
#include "core/Failure.h"
#include "reading/FileJoin.h"
#include "reading/ListFileDecoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ContactFiles {

namespace {


// The descriptor of an open file, closed when done with.
struct OpenFile
{
    int fd;
    ~OpenFile() { ::close(fd); }
};

[[noreturn]] void failWithErrno()
{
    throw Failure(QString::fromLocal8Bit(std::strerror(errno)));
}

Kind kindByEnding(const QString &path)
{
    const QString ending = QFileInfo(path).suffix().toLower();
    if (ending == u"vcf" || ending == u"vcard" || ending == u"ldif" || ending == u"ldi")
        return Kind::AddressBook;
    if (ending == u"eml")
        return Kind::Message;
    if (ending == u"mbox" || ending == u"mbx")
        return Kind::Mbox;
    return Kind::List;
}

// A header field's line: a name of printable ASCII other than a colon,
// then a colon.
bool isFieldLine(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    for (const char c : line.first(colon))
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

bool isContactsHeading(const QString &start)
{
    const qsizetype end = start.indexOf(u'\n');
    return CsvContacts::forHeading(QStringView(start).first(end < 0 ? start.size() : end)).has_value();
}

// Only an ordinary file is looked into: a pipe would be read away.
Kind kindByStart(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return Kind::List;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Kind::List;
    QByteArray start = file.read(4096);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    const QList<QByteArray> lines = start.split('\n');
    const QByteArray first = lines.value(0).trimmed();
    if (first.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0)
        return Kind::AddressBook;
    // A CSV file of contacts names its e-mail columns in its heading, in
    // whichever encoding a list may be in (Google's in UTF-16).
    if (path.endsWith(u".csv", Qt::CaseInsensitive) && isContactsHeading(decodeListFile(start)))
        return Kind::AddressBook;
    if (first.startsWith("From ") && lines.size() > 2 && isFieldLine(lines[1]))
        return Kind::Mbox;
    return Kind::List;
}

// The messages of a Maildir, in the order of their names, which start with
// the time each arrived. A folder of it that cannot be read is skipped.
QStringList messagesOf(const QString &folder, const Skipped &skipped)
{
    QList<std::pair<QByteArray, QString>> named;
    for (const QString &sub : {QStringLiteral("new"), QStringLiteral("cur")}) {
        const QString path = folder + u'/' + sub;
        DIR *dir = ::opendir(QFile::encodeName(path).constData());
        if (!dir) {
            if (errno != ENOENT)
                skipped(path, QString::fromLocal8Bit(std::strerror(errno)));
            continue;
        }
        while (const dirent *entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                named.append({entry->d_name, path + u'/' + QFile::decodeName(entry->d_name)});
        ::closedir(dir);
    }
    std::sort(named.begin(), named.end());
    QStringList paths;
    for (const auto &[name, path] : named)
        paths << path;
    return paths;
}

// Hands the reader a file's lines, telling how far it has come. Anything
// but an ordinary file (a pipe, a device behind a link) is opened without
// waiting on it and refused unread: it might never end.
template<typename Reader>
void readInto(Reader &reader, const QString &path, WorkProgress *progress, int fromPermille, int toPermille,
              bool addressBook = false)
{
    const OpenFile file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0)
        failWithErrno();
    if (S_ISDIR(status.st_mode))
        throw Failure(QString::fromLocal8Bit(std::strerror(EISDIR)));
    if (!S_ISREG(status.st_mode))
        throw Failure(QStringLiteral("not an ordinary file"));
    qint64 seen = 0;
    const qint64 size = qMax<qint64>(status.st_size, 1);
    const auto tellProgress = [&] {
        if (!progress)
            return;
        if (progress->cancelled)
            throw WorkCancelled{};
        progress->permille = fromPermille + int((toPermille - fromPermille) * qMin(seen, size) / size);
    };
    LineDecoder decoder(
        [&](const QList<QByteArrayView> &lines) {
            for (const QByteArrayView line : lines) {
                seen += line.size() + 1;
                if (!reader.passesOver(line))
                    reader.feed(QString::fromUtf8(line));
            }
            tellProgress();
        },
        true);
    // A line too long to hold whole goes to the reader a piece at a time.
    bool goesOn = false;
    bool passedOver = false;
    decoder.handOnLongLines(LineDecoder::longestHeldLine, [&](QByteArrayView piece, bool last) {
        seen += piece.size() + (last ? 1 : 0);
        if (!goesOn)
            passedOver = reader.passesOver(piece);
        if (!passedOver && goesOn)
            reader.feedMore(QString::fromUtf8(piece));
        else if (!passedOver)
            reader.feed(QString::fromUtf8(piece));
        goesOn = !last;
        tellProgress();
    });
    // An address book may fold a line inside a character.
    FileJoin::readOrdinaryFile(file.fd, status, decoder, 4 << 20, addressBook);
}

} // namespace

Kind kindOf(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QFileInfo(path + QStringLiteral("/cur")).isDir() || QFileInfo(path + QStringLiteral("/new")).isDir()
                   ? Kind::Maildir
                   : Kind::List;
    const Kind byEnding = kindByEnding(path);
    return byEnding != Kind::List ? byEnding : kindByStart(path);
}

void read(const QString &path, Kind kind, const LineDecoder::Take &take, const Skipped &skipped, WorkProgress *progress)
{
    QByteArray bytes;
    QList<qsizetype> ends;
    const auto handOn = [&] {
        QList<QByteArrayView> lines;
        lines.reserve(ends.size());
        qsizetype start = 0;
        for (const qsizetype end : ends) {
            lines.append(QByteArrayView(bytes).sliced(start, end - start));
            start = end;
        }
        take(lines);
        bytes.clear();
        ends.clear();
    };
    const auto readerKind = kind == Kind::AddressBook ? ContactReader::Kind::AddressBook
                            : kind == Kind::Mbox      ? ContactReader::Kind::Mbox
                                                      : ContactReader::Kind::Message;
    ContactReader reader(readerKind, [&](const Mailboxes::Mailbox &mailbox) {
        bytes += Mailboxes::line(mailbox).toUtf8();
        ends.append(bytes.size());
        if (ends.size() >= 4096)
            handOn();
    });
    if (kind == Kind::Maildir) {
        const QStringList messages = messagesOf(path, skipped);
        for (qsizetype i = 0; i < messages.size(); ++i) {
            try {
                readInto(reader, messages[i], progress, int(1000 * i / messages.size()),
                         int(1000 * (i + 1) / messages.size()));
            } catch (const Failure &failure) {
                skipped(messages[i], failure.description());
            }
            reader.endMessage();
        }
    } else {
        readInto(reader, path, progress, 0, 1000, kind == Kind::AddressBook);
    }
    reader.finish();
    if (!ends.isEmpty())
        handOn();
}

void readBounces(const QString &path, Kind kind, const BounceReader::Found &found, const Skipped &skipped)
{
    BounceReader reader(kind == Kind::Mbox, found);
    if (kind == Kind::Maildir) {
        for (const QString &message : messagesOf(path, skipped)) {
            try {
                readInto(reader, message, nullptr, 0, 0);
            } catch (const Failure &failure) {
                skipped(message, failure.description());
            }
            reader.endMessage();
        }
    } else {
        readInto(reader, path, nullptr, 0, 0);
    }
    reader.finish();
}

QString textOf(const QString &path, Kind kind, const Skipped &skipped, WorkProgress *progress)
{
    QString text;
    read(path, kind, [&text](const QList<QByteArrayView> &lines) {
        for (const QByteArrayView line : lines) {
            text += QString::fromUtf8(line);
            text += QStringLiteral("\r\n");
        }
    }, skipped, progress);
    return text;
}

} // namespace ContactFiles
