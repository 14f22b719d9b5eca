#include "core/ApplicationTitle.h"
#include "core/Failure.h"
#include "core/HomePageOpener.h"
#include "core/LineBreaks.h"
#include "core/ProductInfo.h"
#include "core/ReportText.h"
#include "listfiles/SkinFile.h"
#include "core/FileAccess.h"
#include "join/ClipboardWriter.h"
#include "join/FileJoin.h"
#include "join/LineJoiner.h"
#include "join/ListTidying.h"
#include "listfiles/SampleList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// The tables below write CR LF as ⏎, a lone LF as ␊, a lone CR as ␍ and a
// space as ␠, so that every line break and space of a case shows.
static QString fromExample(QString text)
{
    return text.replace(u"⏎"_s, u"\r\n"_s).replace(u"␊"_s, u"\n"_s).replace(u"␍"_s, u"\r"_s).replace(u"␠"_s, u" "_s);
}

namespace {

// A clipboard that another program holds for the first busyAttempts attempts.
class BusyClipboard : public ClipboardService
{
public:
    explicit BusyClipboard(int busyAttempts) : m_busyAttempts(busyAttempts) {}
    bool placeText(const QString &text, int format) override
    {
        ++attempts;
        if (attempts <= m_busyAttempts)
            return false;
        placed = text;
        placedFormat = format;
        return true;
    }
    int attempts = 0;
    QString placed;
    int placedFormat = -1;

private:
    int m_busyAttempts;
};

class ThrowingClipboard : public ClipboardService
{
public:
    bool placeText(const QString &, int) override
    {
        ++attempts;
        throw std::runtime_error("clipboard locked");
    }
    int attempts = 0;
};

} // namespace

class TestLogic : public QObject
{
    Q_OBJECT

private slots:
    void joinsEveryLineLiterally_data();
    void joinsEveryLineLiterally();
    void joiningNeverLeavesALineBreakPair();
    void joiningAMillionLinesKeepsEveryItem();
    void cuttingKeepsEmptyPieces();
    void lineBreaksOfTheTextAreas_data();
    void lineBreaksOfTheTextAreas();
    void tidyingLines_data();
    void tidyingLines();
    void fileChangedBetweenThePassesIsTold_data();
    void fileChangedBetweenThePassesIsTold();

    void applicationTitle_data();
    void applicationTitle();

    void reportText();
    void failureDescriptions();

    void sampleListShape();

    void clipboardWriterAttempts_data();
    void clipboardWriterAttempts();
    void clipboardWriterSwallowsFailures();

    void homePageOpensOnSeven_data();
    void homePageOpensOnSeven();
    void homePageOpensAboutOnceInAHundred();
    void homePageOpenerThatCannotStart();

    void skinListingMatchesOrdinaryFilesOnly();
};

void TestLogic::joinsEveryLineLiterally_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("three lines") << u"a⏎b⏎c"_s << u"a,b,c"_s;
    QTest::newRow("single line") << u"abc"_s << u"abc"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("break after last line") << u"a⏎b⏎"_s << u"a,b,"_s;
    QTest::newRow("two breaks after last line") << u"a⏎b⏎⏎"_s << u"a,b,,"_s;
    QTest::newRow("blank line in the middle") << u"a⏎⏎b"_s << u"a,,b"_s;
    QTest::newRow("one break only") << u"⏎"_s << u","_s;
    QTest::newRow("leading break") << u"⏎a"_s << u",a"_s;
    QTest::newRow("lone line feed") << u"a␊b"_s << u"a␊b"_s;
    QTest::newRow("carriage return before pair") << u"a␍⏎b"_s << u"a␍,b"_s;
    QTest::newRow("spaces around items") << u"␠a␠⏎b␠"_s << u"␠a␠,b␠"_s;
    QTest::newRow("duplicates") << u"x⏎x"_s << u"x,x"_s;
    QTest::newRow("comma inside a line") << u"a,b⏎c"_s << u"a,b,c"_s;
    QTest::newRow("n breaks give n commas") << u"⏎⏎⏎⏎"_s << u",,,,"_s;
    QTest::newRow("lone CR stays") << u"a␍b⏎c"_s << u"a␍b,c"_s;
    QTest::newRow("non-ASCII and NUL") << QStringLiteral("zo\u00eb@ex\u00e4mple.org\r\n\u0000x") << QStringLiteral("zo\u00eb@ex\u00e4mple.org,\u0000x");
}

