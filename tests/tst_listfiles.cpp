#include "ProcessLimits.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "core/FileAccess.h"
#include "listfiles/FileExists.h"
#include "reading/ListFileDecoding.h"
#include "listfiles/PathNormaliser.h"
#include "reading/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>


using namespace Qt::StringLiterals;

class TestListFiles : public QObject
{
    Q_OBJECT

private slots:
    void decoding_data();
    void decoding();

    void readingFiles();
    void readingWhatIsNotAnOrdinaryFile_data();
    void readingWhatIsNotAnOrdinaryFile();
    void readingGoesByWhatTheOpenFileHolds();
    void fileTooLargeToHoldIsOutOfMemory();
    void fileExistsNeverFails();

    void normalisingBackslashPaths_data();
    void normalisingBackslashPaths();
    void normalisingSlashPaths_data();
    void normalisingSlashPaths();

    void writingReplacesTheWholeFile();
    void writingKeepsPermissions();
    void failedWriteLeavesTheOldFile_data();
    void failedWriteLeavesTheOldFile();
    void overwritingANameAtTheLengthLimit();
    void savingWhereNoTemporaryFileCanBeMade_data();
    void savingWhereNoTemporaryFileCanBeMade();
    void savingIntoAFolderOneMayNotRead();
    void savingKeepsAnotherUsersOwnership();
    void writingWhereNoFolderIsFails();
    void roundTripOfNonAsciiText();
    void savingFailuresLeaveTheOldFile_data();
    void savingFailuresLeaveTheOldFile();
    void savingOverAReadOnlyFileIsRefused();
    void savingSyncsTheFileAndItsFolder_data();
    void savingSyncsTheFileAndItsFolder();
    void oldTextThatCannotBePutBackIsKeptElsewhere_data();
    void oldTextThatCannotBePutBackIsKeptElsewhere();
    void savingKeepsAccessControlAndAttributes_data();
    void savingKeepsAccessControlAndAttributes();
    void savingThroughLinksKeepsThem_data();
    void savingThroughLinksKeepsThem();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QString lockedFolderWith(const QByteArray &bytes);
    QTemporaryDir m_dir;
};

QString TestListFiles::write(const QString &name, const QByteArray &bytes)
{
    return putFile(m_dir.path(), name, bytes);
}

// A file the acting user may write, in a folder that user may not write to;
// as root the acting user is "nobody".
QString TestListFiles::lockedFolderWith(const QByteArray &bytes)
{
    const QString folder = m_dir.filePath(u"locked"_s);
    const QString path = write(u"locked/list.txt"_s, bytes);
    if (geteuid() == 0 && ::chown(QFile::encodeName(path).constData(), ActingAsNobody::uid, ActingAsNobody::gid) != 0)
        qFatal("cannot hand the file to nobody");
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7711));
    QFile::setPermissions(folder, QFileDevice::Permissions(0x5555));
    return path;
}

namespace {

// Makes the nth call of one kind fail with an error (a write with error 0
// writes nothing), or with onward every call from the nth on, writes only
// to the file at onlyTo when it is given; and lets writes write at most 4096
// bytes at a time, so that a long text takes many.
class FailingCall
{
public:
    FailingCall(const QString &call, int nth, int error, bool onward = false, const QString &onlyTo = {})
    {
        FileCalls &calls = fileCalls();
        const auto fails = [this, call, nth, onward](const char *kind) {
            return call == QLatin1String(kind) && (++m_count == nth || (onward && m_count > nth));
        };
        struct stat only {};
        if (!onlyTo.isEmpty())
            ::stat(QFile::encodeName(onlyTo).constData(), &only);
        const auto isWatched = [only](int fd) {
            struct stat status {};
            return only.st_ino == 0 || (::fstat(fd, &status) == 0 && status.st_ino == only.st_ino);
        };
        const auto write = calls.write;
        calls.write = [=](int fd, const void *bytes, size_t count) -> ssize_t {
            if (isWatched(fd) && fails("write")) {
                errno = error;
                return error == 0 ? 0 : -1;
            }
            return write(fd, bytes, qMin<size_t>(count, 4096));
        };
        const auto failing = [=](const char *kind, auto real) {
            return [=](auto... arguments) {
                if (!fails(kind))
                    return real(arguments...);
                errno = error;
                return -1;
            };
        };
        calls.fsync = failing("fsync", calls.fsync);
        calls.ftruncate = failing("ftruncate", calls.ftruncate);
        calls.rename = failing("rename", calls.rename);
        calls.unlink = failing("unlink", calls.unlink);
        calls.setAttribute = failing("setAttribute", calls.setAttribute);
        const auto allocate = calls.allocate;
        calls.allocate = [=](int fd, off_t offset, off_t length) {
            return fails("allocate") ? error : allocate(fd, offset, length);
        };
    }

private:
    FileCallsOverride m_restore;
    int m_count = 0;
};

QString failureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Failure &failure) {
        return failure.description();
    }
    return u"no failure"_s;
}

} // namespace

