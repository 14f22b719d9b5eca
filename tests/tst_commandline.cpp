// The program on the command line, run as a separate process without a
// display: --join gives the window's line and behaves as the GNU tools do.
#include "ContextMenus.h"
#include "FormDriver.h"
#include "ProcessLimits.h"
#include "MailHandler.h"
#include "TestFiles.h"
#include "TestZone.h"
#include "addresses/MailDomains.h"
#include "addresses/MailtoLinks.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <QUrl>
#include <QSet>

#include <csignal>
#include <pty.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString sameMailboxEntry = u"Count Provider Aliases as One"_s;

struct Run
{
    QByteArray output;
    QByteArray errors;
    int status = -1; // -1: ended by a signal
    int signal = 0;
};

// Runs the program with no display; setUp runs in the new process before the
// program starts (to close a descriptor, ignore a signal, limit memory).
// Without a display unless told to keep one.
Run run(const QStringList &arguments, const QByteArray &input = {}, const std::function<void()> &setUp = {},
        QProcess::ProcessChannelMode channels = QProcess::SeparateChannels, bool display = false)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        if (!display || name != u"DISPLAY")
            environment.remove(name);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(channels);
    if (setUp)
        program.setChildProcessModifier(setUp);
    program.start(QStringLiteral(KESTRAVA_PROGRAM), arguments);
    program.write(input);
    program.closeWriteChannel();
    program.waitForFinished(120'000);
    Run result{program.readAllStandardOutput(), program.readAllStandardError()};
    if (program.exitStatus() == QProcess::NormalExit)
        result.status = program.exitCode();
    else
        result.signal = program.exitCode();
    return result;
}