void TestLogic::joinsEveryLineLiterally()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QCOMPARE(LineJoiner::join(fromExample(input)), fromExample(output));
}

void TestLogic::joiningNeverLeavesALineBreakPair()
{
    const QString joined = LineJoiner::join(QStringLiteral("a\r\r\n\nb\r\n\r\nc\n\r"));
    QVERIFY(!joined.contains(QStringLiteral("\r\n")));
    QCOMPARE(joined, QStringLiteral("a\r,\nb,,c\n\r"));
}

void TestLogic::joiningAMillionLinesKeepsEveryItem()
{
    QStringList items;
    for (int i = 0; i < 1'000'000; ++i)
        items << QStringLiteral("user%1@example.com").arg(i);
    const QString joined = LineJoiner::join(items.join(QStringLiteral("\r\n")));
    QCOMPARE(joined.size(), items.join(u',').size());
    QVERIFY(joined.startsWith(QStringLiteral("user0@example.com,user1@example.com,")));
    QVERIFY(joined.endsWith(QStringLiteral(",user999999@example.com")));
}

void TestLogic::cuttingKeepsEmptyPieces()
{
    const auto cut = [](const QString &text) {
        QStringList pieces;
        for (QStringView piece : LineJoiner::cutAtLineBreaks(text))
            pieces << piece.toString();
        return pieces;
    };
    QCOMPARE(cut(QString()), QStringList());
    QCOMPARE(cut(QStringLiteral("\r\n")), QStringList({QString(), QString()}));
    QCOMPARE(cut(QStringLiteral("A\r\na")), QStringList({u"A"_s, u"a"_s}));
}

void TestLogic::lineBreaksOfTheTextAreas_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("crLf");
    QTest::newRow("none") << u"abc"_s << u"abc"_s;
    QTest::newRow("LF") << u"a\nb\n"_s << u"a\r\nb\r\n"_s;
    QTest::newRow("CR") << u"a\rb\r"_s << u"a\r\nb\r\n"_s;
    QTest::newRow("CR LF") << u"a\r\nb"_s << u"a\r\nb"_s;
    QTest::newRow("all three") << u"x\ny\rz\r\n"_s << u"x\r\ny\r\nz\r\n"_s;
    QTest::newRow("CR, CR LF, LF") << u"\r\r\n\n"_s << u"\r\n\r\n\r\n"_s;
    QTest::newRow("LF CR is two") << u"\n\r"_s << u"\r\n\r\n"_s;
    QTest::newRow("empty") << QString() << QString();
}

// Each of LF, CR and CR LF is one line break, CR LF in the text areas and LF
// on the clipboard.
void TestLogic::lineBreaksOfTheTextAreas()
{
    QFETCH(QString, text);
    QFETCH(QString, crLf);
    QCOMPARE(withCrLfLineBreaks(text), crLf);
    QCOMPARE(withLfLineBreaks(crLf), QString(crLf).replace(u"\r\n"_s, u"\n"_s));
}