void TestListFiles::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-16 LE with mark") << "\xFF\xFE" "A\0b\0\r\0\n\0"_ba << u"Ab\r\n"_s;
    QTest::newRow("UTF-16 BE with mark") << "\xFE\xFF\0A\0b\0\r\0\n"_ba << u"Ab\r\n"_s;
    QTest::newRow("UTF-16 LE non-ASCII") << "\xFF\xFE\xE9\0\x2D\x4E\x3D\xD8\0\xDE"_ba << u"\u00e9\u4e2d\U0001F600"_s;
    QTest::newRow("UTF-16 BE non-ASCII") << "\xFE\xFF\0\xE9\x4E\x2D"_ba << u"\u00e9\u4e2d"_s;
    // Without a mark nothing tells UTF-16 apart: its bytes are valid UTF-8.
    QTest::newRow("UTF-16 LE without mark") << "A\0B\0"_ba << u"A\0B\0"_s;
    QTest::newRow("UTF-16 odd length") << "\xFF\xFE" "A\0B"_ba << u"A\uFFFD"_s;
    QTest::newRow("UTF-16 halves of pairs alone") << "\xFF\xFE\0\xDC" "a\0\0\xD8\r\0\0\xD8" "b"_ba
                                                  << u"\uFFFDa\uFFFD\r\uFFFD\uFFFD"_s;
    QTest::newRow("UTF-16 mark only") << "\xFF\xFE"_ba << QString();
    QTest::newRow("UTF-16, a mark after the mark") << "\xFE\xFF\xFE\xFF\xFF\xFF\0A"_ba << u"\uFEFF\uFFFFA"_s;
    QTest::newRow("UTF-8, a mark after the mark") << "\xEF\xBB\xBF\xEF\xBB\xBFx"_ba << u"\uFEFFx"_s;
    QTest::newRow("first byte FE alone is 8-bit") << "\xFE" "A"_ba << u"\u00feA"_s;
    QTest::newRow("first byte FF alone is 8-bit") << "\xFF\x41\x00"_ba << u"\u00ffA\0"_s;
    QTest::newRow("Windows-1252") << "caf\xE9 \x80 \x93q\x94 \x9F"_ba << u"caf\u00e9 \u20ac \u201cq\u201d \u0178"_s;
    QTest::newRow("Windows-1252 unused codes") << "\x81\x8D\x8F\x90\x9D"_ba << u"\u0081\u008d\u008f\u0090\u009d"_s;
    QTest::newRow("Windows-1252 at the ends of its table") << "\x7F\x80\x9F\xA0\xFF"_ba << u"\u007f\u20ac\u0178\u00a0\u00ff"_s;
    QTest::newRow("UTF-8 with mark") << "\xEF\xBB\xBFz\xC3\xA9@x.org"_ba << u"z\u00e9@x.org"_s;
    QTest::newRow("UTF-8 without mark") << "z\xC3\xA9@x.org\r\n\xE2\x82\xAC"_ba << u"z\u00e9@x.org\r\n\u20ac"_s;
    QTest::newRow("NUL bytes") << "a\0b\r\n\0"_ba << u"a\0b\r\n\0"_s;
    QTest::newRow("NUL bytes in 8-bit text") << "a\0\xE9"_ba << u"a\0\u00e9"_s;
    QTest::newRow("Unix line ends kept") << "a\nb"_ba << u"a\nb"_s;
}