// The most memory a run of the program held at once (its peak resident
// size), in bytes, or -1 when it failed; its output goes nowhere. It is
// started from a small process: a child's peak counts its parent's memory
// at the moment it was started.
qint64 peakMemoryOf(const QStringList &arguments)
{
    QProcess measure;
    measure.start(u"/usr/bin/python3"_s,
                  QStringList{u"-c"_s, u"import resource, subprocess, sys\n"
                                       "run = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)\n"
                                       "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss if run.returncode == 0 else -1)"_s,
                              QStringLiteral(KESTRAVA_PROGRAM)}
                      + arguments);
    measure.waitForFinished(600'000);
    const qint64 kilobytes = measure.readAllStandardOutput().trimmed().toLongLong();
    return kilobytes > 0 ? kilobytes * 1024 : -1;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void joinGivesTheWindowsLine_data();
    void joinGivesTheWindowsLine();
    void joinReadsStandardInput();
    void needsNoDisplay();
    void wrongOptionsAreTold_data();
    void wrongOptionsAreTold();
    void writeErrorsAreTold_data();
    void writeErrorsAreTold();
    void closedInputIsTold();
    void brokenPipeEndsItAsOtherTools();
    void outOfMemoryIsTold();
    void failedSortingOrRememberingEndsTheRun();
    void aLineTooLongToHoldGoesThroughInPieces();

    void tidyingAsTheWindowTidies_data();
    void tidyingAsTheWindowTidies();
    void separatorsAndBatches_data();
    void separatorsAndBatches();
    void sortedAsSortAndPaste_data();
    void sortedAsSortAndPaste();
    void addressOptions_data();
    void addressOptions();
    void batchesToTheMailProgram();
    void everyRemovedLineIsReported();
    void theListsReadAreNeverOverwrittenOrBypassed_data();
    void theListsReadAreNeverOverwrittenOrBypassed();
    void aMessageThatCannotBeReadLosesNoOther();
    void bouncesComeOffTheList();
    void theMailSystemIsAskedWhichDomainsTakeMail();

private:
    QString write(const QString &name, const QByteArray &bytes) { return putFile(m_dir->path(), name, bytes); }
    QString windowsLine(const QStringList &files);

    std::unique_ptr<FormDriver> m_driver;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCommandLine::init()
{
    m_driver = std::make_unique<FormDriver>();
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestCommandLine::cleanup()
{
    m_driver.reset();
    m_dir.reset();
}

// What "Load File" of the files and then "Start Joining" show.
QString TestCommandLine::windowsLine(const QStringList &files)
{
    m_driver->form->openFiles(files);
    m_driver->click("PushButton17");
    return m_driver->output()->text();
}

void TestCommandLine::joinGivesTheWindowsLine_data()
{
    QTest::addColumn<QList<QByteArray>>("files");
    // A block is read at a time; these cross its border, 4 MiB, with a line
    // break, a character and a decision between encodings.
    const int block = 4 << 20;
    QByteArray crossed = QByteArray(block - 1, 'a') + "\r\n\xC3\xA9";
    QByteArray late1252 = QByteArray(block + 100, 'b') + "caf\xE9\r\n";
    const QByteArray straddled = QByteArray(block - 1, 'a') + "\xC3\xA9@x.org\nZo\xC3\xAB@x.org\n";
    QByteArray utf16(block + 4, 'x');
    utf16[0] = '\xFF';
    utf16[1] = '\xFE';
    utf16.replace(block - 2, 4, "\x3D\xD8\x00\xDE"); // an emoji's pair across the border
    QTest::newRow("encodings") << QList<QByteArray>{"\xFF\xFE" "a\0\r\0\n\0\xe9\0"_ba, "\xFE\xFF\0a\0\r\xD8\x3D"_ba,
                                                    "caf\xE9\nlone\rcr\r\n"_ba, ""_ba, "z\xC3\xA9@x.org"_ba,
                                                    "nbsp\xA0\x7F\x80\x9F\xFF"_ba,
                                                    // UTF-8 at the ends of each kind of lead byte
                                                    "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"
                                                    "\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"_ba};
    QTest::newRow("marks and halves") << QList<QByteArray>{"\xEF\xBB\xBF" "a\xEF\xBB\xBF"_ba, "\xEF\xBB\xBF"_ba,
                                                           "\xFF\xFE"_ba, "\xFF\xFE" "a"_ba, "\xFE"_ba};
    QTest::newRow("line breaks at the end") << QList<QByteArray>{"a\r"_ba, "b\n\n"_ba, "c\r\n\r"_ba, "\n"_ba};
    QTest::newRow("halves of pairs alone") << QList<QByteArray>{"\xFF\xFE" "a\0\r\0\n\0\0\xD8" "b"_ba,
                                                                "\xFF\xFE\0\xDC\0\xD8" "a\0"_ba};
    // UTF-8 but for a character cut off at the very end: Windows-1252 throughout.
    const QByteArray cutAtEnd = "\xC3\xA9\n"_ba + QByteArray(block, 'c') + "\n\xE2\x82";
    QTest::newRow("blocks") << QList<QByteArray>{crossed, late1252, straddled, utf16, cutAtEnd};
}

// Byte for byte the window's line, with a line feed after it.
void TestCommandLine::joinGivesTheWindowsLine()
{
    QFETCH(QList<QByteArray>, files);
    QStringList paths;
    for (qsizetype i = 0; i < files.size(); ++i)
        paths << write(u"list%1.txt"_s.arg(i), files[i]);
    const Run joined = run(QStringList{u"--join"_s} + paths);
    QCOMPARE(joined.status, 0);
    QCOMPARE(joined.errors, QByteArray());
    const QString line = windowsLine(paths);
    QVERIFY(QUtf8StringView(joined.output).isValidUtf8());
    QVERIFY(!line.contains(u'?') && !joined.output.contains('?'));
    QCOMPARE(joined.output, (line + u'\n').toUtf8());
    // Read as lines for the options, with one that changes nothing, the same.
    const Run asLines = run(QStringList{u"--join"_s, u"--exclude=/dev/null"_s} + paths);
    QCOMPARE(asLines.output, joined.output);
}

void TestCommandLine::joinReadsStandardInput()
{
    QCOMPARE(run({u"--join"_s, u"-"_s}, "x\r\ny").output, "x,y,\n"_ba);
    QCOMPARE(run({u"--join"_s}, "caf\xE9").output, "caf\xC3\xA9,\n"_ba);
    QCOMPARE(run({u"--join"_s}).output, "empty file,\n"_ba);
}

void TestCommandLine::needsNoDisplay()
{
    Run version = run({u"--version"_s});
    QCOMPARE(version.output, "kestrava 7.00\n"_ba);
    QCOMPARE(version.status, 0);
    Run help = run({u"--help"_s});
    QVERIFY(help.output.startsWith("Usage: kestrava [options] [FILE...]\n"));
    QVERIFY(help.output.contains("--join"));
    QCOMPARE(help.status, 0);
    const QString a = write(u"a.txt"_s, "a");
    const QString gone = m_dir->filePath(u"gone.txt"_s);
    const QString folder = m_dir->path();
    const Run joined = run({u"--join"_s, a, gone, folder});
    QCOMPARE(joined.output, "a,\n"_ba);
    QCOMPARE(joined.status, 2);
    // Trouble outweighs lines that are no address.
    QCOMPARE(run({u"--join"_s, u"--check"_s, a, gone}).status, 2);
    // Files that are no text are refused by what they are; a list
    // compressed with gzip (twice, too) is read as it was.
    QProcess gzip;
    gzip.start(u"sh"_s, {u"-c"_s, u"printf 'b@x.org\\nc@y.org' | gzip | gzip"_s});
    QVERIFY(gzip.waitForFinished());
    const Run binary = run({u"--join"_s, u"--trim"_s, a, write(u"d.pdf"_s, "%PDF-1.7\n"), write(u"l.gz"_s, gzip.readAllStandardOutput()),
                            write(u"n.txt"_s, QByteArray("x\0y", 3)), write(u"p.png"_s, "\x89PNG\r\n\x1A\n"), write(u"t.gz"_s, "\x1F\x8B\x08")});
    QCOMPARE(binary.output, "a,b@x.org,c@y.org,\n"_ba);
    QCOMPARE(binary.errors, "kestrava: " + m_dir->filePath(u"d.pdf"_s).toUtf8() + ": not a text file (PDF)\nkestrava: "
                                + m_dir->filePath(u"n.txt"_s).toUtf8() + ": not a text file (binary data)\nkestrava: "
                                + m_dir->filePath(u"p.png"_s).toUtf8() + ": not a text file (PNG image)\nkestrava: "
                                + m_dir->filePath(u"t.gz"_s).toUtf8() + ": the gzip data ends early\n");
    QCOMPARE(binary.status, 2);
    QCOMPARE(joined.errors, "kestrava: " + gone.toUtf8() + ": File not found\nkestrava: " + folder.toUtf8()
                                + ": Is a directory\n");
}

void TestCommandLine::wrongOptionsAreTold_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("mistyped") << QStringList{u"--joi"_s, u"x"_s} << "kestrava: unknown option 'joi'\n"_ba;
    QTest::newRow("unknown with --join") << QStringList{u"--join"_s, u"--tirm"_s} << "kestrava: unknown option 'tirm'\n"_ba;
    QTest::newRow("no batch") << QStringList{u"--join"_s, u"--batch=0"_s}
                              << "kestrava: --batch needs a whole number of 1 or more, not '0'\n"_ba;
    QTest::newRow("a batch of words") << QStringList{u"--join"_s, u"--batch=x"_s}
                                      << "kestrava: --batch needs a whole number of 1 or more, not 'x'\n"_ba;
    QTest::newRow("a signed batch") << QStringList{u"--join"_s, u"--batch=+3"_s}
                                    << "kestrava: --batch needs a whole number of 1 or more, not '+3'\n"_ba;
    QTest::newRow("a batch after a space") << QStringList{u"--join"_s, u"--batch= 3"_s}
                                           << "kestrava: --batch needs a whole number of 1 or more, not ' 3'\n"_ba;
    QTest::newRow("tidying without --join") << QStringList{u"--sort"_s} << "kestrava: --sort works only with --join\n"_ba;
    QTest::newRow("batches without --join") << QStringList{u"--batch=3"_s} << "kestrava: --batch works only with --join\n"_ba;
    QTest::newRow("extracting without either") << QStringList{u"--extract"_s}
                                               << "kestrava: --extract works only with --join or --check\n"_ba;
    QTest::newRow("excluding without --join") << QStringList{u"--check"_s, u"--exclude=x"_s}
                                              << "kestrava: --exclude works only with --join\n"_ba;
    QTest::newRow("composing without batches") << QStringList{u"--join"_s, u"--compose"_s}
                                               << "kestrava: --compose works only with --join and --batch, and no --separator\n"_ba;
    QTest::newRow("composing with a separator")
        << QStringList{u"--join"_s, u"--batch=2"_s, u"--compose"_s, u"--separator=;"_s}
        << "kestrava: --compose works only with --join and --batch, and no --separator\n"_ba;
    QTest::newRow("going on without composing") << QStringList{u"--join"_s, u"--batch=2"_s, u"--from-recipient=3"_s}
                                                << "kestrava: --from-recipient works only with --compose\n"_ba;
    QTest::newRow("a subject without composing") << QStringList{u"--join"_s, u"--batch=2"_s, u"--subject=Hi"_s}
                                                 << "kestrava: --subject works only with --compose\n"_ba;
    QTest::newRow("no room beside the To") << QStringList{u"--join"_s, u"--batch=1"_s, u"--compose"_s, u"--to=me@x.org"_s}
                                           << "kestrava: --to counts as one of the --batch recipients: --batch needs 2 "
                                              "or more\n"_ba;
    QTest::newRow("going on from nowhere")
        << QStringList{u"--join"_s, u"--batch=2"_s, u"--compose"_s, u"--from-recipient=0"_s}
        << "kestrava: --from-recipient needs a whole number of 1 or more, not '0'\n"_ba;
    QTest::newRow("vouching without checking") << QStringList{u"--join"_s, u"--allow=x"_s}
                                               << "kestrava: --allow works only with --check\n"_ba;
    QTest::newRow("composing to Cc") << QStringList{u"--join"_s, u"--batch=2"_s, u"--compose=cc"_s}
                                     << "kestrava: --compose needs bcc or to, not 'cc'\n"_ba;
    QTest::newRow("strict without --check") << QStringList{u"--join"_s, u"--strict"_s}
                                            << "kestrava: --strict works only with --check\n"_ba;
}

// Told with or without a display, and never by a crash.
void TestCommandLine::wrongOptionsAreTold()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const Run wrong = run(arguments);
    QCOMPARE(wrong.status, 2);
    QCOMPARE(wrong.errors, message + "Try 'kestrava --help' for more information.\n");
}

void TestCommandLine::writeErrorsAreTold_data()
{
    QTest::addColumn<QString>("output"); // "" for a closed standard output
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("a full disk") << u"/dev/full"_s << "kestrava: write error: No space left on device\n"_ba;
    QTest::newRow("closed output") << QString() << "kestrava: write error: Bad file descriptor\n"_ba;
}

void TestCommandLine::writeErrorsAreTold()
{
    QFETCH(QString, output);
    QFETCH(QByteArray, message);
    const QString six = write(u"six.txt"_s, "abcdef");
    const Run failed = run({u"--join"_s, six}, {}, [output] {
        if (output.isEmpty())
            ::close(STDOUT_FILENO);
        else
            ::dup2(::open(QFile::encodeName(output).constData(), O_WRONLY), STDOUT_FILENO);
    });
    QCOMPARE(failed.status, 2);
    QCOMPARE(failed.errors, message);
}

// Standard input closed, or open for writing only: a device read whole, or
// a file read a block at a time.
void TestCommandLine::closedInputIsTold()
{
    const QByteArray file = QFile::encodeName(write(u"a.txt"_s, "a"));
    for (const char *input : {"", "/dev/null", file.constData()}) {
        const Run failed = run({u"--join"_s}, {}, [input] {
            ::close(STDIN_FILENO);
            if (*input)
                ::open(input, O_WRONLY);
        });
        QCOMPARE(failed.status, 2);
        QCOMPARE(failed.errors, "kestrava: -: Bad file descriptor\n"_ba);
    }
}

// A reader that goes away ends the program by SIGPIPE; with SIGPIPE
// ignored, the first failed write is told and ends it.
void TestCommandLine::brokenPipeEndsItAsOtherTools()
{
    const QString big = write(u"big.txt"_s, QByteArray("abc\n").repeated(5'000'000));
    int ends[2];
    QVERIFY(::pipe(ends) == 0);
    ::close(ends[0]);
    const int writeEnd = ends[1];
    const Run killed = run({u"--join"_s, big}, {}, [writeEnd] { ::dup2(writeEnd, STDOUT_FILENO); });
    QCOMPARE(killed.signal, SIGPIPE);
    const Run told = run({u"--join"_s, big}, {}, [writeEnd] {
        std::signal(SIGPIPE, SIG_IGN);
        ::dup2(writeEnd, STDOUT_FILENO);
    });
    ::close(writeEnd);
    QCOMPARE(told.status, 2);
    QCOMPARE(told.errors, "kestrava: write error: Broken pipe\n"_ba);
}

// Standard input is held whole; when it cannot be, that is told. A file is
// read a block at a time, whatever its size.
void TestCommandLine::outOfMemoryIsTold()
{
    if (underSanitizer)
        QSKIP("the sanitizers need more address space than a limit leaves");
    const QString hugePath = putSparseFile(m_dir->path(), u"huge.txt"_s, qint64(5) << 27);
    const auto limited = [hugePath](bool asInput) {
        return [hugePath, asInput] {
            if (asInput)
                ::dup2(::open(QFile::encodeName(hugePath).constData(), O_RDONLY), STDIN_FILENO);
            ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
            const rlimit limit{rlim_t(1) << 29, rlim_t(1) << 29};
            ::setrlimit(RLIMIT_AS, &limit);
        };
    };
    for (const QStringList &options : {QStringList{u"--join"_s, u"-"_s}, QStringList{u"--join"_s, u"--trim"_s}}) {
        const Run failed = run(options, {}, limited(true));
        QCOMPARE(failed.status, 2);
        QCOMPARE(failed.errors, "kestrava: -: Out of memory\n"_ba);
    }
    // So is a message's body too large to hold; nothing is composed.
    const Run body = run({u"--join"_s, u"--batch=2"_s, u"--compose"_s, u"--body-file="_s + hugePath}, "a@x.org\n", limited(false));
    QCOMPARE(body.errors, "kestrava: " + hugePath.toUtf8() + ": Out of memory\n");
    QCOMPARE(body.status, 2);
    const Run streamed = run({u"--join"_s, hugePath}, {}, limited(false));
    QCOMPARE(streamed.errors, QByteArray());
    QCOMPARE(streamed.status, 0);
    // Every option but --unique and --sort streams: a list of 300 MB of
    // blank lines in 128 MB of address space.
    const QString blank = m_dir->filePath(u"blank.txt"_s);
    QFile file(blank);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray lines = (QByteArray(1023, ' ') + '\n').repeated(1024);
    for (int megabyte = 0; megabyte < 300; ++megabyte)
        QVERIFY(file.write(lines) == lines.size());
    file.close();
    const Run options = run({u"--join"_s, u"--extract"_s, u"--trim"_s, u"--check"_s, u"--skip-empty"_s, u"--exclude"_s,
                             write(u"listed.txt"_s, "a@x.org\n"), blank},
                            {}, [] {
                                const rlimit limit{rlim_t(1) << 27, rlim_t(1) << 27};
                                ::setrlimit(RLIMIT_AS, &limit);
                            });
    QCOMPARE(options.errors, QByteArray());
    QCOMPARE(options.output, "\n"_ba);
    // So does a line of 200 MB, held a piece at a time.
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray addresses = QByteArray("a@x.org,").repeated(1 << 17);
    for (int megabyte = 0; megabyte < 200; ++megabyte)
        QVERIFY(file.write(addresses) == addresses.size());
    file.close();
    for (const QStringList &chosen : {QStringList{u"--extract"_s, u"--check"_s, u"--skip-empty"_s}, {u"--trim"_s}}) {
        const qint64 peak = peakMemoryOf(QStringList{u"--join"_s} + chosen + QStringList{blank});
        QVERIFY2(peak > 0 && peak < (64 << 20), qPrintable(chosen.join(u' ') + u": "_s + QString::number(peak)));
    }
    // --unique keeps the lines that differ in at most one and a half times
    // the list: four million of 25 bytes.
    QVERIFY(file.open(QIODevice::WriteOnly));
    QRandomGenerator random(8);
    for (int block = 0; block < 40; ++block) {
        QByteArray lines;
        for (int i = 0; i < 100'000; ++i)
            lines += 'a' + QByteArray::number(random.generate64() % 100'000'000'000ull).rightJustified(11, '0') + "@example.org\n";
        QVERIFY(file.write(lines) == lines.size());
    }
    file.close();
    const qint64 peak = peakMemoryOf({u"--join"_s, u"--unique"_s, blank});
    QVERIFY2(peak > 0 && peak <= file.size() * 3 / 2, qPrintable(QString::number(peak)));
}

// A line longer than the options hold whole (4 MiB) goes through a piece at
// a time: joined as it is, its addresses found, told as no address cut
// short, and refused by --unique and --sort, which must compare it.
void TestCommandLine::aLineTooLongToHoldGoesThroughInPieces()
{
    QByteArrayList addresses;
    for (int i = 0; i < 500'000; ++i)
        addresses << "u" + QByteArray::number(i) + "@x.org";
    const QByteArray longLine = "  " + addresses.join(", ") + " \t";
    const QByteArray blanks(5 << 20, ' ');
    const QString list = write(u"list.txt"_s, "first@x.org\n" + longLine + "\n" + blanks + "\nlast@x.org");
    const QByteArray name = QFile::encodeName(list);
    // The window puts a line break after the last line: one more, empty item.
    QCOMPARE(run({u"--join"_s, u"--separator=|"_s, list}).output, "first@x.org|" + longLine + '|' + blanks + "|last@x.org|\n");
    QCOMPARE(run({u"--join"_s, u"--separator=|"_s, u"--trim"_s, u"--skip-empty"_s, list}).output,
             "first@x.org|" + longLine.trimmed() + "|last@x.org\n");
    QCOMPARE(run({u"--join"_s, u"--separator=|"_s, u"--trim"_s, list}).output,
             "first@x.org|" + longLine.trimmed() + "||last@x.org|\n");
    QCOMPARE(run({u"--join"_s, u"--separator=|"_s, u"--extract"_s, list}).output,
             "first@x.org|" + addresses.join('|') + "|last@x.org\n");
    const Run checked = run({u"--join"_s, u"--separator=|"_s, u"--check"_s, list});
    QCOMPARE(checked.errors, name + ":2: the line is longer than any address can be: " + longLine.first(80)
                                 + "\u2026 (" + QByteArray::number(longLine.size()) + " bytes)\n" + name
                                 + ":3: the line is longer than any address can be: " + blanks.first(80)
                                 + "\u2026 (5242880 bytes)\n");
    QCOMPARE(checked.output, "first@x.org|last@x.org|\n");
    QCOMPARE(checked.status, 1);
    // An address book has no room for it: counted as no address.
    const Run exported = run({u"--join"_s, u"--export=csv"_s, list});
    QCOMPARE(exported.output, "Name,E-mail Address\r\n,first@x.org\r\n,last@x.org\r\n"_ba);
    QCOMPARE(exported.errors, "kestrava: 1 line that is no address left out\n"_ba);
    // Blanks where the pieces meet stay inside the one item they belong to.
    const QByteArray spaced = (QByteArray((1 << 20) - 16, 'y') + QByteArray(16, ' ')).repeated(6) + 'y';
    QCOMPARE(run({u"--join"_s, u"--batch=2"_s, write(u"spaced.txt"_s, "a@x.org\n" + spaced + "\nb@y.org\nc@z.org\n")}).output,
             "a@x.org," + spaced + "\nb@y.org,c@z.org\n");
    // A file of that line alone, no line break after it.
    QCOMPARE(run({u"--join"_s, u"--separator=|"_s, write(u"one.txt"_s, longLine)}).output, longLine + "|\n");
    for (const QString &option : {u"--unique"_s, u"--sort"_s}) {
        const Run refused = run({u"--join"_s, option, list});
        QCOMPARE(refused.errors, "kestrava: " + name + ":2: a line longer than 4 MiB cannot be sorted or "
                                 "compared: --unique and --sort take shorter lines\n");
        QCOMPARE(refused.status, 2);
        QCOMPARE(refused.output, QByteArray());
    }
}

// --sort that cannot spill to TMPDIR, and --unique that runs out of
// memory, end the run with their own message, not blaming the input.
void TestCommandLine::failedSortingOrRememberingEndsTheRun()
{
    QByteArray lines;
    for (int i = 0; i < 2'000'000; ++i)
        lines += QByteArray::number(i) + "@x.org\n";
    const QString list = write(u"list.txt"_s, lines);
    const QByteArray savedFolder = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent");
    for (const QStringList &options : {QStringList{u"--sort"_s}, QStringList{u"--unique"_s, u"--sort"_s}}) {
        const Run failed = run(QStringList{u"--join"_s} + options + QStringList{list});
        QCOMPARE(failed.signal, 0);
        QCOMPARE(failed.status, 2);
        QCOMPARE(failed.errors, "kestrava: cannot make a temporary file in /nonexistent (TMPDIR): No such file or directory\n"_ba);
        QCOMPARE(failed.output, QByteArray());
    }
    qputenv("TMPDIR", savedFolder);
    if (underSanitizer)
        return;
    const Run remembering = run({u"--join"_s, u"--unique"_s, list}, {}, [] {
        ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
        const rlimit limit{rlim_t(1) << 27, rlim_t(1) << 27};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    QCOMPARE(remembering.signal, 0);
    QCOMPARE(remembering.status, 2);
    QCOMPARE(remembering.errors, "kestrava: out of memory: the lines --unique and --sort keep do not fit\n"_ba);
}

void TestCommandLine::tidyingAsTheWindowTidies_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("entries"); // of the input's menu, in turn
    QTest::newRow("trim") << QStringList{u"--trim"_s} << QStringList{u"Trim Spaces"_s};
    QTest::newRow("skip empty") << QStringList{u"--skip-empty"_s} << QStringList{u"Remove Empty Lines"_s};
    QTest::newRow("unique") << QStringList{u"--unique"_s} << QStringList{u"Remove Duplicate Lines"_s};
    QTest::newRow("sort") << QStringList{u"--sort"_s} << QStringList{u"By Line"_s};
    QTest::newRow("sort by address") << QStringList{u"--sort=address"_s} << QStringList{u"By Address"_s};
    QTest::newRow("sort by domain") << QStringList{u"--sort=domain"_s} << QStringList{u"By Domain"_s};
    QTest::newRow("one mailbox") << QStringList{u"--unique"_s, u"--same-mailbox"_s}
                                 << QStringList{sameMailboxEntry, u"Remove Duplicate Lines"_s};
    QTest::newRow("all, in their order")
        << QStringList{u"--sort=domain"_s, u"--unique"_s, u"--skip-empty"_s, u"--trim"_s, u"--extract"_s}
        << QStringList{u"Extract Addresses"_s, u"Trim Spaces"_s, u"Remove Empty Lines"_s, u"Remove Duplicate Lines"_s,
                       u"By Domain"_s};
    QTest::newRow("extract") << QStringList{u"--extract"_s} << QStringList{u"Extract Addresses"_s};
}

// The options tidy the lines as the input's menu does, then join them as
// "Start Joining" does.
void TestCommandLine::tidyingAsTheWindowTidies()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, entries);
    const QStringList paths = {write(u"one.txt"_s, " b@x.org\r\nA@x.org\r\n\r\na@x.org\r\n \t\r\nc@x.org \r\nno address\r\n"),
                               write(u"two.txt"_s, "Zo\xC3\xAB@x.org\nb@x.org\n\nBob <B@X.ORG>, (d@x.org).\n"
                                                   "Ann <a.nn+news@GoogleMail.com>\nann@gmail.com\nz@mail.x.org\n"
                                                   "ann@x.org\nann@a.co.uk\nbo@A.x.org\n")};
    m_driver->form->openFiles(paths);
    const auto restore = qScopeGuard([&] {
        if (entries.contains(sameMailboxEntry))
            choose(m_driver->input(), sameMailboxEntry);
    });
    for (const QString &entry : entries)
        choose(m_driver->input(), entry);
    m_driver->click("PushButton17");
    const Run tidied = run(QStringList{u"--join"_s} + options + paths);
    QCOMPARE(tidied.status, 0);
    QCOMPARE(QString::fromUtf8(tidied.output), m_driver->output()->text() + u'\n');
}

void TestCommandLine::separatorsAndBatches_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    const QByteArray list = " b@x.org\r\nA@x.org\r\n\r\na@x.org\r\nc@x.org \r\n";
    QTest::newRow("everything, as in the manual")
        << QStringList{u"--trim"_s, u"--skip-empty"_s, u"--unique"_s, u"--sort"_s, u"--separator=; "_s, u"--batch=2"_s}
        << list << "A@x.org; b@x.org\nc@x.org\n"_ba;
    QTest::newRow("a separator alone keeps every item")
        << QStringList{u"--separator=; "_s} << list << " b@x.org; A@x.org; ; a@x.org; c@x.org ; ; \n"_ba;
    QTest::newRow("batches of three") << QStringList{u"--batch=3"_s, u"--skip-empty"_s} << "1\n2\n3\n4\n5\n6\n7"_ba
                                      << "1,2,3\n4,5,6\n7\n"_ba;
    QTest::newRow("batches of nine") << QStringList{u"--batch=9"_s} << "1\n2\n3\n4\n5\n6\n7\n8\n9\n10"_ba
                                     << "1,2,3,4,5,6,7,8,9\n10\n"_ba;
    QTest::newRow("batches hold no empty item") << QStringList{u"--batch=2"_s} << "1\n\n2\n \n3\n"_ba << "1,2\n3\n"_ba;
    QTest::newRow("nor make an empty line") << QStringList{u"--batch=2"_s} << "\n\n"_ba << QByteArray();
    QTest::newRow("nothing matched") << QStringList{u"--skip-empty"_s} << QByteArray() << "\n"_ba;
    QTest::newRow("an empty file kept") << QStringList{u"--unique"_s} << QByteArray() << "empty file,\n"_ba;
    QTest::newRow("more than a megabyte") << QStringList{u"--trim"_s} << "ann@x.org\n"_ba.repeated(200'000)
                                          << "ann@x.org,"_ba.repeated(200'000) + ",\n";
}

void TestCommandLine::separatorsAndBatches()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    const Run joined = run(QStringList{u"--join"_s} + options, input);
    QCOMPARE(joined.status, 0);
    QCOMPARE(joined.output, output);
}

void TestCommandLine::sortedAsSortAndPaste_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("sortOptions");
    QTest::newRow("sorted") << QStringList{u"--trim"_s, u"--skip-empty"_s, u"--sort"_s} << u"-s -f"_s;
    QTest::newRow("sorted, once each") << QStringList{u"--trim"_s, u"--skip-empty"_s, u"--unique"_s, u"--sort"_s}
                                       << u"-s -f -u"_s;
    QTest::newRow("once each") << QStringList{u"--skip-empty"_s, u"--unique"_s} << QString();
}

// Seeded random lists through --join and through sed, grep, sort and paste,
// which must agree. Letters, digits and the signs of addresses only: sort -f
// folds to capitals, so that _ and [ would sort after letters there and
// before them here.
void TestCommandLine::sortedAsSortAndPaste()
{
    QFETCH(QStringList, options);
    QFETCH(QString, sortOptions);
    // Thousands of addresses, each twice, the second time in capitals
    // here and there: once each, as awk and sort keep them.
    QRandomGenerator addresses(12);
    QByteArrayList listed;
    for (int i = 0; i < 30'000; ++i)
        listed << "user" + QByteArray::number(addresses.bounded(1'000'000)) + ".x@dom" + QByteArray::number(addresses.bounded(50))
                      + ".org";
    QByteArrayList twice = listed;
    for (const QByteArray &address : listed)
        twice << (addresses.bounded(2) ? address.toUpper() : address);
    std::shuffle(twice.begin(), twice.end(), addresses);
    const QString many = write(u"twice.txt"_s, twice.join('\n') + '\n');
    QProcess model;
    const QString modelCommand = options.contains(u"--sort"_s)
                                     ? u"grep -v '^$' '%1' | LC_ALL=C sort %2 | paste -sd, -"_s.arg(many, sortOptions)
                                     : u"LC_ALL=C awk 'NF && !seen[tolower($0)]++' '%1' | paste -sd, -"_s.arg(many);
    model.start(u"sh"_s, {u"-c"_s, modelCommand});
    QVERIFY(model.waitForFinished(60'000));
    QCOMPARE(run(QStringList{u"--join"_s} + options + QStringList{many}).output, model.readAllStandardOutput());
    if (!options.contains(u"--sort"_s))
        return;
    QRandomGenerator random(11);
    const QByteArray alphabet = "abcABC019.-@ ";
    for (int list = 0; list < 20; ++list) {
        // Most lines of every other list start alike, some with less of it.
        const QByteArray stem = list % 2 ? "Ab.c-1@" : "";
        QByteArray bytes;
        for (int line = random.bounded(40); line > 0; --line) {
            bytes += stem.left(random.bounded(8) == 0 ? random.bounded(stem.size() + 1) : stem.size());
            for (int c = random.bounded(6); c > 0; --c)
                bytes += alphabet[random.bounded(alphabet.size())];
            bytes += random.bounded(3) == 0 ? "\t\n" : "\n";
        }
        const QString path = write(u"random%1.txt"_s.arg(list), bytes);
        QProcess tools;
        tools.start(u"sh"_s, {u"-c"_s, u"sed -e 's/^[ \t]*//' -e 's/[ \t]*$//' '%1' | grep -v '^$' | LC_ALL=C sort %2 | paste -sd, -"_s
                                         .arg(path, sortOptions)});
        QVERIFY(tools.waitForFinished(30'000));
        const Run joined = run(QStringList{u"--join"_s} + options + QStringList{path});
        QCOMPARE(joined.output, tools.readAllStandardOutput());
    }
}

void TestCommandLine::addressOptions_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("errors");
    const QByteArray mixed = "Ann <ann@x.org>\nbob@y.org; carl@z\n";
    QTest::newRow("as in the manual") << QStringList{u"--join"_s, u"--extract"_s, u"--check"_s} << mixed
                                      << "ann@x.org,bob@y.org\n"_ba << "-:2: the domain has no dot: carl@z\n"_ba;
    QTest::newRow("checking alone prints nothing else") << QStringList{u"--check"_s} << mixed << QByteArray()
                                                        << "-:2: more than one address: bob@y.org; carl@z\n"_ba;
    QTest::newRow("lines counted in their own file") << QStringList{u"--check"_s, u"--trim"_s}
                                                     << "a@x.org\r\n\n \tmary@yahoo \rb@x.org"_ba << QByteArray()
                                                     << "-:3: the domain has no dot: mary@yahoo\n"_ba;
    QTest::newRow("all is well") << QStringList{u"--check"_s} << "a@x.org\n\n"_ba << QByteArray() << QByteArray();
    // A line is told whole up to 160 bytes; a longer one by its start.
    QTest::newRow("told whole, or by its start") << QStringList{u"--check"_s} << QByteArray(160, 'x') + '\n' + QByteArray(161, 'y')
                                                 << QByteArray()
                                                 << "-:1: no @: " + QByteArray(160, 'x') + "\n-:2: no @: " + QByteArray(80, 'y')
                                                        + "\u2026 (161 bytes)\n";
    const QByteArray likelyLost = "ann@gmial.com\nbob@example.com\n";
    const QByteArray warnings = "-:1: warning: did you mean ann@gmail.com?: ann@gmial.com\n"
                                "-:2: warning: example.com is reserved for examples: bob@example.com\n";
    QTest::newRow("warnings keep the address") << QStringList{u"--join"_s, u"--check"_s, u"--extract"_s}
                                               << likelyLost + "Ann <ann@hotmail.con>\ncarl@z\n"
                                               << "ann@gmial.com,bob@example.com,ann@hotmail.con\n"_ba
                                               << warnings + "-:3: warning: did you mean ann@hotmail.com?: ann@hotmail.con\n"
                                                             "-:4: the domain has no dot: carl@z\n";
    QTest::newRow("warnings alone") << QStringList{u"--check"_s} << likelyLost << QByteArray() << warnings;
    QTest::newRow("warnings that fail") << QStringList{u"--check"_s, u"--strict"_s} << likelyLost << QByteArray() << warnings;
    QTest::newRow("a real domain of a short name, strictly") << QStringList{u"--check"_s, u"--strict"_s}
                                                             << "x@aol.co\nx@yahoo.se\n"_ba << QByteArray() << QByteArray();
    QTest::newRow("no-reply, role and throwaway addresses") << QStringList{u"--check"_s}
        << "noreply@x.org\nInfo+list@firm.org\nann@mailinator.com\nann@firm.org\n"_ba << QByteArray()
        << "-:1: warning: a no-reply address, which no one reads: noreply@x.org\n-:2: warning: info is a role, not a "
           "person: Info+list@firm.org\n-:3: warning: mailinator.com hands out throwaway addresses: ann@mailinator.com\n"_ba;
    QTest::newRow("no warnings") << QStringList{u"--check"_s, u"--no-warnings"_s} << likelyLost + "carl@z\n" << QByteArray()
                                 << "-:3: the domain has no dot: carl@z\n"_ba;
    // Input no list should hold breaks nothing.
    QTest::newRow("a million commas") << QStringList{u"--join"_s, u"--extract"_s} << QByteArray(1'000'000, ',') + "a@x.org"
                                      << "a@x.org\n"_ba << QByteArray();
    QTest::newRow("brackets that never close") << QStringList{u"--join"_s, u"--extract"_s}
                                               << QByteArray(10'000, '<') + " a@x.org, b@x.org" << "a@x.org,b@x.org\n"_ba
                                               << QByteArray();
    QTest::newRow("comments that never close") << QStringList{u"--join"_s, u"--extract"_s}
                                               << QByteArray(100'000, '(') + " a@x.org, b@x.org" << "a@x.org,b@x.org\n"_ba
                                               << QByteArray();
    QTest::newRow("NUL bytes and no UTF-8") << QStringList{u"--join"_s, u"--extract"_s, u"--check"_s}
                                            << "a@x.org\0\xFF b@x\0.org"_ba << "a@x.org\n"_ba
                                            << "-:1: the domain has no dot: b@x\n"_ba;
    QTest::newRow("only mailboxes, however mail writes them")
        << QStringList{u"--join"_s, u"--extract"_s}
        << "\"bob@y.org\" <ann@x.org>\nann@x.org (formerly ann@old.org)\nmail:: YW5uQHgub3Jn\n"
           "EMAIL:firstname.lastname@engin\r\n eering.example.org\na\xE2\x98\x83" "b@x.org\nmailto:?to=a@x.org,b@x.org\n"_ba
        << "ann@x.org,ann@x.org,ann@x.org,firstname.lastname@engineering.example.org,a\xE2\x98\x83" "b@x.org,a@x.org,b@x.org\n"_ba
        << QByteArray();
    QTest::newRow("one recipient however written") << QStringList{u"--join"_s, u"--unique"_s, u"--skip-empty"_s}
                                                   << "Ann <ANN@x.org>\nann@x.org\nann@m\xC3\xBCnchen.de\nann@XN--MNCHEN-3YA.de\n"_ba
                                                   << "Ann <ANN@x.org>,ann@m\xC3\xBCnchen.de\n"_ba << QByteArray();
}

// --extract, --check and --exclude, in their order among the options.
void TestCommandLine::addressOptions()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);
    const Run joined = run(options, input);
    QCOMPARE(joined.errors, errors);
    QCOMPARE(joined.output, output);
    // Warnings fail a run only when it is strict.
    const bool failed = options.contains(u"--strict"_s) ? !errors.isEmpty()
                                                        : errors.count('\n') > errors.count(": warning: ");
    QCOMPARE(joined.status, failed ? 1 : 0);
    // What the user vouches for is warned of not at all: the files --allow
    // names, and their own.
    if (errors.contains("warning")) {
        QTemporaryDir config;
        putFile(config.path(), u"kestrava/allow.txt"_s, "# mine\nfirm.org\n");
        const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString allowed = write(u"allow.txt"_s, "NoReply@X.org\nmailinator.com # a test service\ngmial.com\n"
                                                      "example.com\nhotmail.con\n");
        const Run vouched = run(QStringList{u"--allow="_s + allowed} + options, input);
        qputenv("XDG_CONFIG_HOME", savedConfig);
        QByteArray unwarned;
        for (const QByteArray &line : errors.split('\n'))
            if (!line.isEmpty() && !line.contains(": warning: "))
                unwarned += line + '\n';
        QCOMPARE(vouched.errors, unwarned);
    }
    // Addresses left out as three files list them, once each; the last line
    // of a contact, which might have gone on, counts too.
    const QStringList lists = {write(u"a.vcf"_s, "EMAIL:a@x.org"), write(u"bounced.txt"_s, "B@X.org\n"),
                               write(u"unsubscribed.csv"_s, "\"Lee, Carl\",carl@z.org\n")};
    const Run excluded = run({u"--join"_s, u"--exclude="_s + lists[0], u"--exclude="_s + lists[1], u"--exclude"_s, lists[2],
                              u"--skip-empty"_s},
                             "a@x.org\nBob <b@x.org>\nb@x.org (Bob)\n\"b\"@x.org\ncarl@z.org\nd@x.org\n");
    QCOMPARE(excluded.output, "d@x.org\n"_ba);
    // --only keeps what every such list holds, whatever the case or name.
    const QByteArray lines = "a@x.org\nBob <b@x.org>\nb@x.org (Bob)\n\"b\"@x.org\ncarl@z.org\n";
    const QString report = m_dir->filePath(u"only-report.txt"_s);
    QCOMPARE(run({u"--join"_s, u"--only="_s + lists[1], u"--report="_s + report}, lines).output,
             "Bob <b@x.org>,b@x.org (Bob),\"b\"@x.org\n"_ba);
    QCOMPARE(readFile(report), "-:1: not listed in " + lists[1].toUtf8() + ": a@x.org\n-:5: not listed in "
                                   + lists[1].toUtf8() + ": carl@z.org\n");
    QCOMPARE(run({u"--join"_s, u"--only="_s + lists[1], u"--only="_s + lists[2]}, lines).output, "\n"_ba);
    QCOMPARE(run({u"--join"_s, u"--only="_s + lists[0], u"--skip-empty"_s}, lines).output, "a@x.org\n"_ba);
    // A file's last line, though it may be folded, never goes on in the next
    // file.
    const Run extracted = run({u"--join"_s, u"--extract"_s, write(u"a.vcf"_s, "EMAIL:ann@x.org"), write(u"b.txt"_s, " bob@y.org\n")});
    QCOMPARE(extracted.output, "ann@x.org,bob@y.org\n"_ba);
    // An address book folded inside a character is still UTF-8.
    const Run folded = run({u"--join"_s, u"--extract"_s,
                            write(u"b.vcf"_s, "BEGIN:VCARD\r\nFN:Zo\xC3\r\n \xAB Lee\r\nEMAIL:zoe@x.org\r\nEND:VCARD\r\n")});
    QCOMPARE(folded.output, "Zo\xC3\xAB Lee <zoe@x.org>\n"_ba);
}

// Each batch goes to the mail program. Without a terminal only the first
// opens; on one, Enter opens each next, never the first; whatever is not
// written is told, with the option that goes on from it.
void TestCommandLine::batchesToTheMailProgram()
{
    MailHandler handler;
    const QByteArray list = "a@x.org\n\"Lee, Ann\" <ann@x.org>\nb@y.org\n\nzo\xC3\xAB@z.org\n";
    const auto compose = [&list](const QStringList &options, const std::function<void()> &setUp = {}) {
        return run(QStringList{u"--join"_s} + options, list, setUp, QProcess::SeparateChannels, true);
    };
    const Run first = compose({u"--batch=2"_s, u"--compose"_s});
    QCOMPARE(first.status, 0);
    QCOMPARE(first.output, QByteArray());
    QCOMPARE(first.errors, "kestrava: batch 1: recipients 1-2\nkestrava: recipients 3-4 (batch 2) not written: without "
                           "a terminal to wait at, one batch is written at a time; go on with --from-recipient=3\n"_ba);
    const Run next = compose({u"--batch=2"_s, u"--compose"_s, u"--from-recipient=3"_s});
    QCOMPARE(next.errors, "kestrava: batch 2: recipients 3-4\n"_ba);
    const Run to = compose({u"--batch=3"_s, u"--compose=to"_s, u"--skip-empty"_s, u"--from-recipient=2"_s});
    QCOMPARE(to.errors, "kestrava: batch 1: recipients 2-3\nkestrava: recipient 4 (batch 2) not written: without a "
                        "terminal to wait at, one batch is written at a time; go on with --from-recipient=4\n"_ba);
    QCOMPARE(handler.links(), QStringList({u"mailto:?bcc=a@x.org,%22Lee%2C%20Ann%22%20%3Cann@x.org%3E"_s,
                                           u"mailto:?bcc=b@y.org,zo%C3%AB@z.org"_s,
                                           u"mailto:?to=%22Lee%2C%20Ann%22%20%3Cann@x.org%3E,b@y.org"_s}));
    // Every message carries the To, subject and body given, as Python reads
    // the link; the To is one of a batch's recipients.
    const QString body = write(u"body.txt"_s, "Dear all,\nZo\xC3\xAB & co\r\n100% sure?\n");
    const Run message = compose({u"--batch=3"_s, u"--compose"_s, u"--to=Me <me@x.org>"_s, u"--subject=Hi, all & more"_s,
                                 u"--body-file="_s + body});
    QVERIFY(message.errors.startsWith("kestrava: batch 1: recipients 1-2\n"));
    QCOMPARE(linkAsPythonReads(handler.links().constLast()), "Me <me@x.org>|a@x.org,\"Lee, Ann\" <ann@x.org>||Hi, all & "
                                                            "more|Dear all,\r\nZo\xC3\xAB & co\r\n100% sure?\r\n"_ba);

    // On a terminal: Enter once, then Ctrl+D.
    int terminal = -1;
    int userSide = -1;
    QVERIFY(::openpty(&terminal, &userSide, nullptr, nullptr, nullptr) == 0);
    QCOMPARE(::write(terminal, "\n\x04", 2), 2);
    const Run asked = compose({u"--batch=1"_s, u"--compose"_s, u"--skip-empty"_s, write(u"list.txt"_s, list)},
                              [userSide] { ::dup2(userSide, STDIN_FILENO); });
    ::close(userSide);
    ::close(terminal);
    const QByteArray prompt = "kestrava: press Enter for the next batch, or Ctrl+D to stop: ";
    QCOMPARE(asked.errors, "kestrava: batch 1: recipient 1\n" + prompt + "kestrava: batch 2: recipient 2\n" + prompt
                               + "\nkestrava: recipients 3-4 (batches 3-4) not written; go on with --from-recipient=3\n");
    QCOMPARE(asked.status, 0);

    handler.fail("no composer today");
    const Run failed = compose({u"--batch=2"_s, u"--compose"_s});
    QCOMPARE(failed.status, 2);
    QCOMPARE(failed.errors, "kestrava: the mail program could not be opened: no composer today\nkestrava: recipients 1-4 "
                            "(batches 1-2) not written; go on with --from-recipient=1\n"_ba);
    handler.crash();
    QVERIFY2(compose({u"--batch=2"_s, u"--compose"_s}).errors.contains("killed by signal 11 (Segmentation fault)"),
             "a composer killed by a signal is told by the signal");

    // A batch in two messages, the second failing: the first's recipients
    // are not written again.
    QByteArray named;
    for (int i = 1; i <= 500; ++i)
        named += "\"" + QByteArray("\xC3\x86").repeated(60) + ' ' + QByteArray::number(i) + "\" <a" + QByteArray::number(i) + "@x.org>\n";
    // A mail program of its own, whose links are this run's alone.
    MailHandler splitting;
    splitting.failAfter(1, "the second message failed");
    const QStringList split = {u"--join"_s, u"--batch=500"_s, u"--compose"_s, u"--skip-empty"_s};
    const Run half = run(split, named, {}, QProcess::SeparateChannels, true);
    QCOMPARE(splitting.links().size(), 1);
    const QByteArray cut = QByteArray::number(MailtoLinks::recipientsIn(splitting.links().constLast()) + 1);
    QCOMPARE(half.errors, "kestrava: the mail program could not be opened: the second message failed\nkestrava: batch 1: "
                          "recipients 1-" + QByteArray::number(cut.toInt() - 1) + "\nkestrava: recipients " + cut
                              + "-500 (batch 1) not written; go on with --from-recipient=" + cut + "\n");
    splitting.succeed();
    const Run rest = run(split + QStringList{u"--from-recipient="_s + QString::fromLatin1(cut)}, named, {},
                         QProcess::SeparateChannels, true);
    QCOMPARE(rest.status, 0);
    QStringList recipients;
    for (const QString &link : splitting.links())
        for (const QString &item : link.sliced(12).split(u','))
            recipients << QUrl::fromPercentEncoding(item.toLatin1());
    QCOMPARE(recipients.join(u'\n') + u'\n', QString::fromUtf8(named));
}

namespace {

// A kind of line in the random lists: its text, the key of its address
// (lower case; empty for none), and how many addresses it holds.
struct LineKind
{
    QByteArray text;
    QByteArray key;
    int addresses = 0;
};

const QList<LineKind> lineKinds = {
    {"ann@x.org", "ann@x.org", 1},        {"ANN@x.org", "ann@x.org", 1},
    {" bob@y.org\t", "bob@y.org", 1},     {"Carl <carl@z.org>", "carl@z.org", 1},
    {"dee@w.org", "dee@w.org", 1},        {"", "", 0},
    {" \t", "", 0},                        {"not an address", "", 0},
    {"carl@z", "", 1},                     {"x@bounced.org", "x@bounced.org", 1},
    {"Bounced <X@bounced.org>", "x@bounced.org", 1}, {"a1@x.org, b1@x.org", "", 2},
    {"Ann <ann@x.org>; eve@v.org", "", 2},
};

const LineKind *kindOf(QByteArrayView text)
{
    for (const LineKind &kind : lineKinds)
        if (kind.text.trimmed() == text.trimmed())
            return &kind;
    return nullptr;
}

} // namespace

// Seeded random lists through random options: each line reported as
// removed went by the rule its reason names, and lines kept plus lines
// removed are the lines read (a line split counting as its addresses).
void TestCommandLine::everyRemovedLineIsReported()
{
    QRandomGenerator random(26);
    const QString bounced = write(u"bounced.txt"_s, "x@bounced.org\n");
    const QString gone = write(u"gone.txt"_s, "dee@w.org\n");
    const QString report = m_dir->filePath(u"report.txt"_s);
    const QStringList choices = {u"--extract"_s, u"--check"_s, u"--trim"_s, u"--skip-empty"_s, u"--unique"_s,
                                 u"--exclude="_s + bounced, u"--exclude="_s + gone};
    for (int round = 0; round < 24; ++round) {
        QStringList options = {u"--join"_s, u"--separator=|"_s, u"--report="_s + report};
        for (const QString &choice : choices)
            if (random.bounded(2))
                options << choice;
        QMap<QString, QByteArrayList> files;
        qsizetype read = 0;
        for (const QString &name : {u"one.txt"_s, u"two.txt"_s}) {
            QByteArrayList lines;
            for (int line = random.bounded(30); line > 0; --line)
                lines << lineKinds[random.bounded(lineKinds.size())].text;
            read += lines.size();
            // Its last line break leaves an empty line, which is no line of
            // the file: joined as the window joins it, never reported.
            lines << QByteArray();
            files[write(name, lines.join('\n'))] = lines;
        }
        const Run joined = run(options + files.keys());
        const bool extract = options.contains(u"--extract"_s);
        qsizetype removed = 0;
        std::pair<QByteArray, int> last; // the file and line told last
        QFile reported(report);
        QVERIFY(reported.open(QIODevice::ReadOnly));
        for (const QByteArray &line : reported.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QList<QByteArray> parts = line.split(':');
            QVERIFY2(parts.size() >= 4, line.constData());
            // No text in these lists holds ": ", which reasons may.
            const qsizetype reasonAt = line.indexOf(": ") + 2;
            const QByteArray text = line.mid(line.lastIndexOf(": ") + 2);
            const QByteArray reason = line.mid(reasonAt, line.lastIndexOf(": ") - reasonAt);
            const QByteArray raw = files[QString::fromUtf8(parts[0])].value(parts[1].toInt() - 1);
            const LineKind *kind = kindOf(raw);
            QVERIFY2(kind, line.constData());
            // In the order of the lines; a line split is told before its addresses.
            const std::pair<QByteArray, int> place{parts[0], parts[1].toInt()};
            QVERIFY2(place > last || (place == last && !reason.endsWith(" addresses found")), line.constData());
            last = place;
            // The text is the line's, or with --extract one of its addresses.
            QVERIFY2(extract ? raw.contains(text) : text.trimmed() == raw.trimmed(), line.constData());
            if (reason.endsWith(" addresses found")) {
                QVERIFY2(extract && kind->addresses == reason.split(' ').first().toInt(), line.constData());
                removed -= kind->addresses - 1;
                continue;
            }
            ++removed;
            if (reason == "empty")
                QVERIFY2(options.contains(u"--skip-empty"_s) && text.trimmed().isEmpty(), line.constData());
            else if (reason == "no address found")
                QVERIFY2(extract && kind->addresses == 0, line.constData());
            else if (reason.startsWith("not an address: "))
                QVERIFY2(options.contains(u"--check"_s) && kindOf(text) && kindOf(text)->key.isEmpty(), line.constData());
            else if (reason == "listed in " + bounced.toUtf8())
                QVERIFY2(text.toLower().contains("x@bounced.org"), line.constData());
            else if (reason == "listed in " + gone.toUtf8())
                QVERIFY2(text.contains("dee@w.org"), line.constData());
            else if (reason.startsWith("duplicate of ")) {
                // Of an earlier line of this file or the one before.
                const QByteArray first = reason.mid(13);
                const QString firstFile = first.startsWith("line ") ? QString::fromUtf8(parts[0])
                                                                    : QString::fromUtf8(first.left(first.lastIndexOf(':')));
                const int firstNumber = first.mid(first.lastIndexOf(first.startsWith("line ") ? ' ' : ':') + 1).toInt();
                const QByteArray firstLine = files[firstFile].value(firstNumber - 1);
                QVERIFY2(options.contains(u"--unique"_s) && kindOf(firstLine), line.constData());
                QVERIFY2((std::pair{QFile::encodeName(firstFile), firstNumber} < place), line.constData());
                QVERIFY2(extract ? firstLine.toLower().contains(text.trimmed().toLower()) : kind->key == kindOf(firstLine)->key,
                         line.constData());
            }
            else
                QFAIL(line.constData());
        }
        const QByteArray output = joined.output.chopped(1);
        const qsizetype kept = output.isEmpty() && extract ? 0 : output.split('|').size();
        // So is the one after the last file.
        const bool emptiesKept = !extract && !options.contains(u"--skip-empty"_s);
        QCOMPARE(kept - (emptiesKept ? files.size() + 1 : 0) + removed, read);
    }
    // A report that cannot be written is told and fails the run; the lines
    // are still joined.
    for (const QString &path : {u"/dev/full"_s, m_dir->filePath(u"gone/report.txt"_s)}) {
        const Run failed = run({u"--join"_s, u"--skip-empty"_s, u"--report="_s + path}, "a\n\nb\n");
        QCOMPARE(failed.output, "a,b\n"_ba);
        QCOMPARE(failed.status, 2);
        QVERIFY2(failed.errors.startsWith("kestrava: " + QFile::encodeName(path) + ": "), failed.errors.constData());
    }
}

void TestCommandLine::theListsReadAreNeverOverwrittenOrBypassed_data()
{
    QTest::addColumn<QStringList>("options"); // LIST, EXCLUDED and REPORT stand for the files
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("errors");
    QTest::addColumn<QByteArray>("report"); // what the report file holds after
    const QByteArray before = "the old report\n";
    QTest::newRow("report as the unsubscribe list")
        << QStringList{u"--exclude=EXCLUDED"_s, u"--report=EXCLUDED"_s, u"LIST"_s} << 2 << QByteArray()
        << "kestrava: EXCLUDED: the report would replace EXCLUDED, which the run reads\n"_ba << before;
    QTest::newRow("report as a link to the list")
        << QStringList{u"--report=LINK"_s, u"--unique"_s, u"LIST"_s} << 2 << QByteArray()
        << "kestrava: LINK: the report would replace LIST, which the run reads\n"_ba << before;
    QTest::newRow("report as the list, spelled as --help shows it")
        << QStringList{u"--report"_s, u"LIST"_s, u"--unique"_s, u"LIST"_s} << 2 << QByteArray()
        << "kestrava: LIST: the report would replace LIST, which the run reads\n"_ba << before;
    QTest::newRow("unsubscribe list missing")
        << QStringList{u"--exclude=EXCLUDED"_s, u"--exclude=MISSING"_s, u"--report=REPORT"_s, u"LIST"_s} << 2
        << QByteArray() << "kestrava: MISSING: File not found\n"_ba << before;
    QTest::newRow("unsubscribe list a folder")
        << QStringList{u"--exclude=FOLDER"_s, u"LIST"_s} << 2 << QByteArray() << "kestrava: FOLDER: Is a directory\n"_ba
        << before;
    QTest::newRow("a failed run leaves the report")
        << QStringList{u"--report=REPORT"_s, u"--skip-empty"_s, u"LIST"_s, u"MISSING"_s} << 2 << "b@x.org,a@x.org\n"_ba
        << "kestrava: MISSING: File not found\nkestrava: REPORT: not written, as the run failed\n"_ba << before;
    QTest::newRow("a run that ends well replaces it")
        << QStringList{u"--exclude=EXCLUDED"_s, u"--report=REPORT"_s, u"LIST"_s} << 0 << "a@x.org,,\n"_ba << QByteArray()
        << "LIST:1: listed in EXCLUDED: b@x.org\n"_ba;
}

// The unsubscribe list decides what is written: the report never replaces
// a file the run reads, and a list that cannot be read stops the run
// before anything is written.
void TestCommandLine::theListsReadAreNeverOverwrittenOrBypassed()
{
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);
    QFETCH(QByteArray, report);
    const QMap<QString, QString> files = {
        {u"LIST"_s, write(u"list.txt"_s, "b@x.org\na@x.org\n")},
        {u"EXCLUDED"_s, write(u"excluded.txt"_s, "B@x.org\n")},
        {u"REPORT"_s, write(u"report.txt"_s, "the old report\n")},
        {u"MISSING"_s, m_dir->filePath(u"missing.txt"_s)},
        {u"FOLDER"_s, m_dir->path()},
        {u"LINK"_s, m_dir->filePath(u"link.txt"_s)},
    };
    QVERIFY(QFile::link(files[u"LIST"_s], files[u"LINK"_s]));
    const QByteArray listBefore = readFile(files[u"LIST"_s]);
    const auto named = [&files](QByteArray text) {
        for (auto file = files.begin(); file != files.end(); ++file)
            text.replace(file.key().toUtf8(), QFile::encodeName(file.value()));
        return text;
    };
    QStringList arguments{u"--join"_s};
    for (const QString &option : options)
        arguments << QString::fromUtf8(named(option.toUtf8()));
    const Run joined = run(arguments);
    QCOMPARE(joined.errors, named(errors));
    QCOMPARE(joined.status, status);
    QCOMPARE(joined.output, output);
    QCOMPARE(readFile(files[u"REPORT"_s]), named(report));
    QCOMPARE(readFile(files[u"LIST"_s]), listBefore);
    QCOMPARE(readFile(files[u"EXCLUDED"_s]), "B@x.org\n"_ba);
}

// Bounce mail as servers send it, built by Python's email package, gives
// exactly the recipients that failed for good, once each; as an --exclude
// list it takes them off a list, whatever their case.
void TestCommandLine::bouncesComeOffTheList()
{
    for (int seed = 1; seed <= 3; ++seed) {
        const QString folder = m_dir->filePath(u"bounces%1"_s.arg(seed));
        QVERIFY(QDir().mkpath(folder));
        QProcess python;
        python.start(u"/usr/bin/python3"_s, {QStringLiteral(KESTRAVA_SOURCE_DIR "/tests/make_bounces.py"), folder,
                                             QString::number(seed)});
        QVERIFY(python.waitForFinished());
        QByteArrayList failed = python.readAllStandardOutput().split('\n');
        failed.removeAll(QByteArray());
        const QStringList mail = {folder + u"/bounces.mbox"_s, folder + u"/bounces"_s};
        const QString report = folder + u"/report.txt"_s;
        const Run bounced = run(QStringList{u"--join"_s, u"--bounced"_s, u"--report="_s + report} + mail);
        QCOMPARE(bounced.status, 0);
        QByteArrayList listed = bounced.output.split('\n');
        listed.removeAll(QByteArray());
        std::sort(failed.begin(), failed.end());
        std::sort(listed.begin(), listed.end());
        QCOMPARE(listed, failed);
        QCOMPARE(readFile(report).count(": 5."_ba) + readFile(report).count(": X-Failed-Recipients"_ba), failed.size());
        QByteArray list = "keep@x.org\n";
        for (const QByteArray &address : failed)
            list += address.toUpper() + '\n';
        QCOMPARE(run({u"--join"_s, u"--skip-empty"_s, u"--exclude="_s + mail[0], u"--exclude="_s + mail[1]}, list).output,
                 "keep@x.org\n"_ba);
    }
    // A report part that the message ends without a blank line after.
    const QString bare = write(u"bare.eml"_s, "Content-Type: message/delivery-status\n\nFinal-Recipient: rfc822; z@x.org\n"
                                              "Action: failed\nStatus: 5.1.1");
    QCOMPARE(run({u"--join"_s, u"--bounced"_s, bare}).output, "z@x.org\n"_ba);
    QCOMPARE(run({u"--join"_s, u"--bounced"_s}).status, 2);
    const QString none = m_dir->filePath(u"none.mbox"_s);
    const Run missing = run({u"--join"_s, u"--bounced"_s, none});
    QCOMPARE(missing.status, 2);
    QCOMPARE(missing.errors, "kestrava: " + none.toUtf8() + ": No such file or directory\n");
}

// In a Maildir only ordinary files are read, none waited on: each entry
// that cannot be read is told by its name, the others' addresses come, and
// the run fails at the end.
void TestCommandLine::aMessageThatCannotBeReadLosesNoOther()
{
    const QString folder = m_dir->filePath(u"Maildir"_s);
    const auto message = [&folder](const QString &name, const QByteArray &from) {
        return putFile(folder, name, "From: " + from + "\nTo: b@y.org\n\nHello\n");
    };
    message(u"new/1.a"_s, "Ann <ann@x.org>");
    message(u"cur/9.z"_s, "zed@z.org");
    QVERIFY(QDir(folder).mkpath(u"tmp"_s));
    const QByteArray entries = QFile::encodeName(folder);
    QVERIFY(::mkfifo(entries + "/new/2.fifo", 0666) == 0);
    QVERIFY(QFile::link(u"/dev/zero"_s, folder + u"/new/3.zero"_s));
    QVERIFY(QFile::link(u"nowhere"_s, folder + u"/new/4.broken"_s));
    QVERIFY(QFile::link(u"5.loop"_s, folder + u"/new/5.loop"_s));
    const QString secret = message(u"new/6.secret"_s, "secret@x.org");
    sockaddr_un address{AF_UNIX, {}};
    std::strcpy(address.sun_path, entries + "/new/7.socket");
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    QFile::setPermissions(secret, QFileDevice::Permissions());
    for (const QString &path : {m_dir->path(), folder, folder + u"/new"_s, folder + u"/cur"_s})
        QFile::setPermissions(path, QFileDevice::Permissions(0x7755));
    // Root reads any file: the program runs as nobody, as a user would.
    const Run harvested = run({u"--join"_s, u"--extract"_s, u"--separator=|"_s, folder}, {}, [] {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
    });
    QCOMPARE(harvested.output, "Ann <ann@x.org>|b@y.org|zed@z.org\n"_ba);
    QCOMPARE(harvested.errors, "kestrava: " + entries + "/new/2.fifo: not an ordinary file\nkestrava: " + entries
                                   + "/new/3.zero: not an ordinary file\nkestrava: " + entries
                                   + "/new/4.broken: No such file or directory\nkestrava: " + entries
                                   + "/new/5.loop: Too many levels of symbolic links\nkestrava: " + entries
                                   + "/new/6.secret: Permission denied\nkestrava: " + entries
                                   + "/new/7.socket: No such device or address\n");
    QCOMPARE(harvested.status, 2);
    ::close(socket);
}

// With --dns, a domain that takes no mail is told, and a typo only where
// its domain takes none and the one it was likely meant to be does: short
// names' typos too, and never a domain that takes mail.
void TestCommandLine::theMailSystemIsAskedWhichDomainsTakeMail()
{
    TestZone zone;
    QVERIFY2(zone.isReady(), zone.log().constData());
    const Run asked = run({u"--check"_s, u"--dns"_s},
                          "a@gmail.com\nb@ewb.de\nc@aob.com\nd@a-only.org\ne@nullmx.org\nf@nosuch.org\n"
                          "g@gmial.com\nh@slow.org\ni@gmail.con\n");
    QCOMPARE(asked.errors, "-:2: warning: ewb.de does not take mail (no such domain), did you mean b@web.de?: b@ewb.de\n"
                           "-:3: warning: aob.com does not take mail (no such domain), did you mean c@aol.com?: c@aob.com\n"
                           "-:5: warning: nullmx.org does not take mail (it refuses all mail): e@nullmx.org\n"
                           "-:6: warning: nosuch.org does not take mail (no such domain): f@nosuch.org\n"
                           "-:9: warning: did you mean i@gmail.com?: i@gmail.con\n"_ba);
    QCOMPARE(asked.status, 0);
    // Never asked unless told to.
    QCOMPARE(run({u"--check"_s}, "b@ewb.de\nf@nosuch.org\n").errors, QByteArray());
    // On a terminal, how far it has come shows on a line that is cleared
    // before anything is told.
    int terminal = -1;
    int errorSide = -1;
    QVERIFY(::openpty(&terminal, &errorSide, nullptr, nullptr, nullptr) == 0);
    run({u"--check"_s, u"--dns"_s}, "b@ewb.de\n", [errorSide] { ::dup2(errorSide, STDERR_FILENO); });
    ::close(errorSide);
    QByteArray shown(4096, Qt::Uninitialized);
    shown.truncate(qMax<ssize_t>(0, ::read(terminal, shown.data(), size_t(shown.size()))));
    ::close(terminal);
    QVERIFY2(shown.contains("\r\033[K-:1: warning: ewb.de does not take mail"), shown.constData());
    // Seeded typos of the table's domains: nearly all get the domain back;
    // the domains themselves get nothing.
    QRandomGenerator random(35);
    QByteArray lines;
    QByteArrayList meant;
    for (const char *domain : MailDomains::all()) {
        QByteArray name = QByteArray(domain).first(QByteArrayView(domain).indexOf('.'));
        const int at = int(random.bounded(name.size()));
        name[at] = char('a' + random.bounded(26));
        const QByteArray typo = name + QByteArray(domain).sliced(QByteArrayView(domain).indexOf('.'));
        if (typo == domain || MailDomains::isCommon(typo))
            continue;
        lines += "x@" + typo + "\nx@" + domain + '\n';
        meant << "did you mean x@" + QByteArray(domain) + "?: x@" + typo;
    }
    const Run typos = run({u"--check"_s, u"--dns"_s}, lines);
    int right = 0;
    for (const QByteArray &suggestion : meant)
        right += typos.errors.contains(suggestion);
    QVERIFY2(right >= meant.size() * 95 / 100, qPrintable(u"%1 of %2"_s.arg(right).arg(meant.size())));
    QCOMPARE(typos.errors.count('\n'), meant.size());
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