void TestLogic::tidyingLines_data()
{
    using Operation = ListTidying::Operation;
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QStringList>("tidied");
    QTest::addColumn<QString>("counts"); // lines/duplicates/empty
    const QStringList mixed = {u" b@x.org"_s, u"A@x.org"_s, QString(), u"a@x.org\t"_s, u"c@x.org "_s, u" \t"_s};
    QTest::newRow("duplicates ignore case and ends, keep the first")
        << mixed << Operation::RemoveDuplicates
        << QStringList{u" b@x.org"_s, u"A@x.org"_s, QString(), u"c@x.org "_s} << u"6/2/2"_s;
    QTest::newRow("empty and blank lines go") << mixed << Operation::RemoveEmpty
                                              << QStringList{u" b@x.org"_s, u"A@x.org"_s, u"a@x.org\t"_s, u"c@x.org "_s}
                                              << u"6/2/2"_s;
    QTest::newRow("spaces and tabs at the ends only")
        << QStringList{u" a b\t"_s, u"\u00a0c"_s} << Operation::TrimSpaces << QStringList{u"a b"_s, u"\u00a0c"_s}
        << u"2/0/0"_s;
    QTest::newRow("sorting ignores case and keeps equal lines in order")
        << QStringList{u"b"_s, u"B2"_s, u"a"_s, u"A"_s, u"_x"_s} << Operation::Sort
        << QStringList{u"_x"_s, u"a"_s, u"A"_s, u"b"_s, u"B2"_s} << u"5/1/0"_s;
    QTest::newRow("letters of every plane fold")
        << QStringList{u"\U00010400"_s, u"\U00010428"_s, u"\u00c9"_s, u"\u00e9"_s} << Operation::RemoveDuplicates
        << QStringList{u"\U00010400"_s, u"\u00c9"_s} << u"4/2/0"_s;
    QTest::newRow("code points, not code units") << QStringList{u"\U0001F600"_s, u"\uFF21"_s} << Operation::Sort
                                                 << QStringList{u"\uFF21"_s, u"\U0001F600"_s} << u"2/0/0"_s;
    QTest::newRow("capital Z folds") << QStringList{u"Zoe@x.org"_s, u"zoe@x.org"_s} << Operation::RemoveDuplicates
                                     << QStringList{u"Zoe@x.org"_s} << u"2/1/0"_s;
    QTest::newRow("and sorts after a") << QStringList{u"Zoe@x.org"_s, u"apple@x.org"_s} << Operation::Sort
                                       << QStringList{u"apple@x.org"_s, u"Zoe@x.org"_s} << u"2/0/0"_s;
    // Two addresses whose hashes collide, as some pair does in a list of
    // about a hundred thousand; and many duplicates.
    QHash<quint32, QString> hashed;
    QStringList colliding;
    for (int i = 0; colliding.isEmpty(); ++i) {
        const QString address = u"user%1@x.org"_s.arg(i);
        const auto hash = quint32(qHash(QStringView(address)));
        if (hashed.contains(hash))
            colliding = {hashed[hash], address};
        hashed.insert(hash, address);
    }
    QTest::newRow("different lines with the same hash") << colliding + colliding << Operation::RemoveDuplicates
                                                        << colliding << u"4/2/0"_s;
    QStringList twenty;
    for (int i = 0; i < 20'000; ++i)
        twenty << u"someone.%1@x.org"_s.arg(i);
    QTest::newRow("twenty thousand listed twice") << twenty + twenty << Operation::RemoveDuplicates << twenty
                                                  << u"40000/20000/0"_s;
}

// The window's menus and --join tidy lines by the same rules.
void TestLogic::tidyingLines()
{
    QFETCH(QStringList, lines);
    QFETCH(ListTidying::Operation, operation);
    QFETCH(QStringList, tidied);
    QFETCH(QString, counts);
    const QList<QStringView> views(lines.begin(), lines.end());
    const ListTidying tidying(views);
    QStringList result;
    for (QStringView line : tidying.apply(operation))
        result << line.toString();
    QCOMPARE(result, tidied);
    const ListTidying::Counts found = tidying.counts();
    QCOMPARE(u"%1/%2/%3"_s.arg(found.lines).arg(found.duplicates).arg(found.empty), counts);
    QCOMPARE(found.wouldChange(operation), result != lines);
}

void TestLogic::fileChangedBetweenThePassesIsTold_data()
{
    QTest::addColumn<QByteArray>("changed"); // what the file holds from the second pass on
    QTest::addColumn<bool>("told");
    const QByteArray utf8 = "zo\xC3\xAB@x.org\nann@x.org\n"; // 21 bytes, two blocks of 16
    QTest::addRow("no longer UTF-8") << QByteArray(utf8).replace("\xC3\xAB", "\xEB!") << true;
    QTest::addRow("cut inside a character") << utf8.left(3) << true;
    QTest::addRow("grown") << utf8 + "bob@x.org\n" << true;
    QTest::addRow("other text, as long") << QByteArray(utf8).replace("ann", "bob") << true;
    QTest::addRow("unchanged") << utf8 << false;
}

// A file joined a block at a time is read twice; should it change between the
// passes, that is told, and what was written is still UTF-8.
void TestLogic::fileChangedBetweenThePassesIsTold()
{
    QFETCH(QByteArray, changed);
    QFETCH(bool, told);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(u"list.txt"_s));
    QFile file(QString::fromUtf8(path));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("zo\xC3\xAB@x.org\nann@x.org\n") == 21);
    file.close();
    const int fd = ::open(path.constData(), O_RDONLY);
    struct stat opened {};
    QVERIFY(::fstat(fd, &opened) == 0);
    QByteArray joined;
    QString failure;
    {
        FileCallsOverride restore;
        int reads = 0;
        const auto read = fileCalls().read;
        // The first pass stops at the file's end (two reads); the file
        // changes before the second starts, a moment later than it was made.
        fileCalls().read = [&](int from, void *bytes, size_t count) {
            if (++reads == 3 && told) {
                QTest::qWait(10);
                QFile rewritten(QString::fromUtf8(path));
                if (!rewritten.open(QIODevice::WriteOnly) || rewritten.write(changed) != changed.size())
                    qFatal("cannot change the file");
            }
            return read(from, bytes, count);
        };
        StreamingJoin join;
        try {
            FileJoin::joinOrdinaryFile(fd, opened, join, [&](QByteArray &bytes) { joined += std::exchange(bytes, {}); }, 16);
        } catch (const Failure &f) {
            failure = f.description();
        }
    }
    ::close(fd);
    QCOMPARE(failure, told ? u"File changed as it was read"_s : QString());
    QVERIFY(QUtf8StringView(joined).isValidUtf8());
    if (!told)
        QCOMPARE(joined, "zo\xC3\xAB@x.org,ann@x.org,,"_ba);
}