void TestListFiles::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeListFile(bytes), text);
    // A file with a NUL byte in an 8-bit reading is no list: it is refused.
    if (bytes.contains('\0') && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF")) {
        QVERIFY_THROWS_EXCEPTION(Failure, readWholeFile(write(u"decoded.txt"_s, bytes)));
        return;
    }
    QCOMPARE(readWholeFile(write(u"decoded.txt"_s, bytes)), bytes.isEmpty() ? emptyFileMarker : text);
}

void TestListFiles::readingFiles()
{
    QCOMPARE(readWholeFile(write(u"zero.txt"_s, QByteArray())), u"empty file"_s);
    QCOMPARE(linesWithBreaks(readWholeFile(m_dir.filePath(u"zero.txt"_s))), u"empty file\r\n"_s);
    QCOMPARE(readWholeFile(m_dir.filePath(u"missing.txt"_s)), QString());
    QCOMPARE(readListFile(write(u"list.txt"_s, "x") + u"/below.txt"_s), std::nullopt);
    // A NUL ends a name for the system: what follows it must not be lost.
    QCOMPARE(readListFile(m_dir.filePath(u"list.txt"_s) + QChar(0) + u"more"_s), std::nullopt);
    // A read a signal interrupts is tried again; one that ends the file ends
    // it, whatever error number an earlier call left behind.
    {
        FileCallsOverride restore;
        const auto read = fileCalls().read;
        bool interrupted = false;
        fileCalls().read = [&](int fd, void *bytes, size_t count) -> ssize_t {
            errno = EINTR;
            if (!std::exchange(interrupted, true))
                return -1;
            return read(fd, bytes, count);
        };
        QCOMPARE(readListFile(m_dir.filePath(u"list.txt"_s)), u"x"_s);
    }
    QCOMPARE(linesWithBreaks(u"a\r\nb"_s), u"a\r\nb\r\n"_s);
    QCOMPARE(linesWithBreaks(u"a\r\nb\r\n"_s), u"a\r\nb\r\n\r\n"_s);
    QCOMPARE(linesWithBreaks(u"a\nb"_s), u"a\nb\r\n"_s);
    QCOMPARE(linesWithBreaks(QString()), QString());
}

void TestListFiles::readingWhatIsNotAnOrdinaryFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("description");
    const QString fifo = m_dir.filePath(u"fifo.txt"_s);
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(QDir(m_dir.path()).mkdir(u"folder.txt"_s));
    QTest::newRow("pipe") << fifo << fifo + u" is not an ordinary file"_s;
    QTest::newRow("device") << u"/dev/null"_s << u"/dev/null is not an ordinary file"_s;
    QTest::newRow("folder") << m_dir.filePath(u"folder.txt"_s) << u"Is a directory"_s;
}

// Fails at once: a pipe with no writer would otherwise block the reader.
void TestListFiles::readingWhatIsNotAnOrdinaryFile()
{
    QFETCH(QString, path);
    QFETCH(QString, description);
    try {
        readListFile(path);
        QFAIL("reading did not fail");
    } catch (const Failure &failure) {
        QCOMPARE(failure.description(), description);
    }
}

// The size a look-up gives need not match what a read then finds (a file
// that changes between the two); the reader goes by what it reads. Files in
// /proc show that for sure: a size of 0 with content behind it.
void TestListFiles::readingGoesByWhatTheOpenFileHolds()
{
    const QString status = u"/proc/self/status"_s;
    QCOMPARE(QFileInfo(status).size(), 0);
    QVERIFY(readWholeFile(status).startsWith(u"Name:"_s));
    QCOMPARE(readListFile(m_dir.filePath(u"gone.txt"_s)), std::nullopt);
}