void TestLogic::applicationTitle_data()
{
    QTest::addColumn<QString>("productTitle");
    QTest::addColumn<QString>("applicationTitle");
    QTest::newRow("short title still loses its last word") << u"abcd efgh ijkl"_s << u"abcd efgh"_s;
    // 50 characters, last space at position 46, the one before at 38.
    const QString fifty = QString(37, u'a') + u' ' + QString(7, u'b') + u' ' + QString(4, u'c');
    QCOMPARE(fifty.size(), 50);
    QTest::newRow("cut twice") << fifty << QString(37, u'a');
    QTest::newRow("trailing space is the first cut") << u"abcd efgh "_s << u"abcd efgh"_s;
    const QString fortyOne = QString(40, u'x') + u" y"_s;
    QTest::newRow("exactly 40 stops") << fortyOne << QString(40, u'x');
    QTest::newRow("product title") << ProductInfo::productTitle << u"Kestrava E-mail List Joiner"_s;
}

void TestLogic::applicationTitle()
{
    QFETCH(QString, productTitle);
    QFETCH(QString, applicationTitle);
    QCOMPARE(applicationTitleFrom(productTitle), applicationTitle);
}

void TestLogic::reportText()
{
    const QString text = composeReport(u"Disk not ready"_s, Qualifier::PushButton17_Click, 102);
    QCOMPARE(text, u"Disk not ready\r\nin Kestrava2021/08/31.Form1.PushButton17_Click at line 102\r\r"
                   "Please email screenshot of this message to "_s
                       + ProductInfo::supportAddress);
    QVERIFY(QRegularExpression(u"^[^@\\s]+@example\\.(com|org|net)$"_s).match(ProductInfo::supportAddress).hasMatch());
}

void TestLogic::failureDescriptions()
{
    QCOMPARE(describeFailure(std::make_exception_ptr(Failure(u"Permission denied"_s, 5))), u"Permission denied"_s);
    QCOMPARE(failureNumber(std::make_exception_ptr(Failure(u"x"_s, 20476))), 20476);
    QCOMPARE(describeFailure(std::make_exception_ptr(std::bad_alloc())), u"Out of memory"_s);
    QCOMPARE(describeFailure(std::make_exception_ptr(std::runtime_error("broken pipe"))), u"broken pipe"_s);
    QCOMPARE(describeFailure(std::make_exception_ptr(42)), u"Unexpected failure"_s);
    QCOMPARE(failureNumber(std::make_exception_ptr(std::bad_alloc())), 0);
}

void TestLogic::sampleListShape()
{
    const QStringList lines = sampleListText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), 7);
    const QRegularExpression address(u"^[a-z0-9.]+@[a-z0-9-]+(\\.[a-z0-9-]+)+$"_s);
    for (int i = 0; i < lines.size(); ++i) {
        QVERIFY2(address.match(lines[i]).hasMatch(), qPrintable(lines[i]));
        const bool dotInName = lines[i].section(u'@', 0, 0).contains(u'.');
        QCOMPARE(dotInName, i == 5);
    }
}

void TestLogic::clipboardWriterAttempts_data()
{
    QTest::addColumn<int>("busyAttempts");
    QTest::addColumn<int>("attempts");
    QTest::addColumn<bool>("placed");
    QTest::newRow("free at once") << 0 << 1 << true;
    QTest::newRow("busy for some") << 37 << 38 << true;
    QTest::newRow("free at the last attempt") << 999 << 1000 << true;
    QTest::newRow("stays busy") << 5000 << 1000 << false;
}