void TestListFiles::fileTooLargeToHoldIsOutOfMemory()
{
    if (underSanitizer)
        QSKIP("the sanitizers need more address space than a limit leaves");
    const QString huge = putSparseFile(m_dir.path(), u"huge.txt"_s, qint64(2) << 30);
    MemoryLimit limit(qint64(512) << 20);
    QVERIFY(limit.isActive());
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, readListFile(huge));
}

void TestListFiles::fileExistsNeverFails()
{
    QVERIFY(fileExists(write(u"here.txt"_s, "x")));
    QVERIFY(!fileExists(m_dir.filePath(u"gone.txt"_s)));
    QVERIFY(!fileExists(QString()));
    QTest::ignoreMessage(QtWarningMsg, "Broken filename passed to function");
    QVERIFY(!fileExists(u"\0bad"_s));
    QVERIFY(!fileExists(write(u"plain"_s, "x") + u"/below"_s));
}

void TestListFiles::normalisingBackslashPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("root folder joined") << uR"(C:\\list.txt)"_s << uR"(C:\list.txt)"_s;
    QTest::newRow("four leading") << uR"(\\\\server\share\a.txt)"_s << uR"(\\server\share\a.txt)"_s;
    QTest::newRow("one leading") << uR"(\folder)"_s << uR"(\\folder)"_s;
    QTest::newRow("only backslashes") << uR"(\\\\\)"_s << uR"(\\)"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("unchanged") << uR"(C:\lists\a.txt)"_s << uR"(C:\lists\a.txt)"_s;
    QTest::newRow("three become two") << uR"(C:\a\\\b)"_s << uR"(C:\a\\b)"_s;
    QTest::newRow("four become two") << uR"(C:\a\\\\b)"_s << uR"(C:\a\\b)"_s;
    QTest::newRow("network share joined") << uR"(\\server\share\\a.txt)"_s << uR"(\\server\share\a.txt)"_s;
}

void TestListFiles::normalisingBackslashPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, normalised);
    QCOMPARE(normalisePath(path, u'\\'), normalised);
}

void TestListFiles::normalisingSlashPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("root folder joined") << u"//list.txt"_s << u"/list.txt"_s;
    QTest::newRow("leading run") << u"////home/a.txt"_s << u"/home/a.txt"_s;
    QTest::newRow("doubled inside") << u"/home//lists//a.txt"_s << u"/home/lists/a.txt"_s;
    QTest::newRow("only slashes") << u"///"_s << u"/"_s;
    QTest::newRow("relative") << u"lists//a.txt"_s << u"lists/a.txt"_s;
    QTest::newRow("unchanged") << u"/home/a b.txt"_s << u"/home/a b.txt"_s;
}

void TestListFiles::normalisingSlashPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, normalised);
    QCOMPARE(normalisePath(path, u'/'), normalised);
    QCOMPARE(normalisePlatformPath(path), normalised);
}

void TestListFiles::writingReplacesTheWholeFile()
{
    const QString path = write(u"out.csv"_s, "a much longer old content\r\n");
    writeTextFile(path, u"a,b\u00e9"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "a,b\xC3\xA9"_ba);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).count(u"out.csv"_s), 1);
}

void TestListFiles::writingKeepsPermissions()
{
    const QString path = write(u"private.txt"_s, "old");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    writeTextFile(path, u"new"_s);
    QCOMPARE(QFile::permissions(path) & 0x7777, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

void TestListFiles::failedWriteLeavesTheOldFile_data()
{
    QTest::addColumn<qsizetype>("length");
    QTest::newRow("a few characters") << qsizetype(3);
    QTest::newRow("one write buffer") << qsizetype(16384);
    QTest::newRow("a large list") << qsizetype(100'000);
}

void TestListFiles::failedWriteLeavesTheOldFile()
{
    QFETCH(qsizetype, length);
    const QByteArray old = "keep\r\nme\r\n";
    const QString path = write(u"precious.txt"_s, old);
    const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    QString description;
    {
        FileSizeLimit limit(length > 10 ? 1024 : 0);
        QVERIFY(limit.isActive());
        try {
            writeTextFile(path, QString(length, u'x'));
        } catch (const Failure &failure) {
            description = failure.description();
        }
    }

    QCOMPARE(description, u"File too large"_s);
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

void TestListFiles::overwritingANameAtTheLengthLimit()
{
    const QString path = write(QString(255, u'n'), "old");
    writeTextFile(path, u"new"_s);
    QCOMPARE(readFile(path), "new"_ba);
}

void TestListFiles::savingWhereNoTemporaryFileCanBeMade_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a short text") << u"new"_s;
    QTest::newRow("an empty text") << QString();
}

// A folder the user may not write to, holding a file the user may write:
// the file is written in place and keeps who owns it.
void TestListFiles::savingWhereNoTemporaryFileCanBeMade()
{
    QFETCH(QString, text);
    const QString folder = m_dir.filePath(u"locked"_s);
    const QString path = write(u"locked/list.txt"_s, "a much longer old list");
    QVERIFY(::chown(QFile::encodeName(path).constData(), ActingAsNobody::uid, ActingAsNobody::gid) == 0
            || geteuid() != 0);
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    {
        ActingAsNobody nobody;
        writeTextFile(path, text);
        QVERIFY_THROWS_EXCEPTION(Failure, writeTextFile(m_dir.filePath(u"locked/new.txt"_s), u"x"_s));
    }
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(readFile(path), text.toUtf8());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList(u"list.txt"_s));
}

// A folder the user may write to but not read: the file is saved, and
// nothing else is said.
void TestListFiles::savingIntoAFolderOneMayNotRead()
{
    const QString folder = m_dir.filePath(u"drop"_s);
    QVERIFY(QDir(m_dir.path()).mkdir(u"drop"_s));
    QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7711)));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7733)));
    {
        ActingAsNobody nobody;
        if (!nobody.isActive())
            QSKIP("acting as another user needs root");
        writeTextFile(folder + u"/list.txt"_s, u"new"_s);
    }
    QCOMPARE(readFile(folder + u"/list.txt"_s), "new"_ba);
}

void TestListFiles::savingKeepsAnotherUsersOwnership()
{
    const QString path = write(u"shared.txt"_s, "old");
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x6666)));
    QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777)));
    {
        ActingAsNobody nobody;
        if (!nobody.isActive())
            QSKIP("acting as another user needs root");
        writeTextFile(path, u"new"_s);
    }
    QCOMPARE(readFile(path), "new"_ba);
    QCOMPARE(QFileInfo(path).ownerId(), 0u);
    QCOMPARE(QFile::permissions(path), QFileDevice::Permissions(0x6666));
}

void TestListFiles::writingWhereNoFolderIsFails()
{
    const QString notAFolder = write(u"file"_s, "x");
    QVERIFY_THROWS_EXCEPTION(Failure, writeTextFile(notAFolder + u"/out.txt"_s, u"a"_s));
    QVERIFY_THROWS_EXCEPTION(Failure, writeTextFile(m_dir.filePath(u"no/such/out.txt"_s), u"a"_s));
    QVERIFY(QDir(m_dir.path()).mkdir(u"taken.txt"_s));
    QVERIFY_THROWS_EXCEPTION(Failure, writeTextFile(m_dir.filePath(u"taken.txt"_s), u"a"_s));
    QVERIFY(QFileInfo(m_dir.filePath(u"taken.txt"_s)).isDir());
}

void TestListFiles::roundTripOfNonAsciiText()
{
    // (A NUL byte would make the file no list: the decoding rows refuse it.)
    const QString text = u"zo\u00eb@example.org\r\n\u00e5sa@example.net\r\n\u4e2d@example.com\u00a0\r\n\u0001x\r\n"_s;
    const QString path = m_dir.filePath(u"round.txt"_s);
    writeTextFile(path, text);
    QCOMPARE(readWholeFile(path), text);
    // Written a megabyte at a time, never between the halves of a pair.
    const QString long_ = QString((1 << 20) - 1, u'x') + u"\U0001F600y"_s;
    writeTextFile(path, long_);
    QCOMPARE(readWholeFile(path), long_);
}