void TestLogic::clipboardWriterAttempts()
{
    QFETCH(int, busyAttempts);
    QFETCH(int, attempts);
    QFETCH(bool, placed);
    BusyClipboard clipboard(busyAttempts);
    QCOMPARE(writeToClipboard(clipboard, u"a,b"_s, 0), placed);
    QCOMPARE(clipboard.attempts, attempts);
    QCOMPARE(clipboard.placed, placed ? u"a,b"_s : QString());
}

void TestLogic::clipboardWriterSwallowsFailures()
{
    ThrowingClipboard throwing;
    QCOMPARE(writeToClipboard(throwing, u"x"_s, 0), false);
    QCOMPARE(throwing.attempts, 1000);
    BusyClipboard clipboard(0);
    QVERIFY(writeToClipboard(clipboard, u"x"_s, 49161));
    QCOMPARE(clipboard.placedFormat, 49161);
}

void TestLogic::homePageOpensOnSeven_data()
{
    QTest::addColumn<double>("random");
    QTest::addColumn<bool>("opens");
    QTest::newRow("n = 7, lowest") << 0.06 << true;
    QTest::newRow("n = 7, highest") << 0.0699999 << true;
    QTest::newRow("n = 6") << 0.0599999 << false;
    QTest::newRow("n = 8") << 0.07 << false;
    QTest::newRow("n = 1") << 0.0 << false;
    QTest::newRow("n = 100") << 0.9999999 << false;
}

void TestLogic::homePageOpensOnSeven()
{
    QFETCH(double, random);
    QFETCH(bool, opens);
    HomePageOpener opener(nullptr);
    QStringList started;
    opener.setRandomSource([random] { return random; });
    opener.setProcessStarter([&](const QString &program, const QStringList &arguments) {
        started << program << arguments;
        return true;
    });
    opener.run();
    QCOMPARE(started, opens ? QStringList({u"xdg-open"_s, ProductInfo::homePage}) : QStringList());
}

void TestLogic::homePageOpensAboutOnceInAHundred()
{
    HomePageOpener opener(nullptr);
    int opened = 0;
    opener.setProcessStarter([&](const QString &, const QStringList &) {
        ++opened;
        return true;
    });
    for (int start = 0; start < 100'000; ++start)
        opener.run();
    QVERIFY2(opened > 800 && opened < 1200, qPrintable(QString::number(opened)));
}

void TestLogic::homePageOpenerThatCannotStart()
{
    HomePageOpener opener(nullptr);
    opener.setRandomSource([] { return 0.065; });
    opener.setProcessStarter([](const QString &, const QStringList &) { return false; });
    try {
        opener.run();
        QFAIL("no failure raised");
    } catch (const Failure &failure) {
        QCOMPARE(failure.description(), u"Cannot start xdg-open"_s);
    }
}

void TestLogic::skinListingMatchesOrdinaryFilesOnly()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    auto touch = [&](const QString &name) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::WriteOnly);
    };
    QVERIFY(touch(u"o.cjs"_s));
    QVERIFY(touch(u".hidden.cjs"_s));
    QVERIFY(folder.mkdir(u"folder.cjs"_s));
    QVERIFY(QFile::link(folder.filePath(u"folder.cjs"_s), folder.filePath(u"folder-link.cjs"_s)));
    QVERIFY(QFile::link(folder.filePath(u"o.cjs"_s), folder.filePath(u"file-link.cjs"_s)));
    QCOMPARE(mkfifo(qPrintable(folder.filePath(u"pipe.cjs"_s)), 0600), 0);

    QVERIFY(isListedOrdinaryFile(folder.filePath(u"o.cjs"_s)));
    QVERIFY(isListedOrdinaryFile(folder.filePath(u"file-link.cjs"_s)));
    QVERIFY(!isListedOrdinaryFile(folder.filePath(u".hidden.cjs"_s)));
    QVERIFY(!isListedOrdinaryFile(folder.filePath(u"folder.cjs"_s)));
    QVERIFY(!isListedOrdinaryFile(folder.filePath(u"folder-link.cjs"_s)));
    QVERIFY(!isListedOrdinaryFile(folder.filePath(u"pipe.cjs"_s)));
    QVERIFY(!isListedOrdinaryFile(folder.filePath(u"missing.cjs"_s)));
    QVERIFY(!isListedOrdinaryFile(folder.filePath(u"no/such/o.cjs"_s)));
}

QTEST_GUILESS_MAIN(TestLogic)
#include "tst_logic.moc"