void TestListFiles::savingFailuresLeaveTheOldFile_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<bool>("unnamed");
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("error");
    QTest::addColumn<qsizetype>("lines");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("unlinkFails");
    QTest::addColumn<bool>("saved"); // the new text is in place, though the save failed
    const QString full = u"No space left on device"_s;
    const QString io = u"Input/output error"_s;
    QTest::newRow("a later write, full disk") << false << true << u"write"_s << 3 << ENOSPC << qsizetype(7500) << full << false << false;
    QTest::newRow("a write writing nothing") << false << true << u"write"_s << 2 << 0 << qsizetype(7500) << full << false << false;
    QTest::newRow("syncing") << false << true << u"fsync"_s << 1 << EIO << qsizetype(7500) << io << false << false;
    QTest::newRow("renaming") << false << true << u"rename"_s << 1 << EXDEV << qsizetype(10)
                              << u"Invalid cross-device link"_s << false << false;
    QTest::newRow("nothing to remove after") << false << true << u"fsync"_s << 1 << EIO << qsizetype(10) << io << true << false;
    QTest::newRow("a named temporary file") << false << false << u"write"_s << 3 << ENOSPC << qsizetype(7500) << full << false << false;
    QTest::newRow("in place: no room") << true << true << u"allocate"_s << 1 << ENOSPC << qsizetype(7500) << full << false << false;
    QTest::newRow("in place: a later write") << true << true << u"write"_s << 3 << ENOSPC << qsizetype(7500) << full << false << false;
    QTest::newRow("in place: a device error") << true << true << u"write"_s << 3 << EIO << qsizetype(2500) << io << false << false;
    QTest::newRow("in place: cutting") << true << true << u"ftruncate"_s << 1 << EIO << qsizetype(2500) << io << false << false;
    QTest::newRow("in place: syncing") << true << true << u"fsync"_s << 1 << EIO << qsizetype(7500) << io << false << false;
    QTest::newRow("syncing the folder") << false << true << u"fsync"_s << 2 << EIO << qsizetype(10)
                                        << io + u" (the new text is saved, but the disk could not confirm that it is stored)"_s
                                        << false << true;
}

// Whatever call fails, on either way of saving, the failure is told and the
// old file stays byte for byte, with nothing left beside it; or, once the new
// text has taken its place, the failure says that.
void TestListFiles::savingFailuresLeaveTheOldFile()
{
    QFETCH(bool, inPlace);
    QFETCH(bool, unnamed);
    QFETCH(QString, call);
    QFETCH(int, nth);
    QFETCH(int, error);
    QFETCH(qsizetype, lines);
    QFETCH(QString, description);
    QFETCH(bool, unlinkFails);
    QFETCH(bool, saved);
    const QByteArray old = QByteArray("someone@example.com\r\n").repeated(5000);
    const QString path = inPlace ? lockedFolderWith(old) : write(u"list.txt"_s, old);
    const QDir folder = QFileInfo(path).dir();
    const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString text = u"other@example.org\r\n"_s.repeated(lines);
    {
        std::optional<ActingAsNobody> nobody;
        if (inPlace)
            nobody.emplace();
        FailingCall failing(call, nth, error);
        if (!unnamed)
            fileCalls().openUnnamed = [](const char *) { return errno = EOPNOTSUPP, -1; };
        if (unlinkFails)
            fileCalls().unlink = [](const char *) { return errno = EBUSY, -1; };
        QCOMPARE(failureOf([&] { writeTextFile(path, text); }), description);
        QCOMPARE(readFile(path), saved ? text.toUtf8() : old);
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        writeTextFile(path, text);
    }
    QCOMPARE(readFile(path), text.toUtf8());
}

// A read-only file is not replaced, though the folder would allow it.
void TestListFiles::savingOverAReadOnlyFileIsRefused()
{
    const QString path = write(u"readonly.txt"_s, "old");
    QVERIFY(::chown(QFile::encodeName(path).constData(), ActingAsNobody::uid, ActingAsNobody::gid) == 0
            || geteuid() != 0);
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x4444)));
    QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777)));
    {
        ActingAsNobody nobody;
        QCOMPARE(failureOf([&] { writeTextFile(path, u"new"_s); }), u"Permission denied"_s);
    }
    QCOMPARE(readFile(path), "old"_ba);
}

void TestListFiles::savingSyncsTheFileAndItsFolder_data()
{
    QTest::addColumn<bool>("attributes"); // whether the file system keeps extended attributes
    QTest::newRow("as usual") << true;
    QTest::newRow("a file system without attributes") << false;
}

// The new file is on disk before its name replaces the old one, and the
// folder after.
void TestListFiles::savingSyncsTheFileAndItsFolder()
{
    QFETCH(bool, attributes);
    const QString path = write(u"synced.txt"_s, "old");
    QStringList synced;
    {
        FileCallsOverride restore;
        if (!attributes)
            fileCalls().listAttributes = [](const char *, char *, size_t) -> ssize_t { return errno = ENOTSUP, -1; };
        const auto fsync = fileCalls().fsync;
        const auto rename = fileCalls().rename;
        fileCalls().fsync = [&](int fd) {
            struct stat status {};
            ::fstat(fd, &status);
            synced << (S_ISDIR(status.st_mode) ? u"folder"_s : u"file"_s);
            return fsync(fd);
        };
        fileCalls().rename = [&](const char *from, const char *to) {
            synced << u"rename"_s;
            return rename(from, to);
        };
        writeTextFile(path, u"new"_s);
    }
    QCOMPARE(synced, QStringList({u"file"_s, u"rename"_s, u"folder"_s}));
}

void TestListFiles::oldTextThatCannotBePutBackIsKeptElsewhere_data()
{
    QTest::addColumn<bool>("elsewhereToo"); // writes fail to every file
    QTest::addColumn<QString>("told");
    QTest::newRow("kept in the temporary folder") << false << u" (the old text could not be put back; it is kept in %1)"_s;
    QTest::newRow("nowhere to keep it") << true << u" (and the old text could not be put back)"_s;
}

// In place, when writing keeps failing and the old text cannot be put back
// either, it is written to a file of its own that the failure names.
void TestListFiles::oldTextThatCannotBePutBackIsKeptElsewhere()
{
    QFETCH(bool, elsewhereToo);
    QFETCH(QString, told);
    const QByteArray old = QByteArray("someone@example.com\r\n").repeated(5000);
    const QString path = lockedFolderWith(old);
    QTemporaryDir temporary;
    QVERIFY(QFile::setPermissions(temporary.path(), QFileDevice::Permissions(0x7777)));
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    QString description;
    {
        ActingAsNobody nobody;
        FailingCall failing(u"write"_s, 3, EIO, true, elsewhereToo ? QString() : path);
        description = failureOf([&] { writeTextFile(path, u"other@example.org\r\n"_s.repeated(7500)); });
    }
    qunsetenv("TMPDIR");
    const QStringList kept = QDir(temporary.path()).entryList(QDir::Files);
    QCOMPARE(kept.size(), elsewhereToo ? 0 : 1);
    QCOMPARE(description, u"Input/output error"_s + (elsewhereToo ? told : told.arg(temporary.filePath(kept.first()))));
    if (!elsewhereToo)
        QCOMPARE(readFile(temporary.filePath(kept.first())), old);
}

void TestListFiles::savingKeepsAccessControlAndAttributes_data()
{
    QTest::addColumn<bool>("attributesCopy");
    QTest::addColumn<bool>("unnamed"); // temporary files without a name
    QTest::newRow("to the new file") << true << true;
    QTest::newRow("not to the new file: in place") << false << true;
    QTest::newRow("not to a named new file, which goes") << false << false;
}

// A file with an access control list keeps it, and so its named users their
// rights and its group no more than it had; other attributes stay too.
void TestListFiles::savingKeepsAccessControlAndAttributes()
{
    QFETCH(bool, attributesCopy);
    QFETCH(bool, unnamed);
    QDir(m_dir.path()).mkdir(u"acl"_s);
    const QString path = write(u"acl/shared.txt"_s, "old");
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x6640)));
    const auto run = [](const QString &program, const QStringList &arguments) -> std::optional<QByteArray> {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished() || process.exitCode() != 0)
            return std::nullopt;
        return process.readAllStandardOutput();
    };
    if (!run(u"setfacl"_s, {u"-m"_s, u"user:nobody:rw"_s, path})
        || ::setxattr(QFile::encodeName(path).constData(), "user.origin", "list", 4, 0) != 0)
        QSKIP("this file system keeps no access control lists or attributes");
    const QByteArray access = run(u"getfacl"_s, {u"--omit-header"_s, path}).value_or(QByteArray());
    QVERIFY(access.contains("user:nobody:rw-"));
    {
        FailingCall failing(u"setAttribute"_s, attributesCopy ? 0 : 1, EPERM);
        if (!unnamed)
            fileCalls().openUnnamed = [](const char *) { return errno = EOPNOTSUPP, -1; };
        writeTextFile(path, u"new"_s);
    }
    QCOMPARE(readFile(path), "new"_ba);
    QCOMPARE(QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{u"shared.txt"_s});
    QCOMPARE(run(u"getfacl"_s, {u"--omit-header"_s, path}), access);
    char origin[8] = {};
    QCOMPARE(::getxattr(QFile::encodeName(path).constData(), "user.origin", origin, sizeof origin), 4);
    QCOMPARE(QByteArray(origin), "list"_ba);
}

void TestListFiles::savingThroughLinksKeepsThem_data()
{
    QTest::addColumn<QStringList>("links"); // each leads to the next; the last is the file
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("relative"); // each link names the next from its own folder
    QTest::newRow("a link") << QStringList{u"link"_s, u"list.txt"_s} << true << false;
    QTest::newRow("a chain") << QStringList{u"first"_s, u"sub/second"_s, u"list.txt"_s} << true << false;
    QTest::newRow("a chain to no file yet") << QStringList{u"first"_s, u"sub/second"_s, u"new.txt"_s} << false << false;
    QTest::newRow("relative links") << QStringList{u"first"_s, u"sub/second"_s, u"list.txt"_s} << true << true;
}

// Saving through links changes the file at their end; every link stays.
void TestListFiles::savingThroughLinksKeepsThem()
{
    QFETCH(QStringList, links);
    QFETCH(bool, fileExists);
    QFETCH(bool, relative);
    QDir(m_dir.path()).mkpath(u"sub"_s);
    const QString file = m_dir.filePath(links.last());
    if (fileExists)
        write(links.last(), "old");
    for (qsizetype i = 0; i + 1 < links.size(); ++i) {
        const QString link = m_dir.filePath(links[i]);
        const QString next = m_dir.filePath(links[i + 1]);
        QVERIFY(QFile::link(relative ? QFileInfo(link).dir().relativeFilePath(next) : next, link));
    }
    // The program runs in another folder than the links.
    const QString current = QDir::currentPath();
    QDir::setCurrent(QDir::rootPath());
    writeTextFile(m_dir.filePath(links.first()), u"new"_s);
    QDir::setCurrent(current);
    for (qsizetype i = 0; i + 1 < links.size(); ++i)
        QVERIFY(QFileInfo(m_dir.filePath(links[i])).isSymLink());
    QCOMPARE(readFile(file), "new"_ba);
    for (const QString &link : links)
        QFile::remove(m_dir.filePath(link));
}

QTEST_GUILESS_MAIN(TestListFiles)
#include "tst_listfiles.moc"
