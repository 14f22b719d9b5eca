#include "TestFiles.h"
#include "core/ApplicationTitle.h"
#include "core/Failure.h"
#include "core/HomePageOpener.h"
#include "core/LineBreaks.h"
#include "core/Prefault.h"
#include "core/ProductInfo.h"
#include "core/ReportText.h"
#include "listfiles/SkinFile.h"
#include "core/FileAccess.h"
#include "addresses/AddressAdvice.h"
#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"
#include "reading/ContactReader.h"
#include "core/ClipboardService.h"
#include "reading/ContactFiles.h"
#include "reading/FileJoin.h"
#include "reading/LineDecoder.h"
#include "join/LineJoiner.h"
#include "options/LineKeys.h"
#include "options/LineSorter.h"
#include "options/ListTidying.h"
#include "addresses/MailDomains.h"
#include "addresses/MailtoLinks.h"
#include "addresses/Recipients.h"
#include "listfiles/SampleList.h"
#include "reading/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/mman.h>
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
    void joinedLineGrowsAsWritten();
    void freshPagesAreMadeReady();
    void cuttingKeepsEmptyPieces();
    void lineBreaksOfTheTextAreas_data();
    void lineBreaksOfTheTextAreas();
    void tidyingLines_data();
    void tidyingLines();
    void recipientsOfAJoinedLine_data();
    void recipientsOfAJoinedLine();
    void recipientsPlacesAcrossBlocks();
    void addressesAndWhyNot_data();
    void addressesAndWhyNot();
    void addressesFoundInText_data();
    void addressesFoundInText();
    void addressesFoundInLines_data();
    void addressesFoundInLines();
    void addressesFoundAsChecked();
    void namedAddressesOfContactsAndMail_data();
    void namedAddressesOfContactsAndMail();
    void addressesComparedAsAddresses_data();
    void addressesComparedAsAddresses();
    void oneMailboxAtItsProvider_data();
    void oneMailboxAtItsProvider();
    void adviceOnAddresses_data();
    void adviceOnAddresses();
    void typosOfCommonDomainsAreCorrected();
    void realDomainsGetNoAdvice();
    void mailtoLinksKeepEachRecipientWhole();
    void fileChangedBetweenThePassesIsTold_data();
    void fileChangedBetweenThePassesIsTold();
    void linesReadInBlocksAreTheWindowsLines();
    void linesFoldedInsideACharacterAreUnfolded();
    void aLongLineOfMailCanBeStopped();
    void sortedInRunsAsTheWindowSorts();
    void sortingToAFullDiskIsTold();

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

// Without room made beforehand, or with too little, the line grows; a
// separator of two characters is dropped whole at the end.
void TestLogic::joinedLineGrowsAsWritten()
{
    LineJoiner::Writer writer(u"; ");
    for (const QString &piece : {u"ann@x.org"_s, QString(), u"b"_s})
        writer.append(piece);
    writer.dropTrailingSeparator();
    QCOMPARE(writer.take(), u"ann@x.org; ; b"_s);
    QVERIFY(writer.isEmpty());
    writer.dropTrailingSeparator();
    QCOMPARE(writer.take(), QString());
    // A large room, its later pages made on another thread, outgrown.
    const QString large(3 << 20, u'a');
    writer.reserve(large.size(), 1);
    writer.append(large);
    writer.append(u"b");
    QCOMPARE(writer.take(), large + u"; b; "_s);
}

// The pages a range touches, and only those, are made ready, by the time
// wait() answers; of a room worth it, all but the first quarter's.
void TestLogic::freshPagesAreMadeReady()
{
    const qsizetype page = sysconf(_SC_PAGESIZE);
    const qsizetype pages = (qsizetype(4) << 20) / page;
    const auto resident = [&](char *fresh) {
        std::vector<unsigned char> in(pages);
        mincore(fresh, pages * page, in.data());
        munmap(fresh, pages * page);
        return qsizetype(std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; }));
    };
    const auto readied = [&](const std::function<Prefault(char *)> &prefault) {
        char *fresh = static_cast<char *>(mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        madvise(fresh, pages * page, MADV_NOHUGEPAGE);
        Prefault made = prefault(fresh);
        made.wait();
        return resident(fresh);
    };
    const bool kernelCan = readied([&](char *fresh) {
        madvise(fresh, page, 23 /* MADV_POPULATE_WRITE */);
        return Prefault();
    }) == 1;
    if (!kernelCan)
        QSKIP("this kernel cannot make pages ready in advance");
    QCOMPARE(readied([&](char *fresh) { return Prefault(fresh + page + 1, 40 * page); }), 41);
    const qsizetype worthIt = qsizetype(1) << 21;
    QCOMPARE(readied([&](char *fresh) { return Prefault::ofRoom(reinterpret_cast<QChar *>(fresh), worthIt - 1); }), 0);
    QCOMPARE(readied([&](char *fresh) { return Prefault::ofRoom(reinterpret_cast<QChar *>(fresh), worthIt); }),
             pages - pages / 4);
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
    // A lone LF or CR cuts nothing.
    QCOMPARE(cut(u"\na\r\r\nb\n"_s), QStringList({u"\na\r"_s, u"b\n"_s}));
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
    QTest::newRow("CR first") << u"\rb"_s << u"\r\nb"_s;
    QTest::newRow("as many CRs as LFs, apart") << u"a\rb\n"_s << u"a\r\nb\r\n"_s;
    QTest::newRow("empty") << QString() << QString();
    // Counted in blocks of 65,535 characters: a pair across two of them, and
    // more lone LFs in a row than a block could count.
    QTest::newRow("CR LF across blocks") << QString(0xffff, u'a') + u"\r\n"_s << QString(0xffff, u'a') + u"\r\n"_s;
    QTest::newRow("LF after a block") << QString(0xffff, u'a') + u"\n"_s << QString(0xffff, u'a') + u"\r\n"_s;
    QTest::newRow("65,536 LFs") << u"x"_s + QString(0x10000, u'\n') << u"x"_s + u"\r\n"_s.repeated(0x10000);
}

// Each of LF, CR and CR LF is one line break, CR LF in the text areas and LF
// on the clipboard.
void TestLogic::lineBreaksOfTheTextAreas()
{
    QFETCH(QString, text);
    QFETCH(QString, crLf);
    QCOMPARE(withCrLfLineBreaks(text), crLf);
    // A text already so is handed back, not copied.
    QCOMPARE(withCrLfLineBreaks(crLf).constData(), crLf.constData());
    const LineBreakCounts counts = lineBreaksIn(text);
    QCOMPARE(counts.lineFeeds, text.count(u'\n'));
    QCOMPARE(counts.carriageReturns, text.count(u'\r'));
    QCOMPARE(counts.pairs, text.count(u"\r\n"_s));
    QCOMPARE(counts.onlyCrLf(), text == crLf);
    QCOMPARE(withLfLineBreaks(crLf), QString(crLf).replace(u"\r\n"_s, u"\n"_s));
}

void TestLogic::tidyingLines_data()
{
    using Operation = ListTidying::Operation;
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QStringList>("tidied");
    QTest::addColumn<QString>("counts"); // lines/duplicates/empty/not addresses
    const QStringList mixed = {u" b@x.org"_s, u"A@x.org"_s, QString(), u"a@x.org\t"_s, u"c@x.org "_s, u" \t"_s};
    QTest::newRow("duplicates ignore case and ends, keep the first, and no empty line")
        << mixed << Operation::RemoveDuplicates
        << QStringList{u" b@x.org"_s, u"A@x.org"_s, QString(), u"c@x.org "_s, u" \t"_s} << u"6/1/2/0"_s;
    QTest::newRow("empty and blank lines go") << mixed << Operation::RemoveEmpty
                                              << QStringList{u" b@x.org"_s, u"A@x.org"_s, u"a@x.org\t"_s, u"c@x.org "_s}
                                              << u"6/1/2/0"_s;
    QTest::newRow("spaces and tabs at the ends only")
        << QStringList{u" a b\t"_s, u"\u00a0c"_s} << Operation::TrimSpaces << QStringList{u"a b"_s, u"\u00a0c"_s}
        << u"2/0/0/2"_s;
    QTest::newRow("sorting ignores case and keeps equal lines in order")
        << QStringList{u"b"_s, u"B2"_s, u"a"_s, u"A"_s, u"_x"_s} << Operation::Sort
        << QStringList{u"_x"_s, u"a"_s, u"A"_s, u"b"_s, u"B2"_s} << u"5/1/0/5"_s;
    QTest::newRow("letters of every plane fold")
        << QStringList{u"\U00010400"_s, u"\U00010428"_s, u"\u00c9"_s, u"\u00e9"_s} << Operation::RemoveDuplicates
        << QStringList{u"\U00010400"_s, u"\u00c9"_s} << u"4/2/0/4"_s;
    QTest::newRow("code points, not code units") << QStringList{u"\U0001F600"_s, u"\uFF21"_s} << Operation::Sort
                                                 << QStringList{u"\uFF21"_s, u"\U0001F600"_s} << u"2/0/0/2"_s;
    QTest::newRow("capital Z folds") << QStringList{u"Zoe@x.org"_s, u"zoe@x.org"_s} << Operation::RemoveDuplicates
                                     << QStringList{u"Zoe@x.org"_s} << u"2/1/0/0"_s;
    QTest::newRow("and sorts after a") << QStringList{u"Zoe@x.org"_s, u"apple@x.org"_s} << Operation::Sort
                                       << QStringList{u"apple@x.org"_s, u"Zoe@x.org"_s} << u"2/0/0/0"_s;
    // Lines alike in their first eight characters but the first one, which
    // is unlike the others': what follows decides.
    QStringList alike{u"b"_s};
    for (int i = 39; i >= 10; --i)
        alike << u"aaaaaaaa%1"_s.arg(i);
    QStringList alikeSorted = alike.mid(1);
    std::reverse(alikeSorted.begin(), alikeSorted.end());
    QTest::newRow("alike at the start") << alike << Operation::Sort << alikeSorted + QStringList{u"b"_s} << u"31/0/0/31"_s;
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
                                                        << colliding << u"4/2/0/0"_s;
    QStringList twenty;
    for (int i = 0; i < 20'000; ++i)
        twenty << u"someone.%1@x.org"_s.arg(i);
    QTest::newRow("an address is one recipient however written")
        << QStringList{u"ann@x.org"_s, u"Ann <ANN@X.org>"_s, u"\"Lee, Ann\" <ann@x.org>"_s, u"ann@m\u00fcnchen.de"_s,
                       u"ANN@XN--MNCHEN-3YA.DE"_s, u"not an address"_s, u"Not An Address"_s}
        << Operation::RemoveDuplicates << QStringList{u"ann@x.org"_s, u"ann@m\u00fcnchen.de"_s, u"not an address"_s}
        << u"7/4/0/2"_s;
    QTest::newRow("lines that are no addresses go, empty ones stay")
        << QStringList{u"ann@x.org"_s, u"mary@yahoo"_s, QString(), u"Bob <bob@x.org>"_s, u"john@gmail,com"_s}
        << Operation::RemoveNonAddresses << QStringList{u"ann@x.org"_s, QString(), u"Bob <bob@x.org>"_s} << u"5/0/1/2"_s;
    QTest::newRow("twenty thousand listed twice") << twenty + twenty << Operation::RemoveDuplicates << twenty
                                                  << u"40000/20000/0/0"_s;
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
    QCOMPARE(u"%1/%2/%3/%4"_s.arg(found.lines).arg(found.duplicates).arg(found.empty).arg(found.notAddresses), counts);
    QCOMPARE(found.wouldChange(operation), result != lines);
}

void TestLogic::recipientsOfAJoinedLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("recipients");
    QTest::newRow("items") << u"a@x.org,b@x.org"_s << QStringList{u"a@x.org"_s, u"b@x.org"_s};
    QTest::newRow("no empty or blank ones") << u",a,,\t, b ,"_s << QStringList{u"a"_s, u" b "_s};
    QTest::newRow("a quoted comma") << u"\"Lee, Ann\" <a@x.org>,b"_s << QStringList{u"\"Lee, Ann\" <a@x.org>"_s, u"b"_s};
    QTest::newRow("an escaped quote inside") << u"\"a\\\",b\" <a@x.org>,c"_s
                                             << QStringList{u"\"a\\\",b\" <a@x.org>"_s, u"c"_s};
    QTest::newRow("angle brackets") << u"Ann <a,b@x.org>,c"_s << QStringList{u"Ann <a,b@x.org>"_s, u"c"_s};
    QTest::newRow("a comment") << u"a@x.org (Lee, Ann),c"_s << QStringList{u"a@x.org (Lee, Ann)"_s, u"c"_s};
    QTest::newRow("a comma in nested comments") << u"x@y.org (a (b) c, d), z@w.org"_s
                                                << QStringList{u"x@y.org (a (b) c, d)"_s, u" z@w.org"_s};
    QTest::newRow("a quote that never closes") << u"\"a,b,c"_s << QStringList{u"\"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("brackets that never close") << u"<a,(b,c"_s << QStringList{u"<a"_s, u"(b"_s, u"c"_s};
    QTest::newRow("nothing") << QString() << QStringList();
}

void TestLogic::recipientsOfAJoinedLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, recipients);
    QStringList found;
    for (const auto &[start, end] : Recipients::in(line))
        found << line.sliced(start, end - start);
    QCOMPARE(found, recipients);
    const Recipients::Places places = Recipients::placesIn(line);
    QStringList placed;
    for (qsizetype i = 0; i < places.size(); ++i)
        placed << line.sliced(places.start(i), places.end(i) - places.start(i));
    QCOMPARE(placed, recipients);
}

// The places of more recipients than a block holds, and of ones further
// apart than 32 bits reach, come back as they went in.
void TestLogic::recipientsPlacesAcrossBlocks()
{
    Recipients::Places places;
    QList<std::pair<qsizetype, qsizetype>> given;
    for (qsizetype i = 0; i < 70'000; ++i)
        given.append({3 * i, 3 * i + 2});
    given.append({qsizetype(5) << 32, (qsizetype(5) << 32) + 7});
    given.append({(qsizetype(5) << 32) + 8, (qsizetype(6) << 32) + 1});
    given.append({(qsizetype(6) << 32) + 2, (qsizetype(6) << 32) + 3});
    // The longest recipient that has a place, and one character more.
    constexpr qsizetype longest = 0xFFFF'FFFF;
    given.append({qsizetype(7) << 32, (qsizetype(7) << 32) + longest});
    for (const auto &[start, end] : given)
        places.append(start, end);
    QVERIFY_THROWS_EXCEPTION(std::length_error, places.append(qsizetype(9) << 32, (qsizetype(9) << 32) + longest + 1));
    QCOMPARE(places.size(), given.size());
    for (qsizetype i = 0; i < given.size(); ++i)
        QCOMPARE(std::make_pair(places.start(i), places.end(i)), given[i]);
}

void TestLogic::addressesAndWhyNot_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reason"); // empty for an address
    const auto address = [](const char *tag, const QString &line) { QTest::newRow(tag) << line << QString(); };
    const auto not_ = [](const char *tag, const QString &line, const QString &reason) {
        QTest::newRow(tag) << line << reason;
    };
    address("bare", u"ann@x.org"_s);
    address("spaces and tabs around", u" \tann@x.org "_s);
    address("named", u"Ann Lee <ann@x.org>"_s);
    address("quoted name with a comma", u"\"Lee, Ann\" <ann@x.org>"_s);
    address("encoded name", u"=?UTF-8?B?w4Zu?= <ann@x.org>"_s);
    address("in brackets alone", u"<ann@x.org>"_s);
    address("signs of a dot-atom", u"a.b+c!#$%&'*/=?^_`{|}~-d@x.org"_s);
    address("quoted local part", u"\"john smith\"@x.org"_s);
    address("letters of any script", u"\u7528\u6237@\u4F8B\u5B50.\u5E7F\u544A"_s);
    address("international domain", u"ann@m\u00FCnchen.de"_s);
    address("its ASCII form", u"ann@xn--mnchen-3ya.de"_s);
    address("address literal", u"ann@[192.0.2.1]"_s);
    address("IPv6 literal", u"ann@[IPv6:2001:db8::1]"_s);
    address("64 bytes before the @", QString(64, u'a') + u"@x.org"_s);
    address("labels of 63", u"a@"_s + QString(63, u'b') + u"."_s + QString(63, u'c') + u".org"_s);
    address("a comment after it", u"ann@x.org (Ann Lee)"_s);
    address("a named one with a comment", u"Ann <ann@x.org> (home)"_s);
    address("a quoted part ending in an escaped backslash", u"\"a\\\\\"@x.org"_s);
    address("ideographic full stops", u"a@x\u3002org"_s);
    address("254 bytes in all", QString(64, u'a') + u"@"_s + (QString(63, u'b') + u"."_s).repeated(2) + QString(57, u'c') + u".org"_s);
    not_("255 bytes in all", QString(64, u'a') + u"@"_s + (QString(63, u'b') + u"."_s).repeated(2) + QString(58, u'c') + u".org"_s,
         u"the address is longer than 254 bytes"_s);
    not_("a label between full stops left empty", u"a@x.\uFF0Eorg"_s, u"two dots together in the domain"_s);
    not_("a space that takes no room in the domain", u"ann@x\u200B.org"_s,
         u"the character U+200B (ZERO WIDTH SPACE) is not allowed in the domain"_s);
    not_("a joiner before the @", u"a\u200Db@x.org"_s, u"the character U+200D (ZERO WIDTH JOINER) is not allowed"_s);
    not_("an unquoted @ in the name", u"bob@y.org <ann@x.org>"_s,
         u"the character \"@\" (COMMERCIAL AT) is not allowed in the name"_s);
    not_("a comment that never closes", u"ann@x.org (Ann"_s, u"a ( without a )"_s);
    not_("a comment in the name that never closes", u"Ann (x <ann@x.org>"_s, u"a ( without a ) in the name"_s);
    not_("no @", u"ann.x.org"_s, u"no @"_s);
    not_("two @", u"ann@@x.org"_s, u"more than one @"_s);
    not_("two addresses", u"ann@x.org, bob@x.org"_s, u"more than one address"_s);
    not_("a space inside", u"Bob Smith bob@x.org"_s, u"a space inside"_s);
    not_("a comma in the domain", u"john@gmail,com"_s, u"a comma in the domain"_s);
    not_("no dot in the domain", u"mary@yahoo"_s, u"the domain has no dot"_s);
    not_("a dot first", u".ann@x.org"_s, u"the part before the @ starts with a dot"_s);
    not_("a dot last", u"ann.@x.org"_s, u"the part before the @ ends with a dot"_s);
    not_("two dots", u"a..b@x.org"_s, u"two dots together before the @"_s);
    not_("two dots in the domain", u"a@x..org"_s, u"two dots together in the domain"_s);
    not_("a domain ending in a dot", u"a@x.org."_s, u"the domain ends with a dot"_s);
    not_("65 bytes before the @", QString(63, u'a') + u"\u00E9@x.org"_s, u"the part before the @ is longer than 64 bytes"_s);
    not_("a label of 64", u"a@"_s + QString(64, u'b') + u".org"_s, u"a label of the domain is longer than 63 characters"_s);
    not_("a domain of 254", u"a@"_s + (QString(49, u'b') + u"."_s).repeated(5) + u"abcd"_s,
         u"the domain is longer than 253 characters"_s);
    not_("a hyphen first", u"a@-x.org"_s, u"a label of the domain starts or ends with a hyphen"_s);
    not_("ending in a number", u"a@x.123"_s, u"the domain ends in a number"_s);
    not_("a sign not allowed", u"ann(at)@x.org"_s, u"the character \"(\" (LEFT PARENTHESIS) is not allowed"_s);
    not_("a space that does not show", u"ann\u00A0lee@x.org"_s, u"the character U+00A0 (NO-BREAK SPACE) is not allowed"_s);
    not_("an underscore in the domain", u"ann@x_y.org"_s, u"the character \"_\" (LOW LINE) is not allowed in the domain"_s);
    not_("a NUL in the domain", u"ann@x\0.org"_s, u"the character U+0000 is not allowed in the domain"_s);
    not_("nothing before the @", u"@x.org"_s, u"nothing before the @"_s);
    not_("nothing after it", u"ann@"_s, u"nothing after the @"_s);
    not_("an unquoted comma in a name", u"Lee, Ann <ann@x.org>"_s, u"a comma in the name (put the name in quotes)"_s);
    not_("an open quote", u"\"john@x.org"_s, u"a quote before the @ is not closed"_s);
    not_("no IP address in brackets", u"ann@[300.1.1.1]"_s, u"the address in brackets is not a valid IP address"_s);
    not_("more after a NUL in brackets", u"ann@[192.0.2.1\0x]"_s, u"the address in brackets is not a valid IP address"_s);
    not_("a domain IDNA refuses", u"ann@\u2665.org"_s,
         u"the domain is not a valid international name (string contains a disallowed character)"_s);
    not_("an A-label that is none", u"ann@xn--zz.org"_s,
         u"the domain is not a valid international name (string contains invalid punycode data)"_s);
}

// Which lines are addresses, and why the others are not, in plain words.
void TestLogic::addressesAndWhyNot()
{
    QFETCH(QString, line);
    QFETCH(QString, reason);
    const AddressCheck::Verdict verdict = AddressCheck::check(line);
    QCOMPARE(verdict.reason, reason);
    QCOMPARE(verdict.isAddress(), reason.isEmpty());
    QCOMPARE(AddressCheck::key(line).isEmpty(), !reason.isEmpty());
    QVERIFY(AddressCheck::check(u" \t"_s).empty && !AddressCheck::check(u" \t"_s).isAddress());
}

void TestLogic::addressesFoundInText_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("found");
    const QString ann = u"ann@x.org"_s;
    QTest::newRow("a named mailbox") << u"Ann Lee <ann@x.org>"_s << QStringList{ann};
    QTest::newRow("a quoted name with a comma") << u"\"Lee, Ann\" <ann@x.org>, bob@y.org"_s << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("an encoded name") << u"=?UTF-8?Q?Zo=C3=AB?= <zoe@x.org>"_s << QStringList{u"zoe@x.org"_s};
    QTest::newRow("semicolons between") << u"a@x.org; b@y.org; c@z.org"_s
                                        << QStringList{u"a@x.org"_s, u"b@y.org"_s, u"c@z.org"_s};
    QTest::newRow("mixed separators") << u"a@x.org; b@y.org, \"Lee, Ann\" <c@z.org>"_s
                                      << QStringList{u"a@x.org"_s, u"b@y.org"_s, u"c@z.org"_s};
    QTest::newRow("a group") << u"team: a@x.org, b@x.org;"_s << QStringList{u"a@x.org"_s, u"b@x.org"_s};
    QTest::newRow("a header") << u"To: Ann <ann@x.org>, \"Bob\" <bob@y.org>"_s << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("a folded line of it") << u"    Carl <carl@z.org>,"_s << QStringList{u"carl@z.org"_s};
    QTest::newRow("a CSV row") << u"\"Lee, Ann\",ann@x.org,555-1234"_s << QStringList{ann};
    QTest::newRow("a tab-separated row") << u"Lee\tann@x.org\tOslo"_s << QStringList{ann};
    QTest::newRow("vCard") << u"EMAIL;TYPE=work:ann@x.org"_s << QStringList{ann};
    QTest::newRow("LDIF") << u"mail: ann@x.org"_s << QStringList{ann};
    QTest::newRow("mailto with a subject") << u"mailto:ann@x.org?subject=Hi%20there&cc=bob@y.org"_s
                                           << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("mailto percent-encoded") << u"mailto:j%2Esmith%40x.org"_s << QStringList{u"j.smith@x.org"_s};
    QTest::newRow("mailto in HTML") << u"<a href=\"mailto:ann@x.org?subject=a@b\">Ann</a>"_s << QStringList{ann};
    QTest::newRow("punctuation around") << u"Write (ann@x.org). Or <bob@y.org>, or 'carl@z.org'."_s
                                        << QStringList{ann, u"bob@y.org"_s, u"carl@z.org"_s};
    QTest::newRow("what only looks like one") << u"bob@y.org; carl@z"_s << QStringList{u"bob@y.org"_s, u"carl@z"_s};
    QTest::newRow("a quoted local part") << u"see \"john smith\"@x.org"_s << QStringList{u"\"john smith\"@x.org"_s};
    QTest::newRow("an address literal") << u"or ann@[192.0.2.1]."_s << QStringList{u"ann@[192.0.2.1]"_s};
    QTest::newRow("a comment after an address literal never closes")
        << u"a@[192.0.2.1] (not closed, b@y.org"_s << QStringList{u"a@[192.0.2.1]"_s, u"b@y.org"_s};
    QTest::newRow("an @ in quotes") << u"\"a@b\"@x.org, c@y.org"_s << QStringList{u"\"a@b\"@x.org"_s, u"c@y.org"_s};
    QTest::newRow("letters beyond the first plane") << u"mail \U0001D51E\U0001D52B@x.org"_s
                                                    << QStringList{u"\U0001D51E\U0001D52B@x.org"_s};
    QTest::newRow("a domain of letters without case") << u"write to ann@\u4F8B\u3048.\u30C6\u30B9\u30C8 now"_s
                                                     << QStringList{u"ann@\u4F8B\u3048.\u30C6\u30B9\u30C8"_s};
    QTest::newRow("capitals beyond ASCII") << u"write \u00D8rjan@x.no now"_s << QStringList{u"\u00D8rjan@x.no"_s};
    QTest::newRow("an @ first, an address after") << u"@ann: write to bob@x.org"_s << QStringList{u"bob@x.org"_s};
    QTest::newRow("an address as a quoted name") << u"\"bob@y.org\" <ann@x.org>"_s << QStringList{ann};
    QTest::newRow("an address in a comment") << u"ann@x.org (formerly ann@old.org)"_s << QStringList{ann};
    QTest::newRow("names and comments in a header")
        << u"To: \"bob@y.org\" <ann@x.org>, carl@z.org (was carl@old.org), Dan (dan@old.org) <dan@w.org>"_s
        << QStringList{ann, u"carl@z.org"_s, u"dan@w.org"_s};
    QTest::newRow("an address as the name") << u"ann@x.org <ann@x.org>, bob@y.org"_s << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("mailto: with an empty path") << u"mailto:?to=a@x.org,b@x.org"_s << QStringList{u"a@x.org"_s, u"b@x.org"_s};
    QTest::newRow("mailto: in HTML with &amp;") << u"<a href=\"mailto:a@x.org?cc=b@y.org&amp;bcc=c@z.org\">"_s
                                                << QStringList{u"a@x.org"_s, u"b@y.org"_s, u"c@z.org"_s};
    QTest::newRow("mailto: ending a sentence") << u"Write to mailto:ann@x.org."_s << QStringList{ann};
    QTest::newRow("a slash between two") << u"ann@x.org/bob@y.org"_s << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("in braces") << u"{ann@x.org}"_s << QStringList{ann};
    QTest::newRow("a CSV row quoted throughout") << u"\"Ann\",\"Lee\",\"ann@x.org\""_s << QStringList{ann};
    QTest::newRow("a sign that shows nothing stays for checking to tell") << u"write ann\u200B@x.org"_s
                                                                          << QStringList{u"ann\u200B@x.org"_s};
    QTest::newRow("a comment between the @ and the domain") << u"To: C <c@(host) public.example>, d@x.org"_s
                                                          << QStringList{u"c@public.example"_s, u"d@x.org"_s};
    QTest::newRow("an ideographic full stop after it") << u"请联系ann@x.org。谢谢"_s << QStringList{ann};
    QTest::newRow("mailto: with a named cc") << u"mailto:a@x.org?cc=%22Lee%2C%20Ann%22%20%3Cann@x.org%3E"_s
                                             << QStringList{u"a@x.org"_s, ann};
    QTest::newRow("nothing to find") << u"ann at x dot org"_s << QStringList();
    QTest::newRow("an @ alone") << u"meet @ noon"_s << QStringList();
}

void TestLogic::addressesFoundInText()
{
    QFETCH(QString, line);
    QFETCH(QStringList, found);
    QCOMPARE(AddressExtraction::in(line), found);
}

// Named addresses, longer together than any address can be.
static QStringList longList()
{
    QStringList named;
    for (int i = 0; i < 4000; ++i)
        named << u"\"Lee, Ann %1\" <a%1@x.org>"_s.arg(i);
    return named;
}

void TestLogic::addressesFoundInLines_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QStringList>("found");
    const QString ann = u"ann@x.org"_s;
    const QString long_ = u"firstname.lastname@engineering.example.org"_s;
    QTest::newRow("a folded vCard") << u"BEGIN:VCARD⏎VERSION:3.0⏎EMAIL:firstname.lastname@engin⏎␠eering.example.org⏎END:VCARD"_s
                                    << QStringList{long_};
    QTest::newRow("a folded EMAIL alone") << u"EMAIL:firstname.lastname@engin⏎␠eering.example.org"_s << QStringList{long_};
    QTest::newRow("a folded LDIF value") << u"dn: cn=Ann⏎mail: firstname.lastname@engin⏎␠eering.example.org"_s
                                         << QStringList{long_};
    QTest::newRow("LDIF's base64") << u"mail:: YW5uQHgub3Jn"_s << QStringList{ann};
    QTest::newRow("LDIF's base64 beyond ASCII") << u"mail:: em/Dq0B4Lm9yZw=="_s << QStringList{u"zo\u00EB@x.org"_s};
    QTest::newRow("an LDIF name naming the address") << u"dn: cn=Lee\\, Ann,mail=ann@x.org⏎cn: ann@old.org"_s << QStringList{ann};
    QTest::newRow("named and given again") << u"dn: cn=Ann,mail=ann@x.org⏎mail: Ann@x.org⏎⏎dn: cn=Bob⏎mail: bob@y.org"_s
                                           << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("an LDIF name starting with the address") << u"dn: mail=ann@x.org,o=X"_s << QStringList{ann};
    QTest::newRow("an LDIF name's emailAddress") << u"dn: cn=Ann,emailAddress=ann@x.org"_s << QStringList{ann};
    QTest::newRow("a header after an LDIF record") << u"dn: cn=Ann,mail=ann@x.org⏎⏎To: bob@y.org"_s
                                                   << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("an LDIF name escaping a sign") << u"dn: mail=ann\\+lee@x.org+cn=Ann"_s << QStringList{u"ann+lee@x.org"_s};
    QTest::newRow("a mailing list's members") << u"dn: cn=Team⏎member: cn=Bob,mail=bob@y.org"_s << QStringList{u"bob@y.org"_s};
    QTest::newRow("vCard's quoted-printable") << u"EMAIL;ENCODING=QUOTED-PRINTABLE:ann=40x.org"_s << QStringList{ann};
    QTest::newRow("its soft line break") << u"EMAIL;QUOTED-PRINTABLE:ann@ex=⏎ample.org"_s << QStringList{u"ann@example.org"_s};
    QTest::newRow("in the character set it names") << u"EMAIL;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:j=F6rg@x.org"_s
                                                    << QStringList{u"j\u00F6rg@x.org"_s};
    QTest::newRow("an = that escapes nothing") << u"EMAIL;ENCODING=QUOTED-PRINTABLE:a=zz=40x.org"_s << QStringList{u"a=zz@x.org"_s};
    QTest::newRow("vCard's base64") << u"EMAIL;ENCODING=b:YW5uQHgub3Jn"_s << QStringList{ann};
    // Longer than any address: a value passed over, a header read a part
    // at a time, each address whole.
    QStringList addresses;
    for (int i = 0; i < 4000; ++i)
        addresses << u"a%1@x.org"_s.arg(i);
    QTest::newRow("a long header") << u"To: "_s + longList().join(u",⏎␠"_s) << addresses;
    QTest::newRow("a value longer than any address")
        << u"BEGIN:VCARD⏎EMAIL;ENCODING=b:"_s + u"YW5u"_s.repeated(20000) + u"⏎␠QHgub3Jn⏎EMAIL:b@y.org⏎END:VCARD"_s
        << QStringList{u"b@y.org"_s};
    QTest::newRow("a vCard's line folded with a tab") << u"BEGIN:VCARD⏎EMAIL:ann@x.or⏎\tg⏎END:VCARD"_s << QStringList{ann};
    QTest::newRow("an X.400 address is none") << u"BEGIN:VCARD⏎EMAIL;X400:G=Jo;S=Smith;O=x@y⏎EMAIL:jo@x.org⏎END:VCARD"_s
                                              << QStringList{u"jo@x.org"_s};
    QTest::newRow("a colon in a quoted parameter") << u"BEGIN:VCARD⏎ADR;LABEL=\"a:b@c.org\":;;⏎EMAIL:a@x.org⏎END:VCARD"_s
                                                   << QStringList{u"a@x.org"_s};
    QTest::newRow("a name of several values") << u"member: cn=Ann+mail=a@x.org,dc=x"_s << QStringList{u"a@x.org"_s};
    QTest::newRow("only a vCard's addresses")
        << u"BEGIN:VCARD⏎FN:bob@y.org⏎NOTE:was ann@old.org⏎item1.EMAIL;type=INTERNET:ann@x.org⏎END:VCARD⏎carl@z.org"_s
        << QStringList{ann, u"carl@z.org"_s};
    QTest::newRow("a folded header") << u"To: Ann <ann@x.org>,⏎␠Bob⏎␉<bob@y.org>"_s.replace(u"␉"_s, u"\t"_s)
                                     << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("an indented list is none") << u"ann@x.org⏎␠bob@y.org"_s << QStringList{ann, u"bob@y.org"_s};
    QTest::newRow("an indented list after a heading") << u"Members:⏎␠ann@x.org⏎␠bob@y.org"_s
                                                      << QStringList{ann, u"bob@y.org"_s};
}

// Lines as address books and mail programs write them.
void TestLogic::addressesFoundInLines()
{
    QFETCH(QString, lines);
    QFETCH(QStringList, found);
    const QString text = fromExample(lines);
    QCOMPARE(AddressExtraction::inLines(LineJoiner::cutAtLineBreaks(text)), found);
}

// The named lines address books and mail give, one per address, as
// ContactReader reads them and Mailboxes writes them.
void TestLogic::namedAddressesOfContactsAndMail_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QStringList>("named");
    const int book = int(ContactReader::Kind::AddressBook);
    const int mbox = int(ContactReader::Kind::Mbox);
    const int message = int(ContactReader::Kind::Message);
    QTest::newRow("N put together, FN preferred") << book
        << u"BEGIN:VCARD⏎N:Lee;Ann;B.;Dr.;Jr.⏎EMAIL:a@x.org⏎END:VCARD⏎BEGIN:VCARD⏎FN:Bo⏎N:Lee;Ann⏎EMAIL:b@x.org⏎END:VCARD"_s
        << QStringList{u"\"Dr. Ann B. Lee Jr.\" <a@x.org>"_s, u"Bo <b@x.org>"_s};
    QTest::newRow("N's escaped semicolon is no separator") << book
        << u"BEGIN:VCARD⏎N:Lee\\;Kim;Ann⏎EMAIL:a@x.org⏎END:VCARD"_s << QStringList{u"\"Ann Lee;Kim\" <a@x.org>"_s};
    QTest::newRow("a name that repeats the address is none") << book
        << u"BEGIN:VCARD⏎FN:ann⏎EMAIL:ann@x.org⏎END:VCARD⏎BEGIN:VCARD⏎FN:bob@y.org⏎EMAIL:bob@y.org⏎END:VCARD"_s
        << QStringList{u"ann@x.org"_s, u"bob@y.org"_s};
    QTest::newRow("escapes, quotes and backslashes in a name") << book
        << u"BEGIN:VCARD⏎FN:Lee\\; \"Al\" \\\\ B\\nC⏎EMAIL:a@x.org⏎END:VCARD"_s
        << QStringList{u"\"Lee; \\\"Al\\\" \\\\ B C\" <a@x.org>"_s};
    QTest::newRow("a card never ended, a backslash ending a name") << book
        << u"BEGIN:VCARD⏎FN:Ann⏎EMAIL:a@x.org⏎BEGIN:VCARD⏎FN:Bo \\⏎EMAIL:b@x.org⏎END:VCARD"_s
        << QStringList{u"Ann <a@x.org>"_s, u"\"Bo \\\\\" <b@x.org>"_s};
    QTest::newRow("LDIF: given name and surname, a folded base64 name") << book
        << u"dn: cn=x⏎givenName: Ann⏎sn: Lee⏎mail: a@x.org⏎⏎dn: cn=y⏎cn:: WsO2⏎␠ZQ==⏎mail: z@x.org⏎mozillaSecondEmail: z2@x.org"_s
        << QStringList{u"Ann Lee <a@x.org>"_s, u"Z\u00f6e <z@x.org>"_s, u"Z\u00f6e <z2@x.org>"_s};
    QTest::newRow("CSV: Google's columns, several addresses in a cell, a quoted line break") << book
        << u"First Name,Middle Name,Last Name,E-mail 1 - Value,Notes⏎Ann,B.,Lee,a@x.org ::: Work <b@y.org>,\"x,⏎y\"⏎"
           u"\"Multi⏎Line\",,,c@z.org,⏎,,,not an address,"_s
        << QStringList{u"\"Ann B. Lee\" <a@x.org>"_s, u"Work <b@y.org>"_s, u"Multi Line <c@z.org>"_s};
    QTest::newRow("CSV: Outlook's and Thunderbird's whole names before name parts, a formula's guard") << book
        << u"First Name,Display Name,E-mail Address,Secondary Email⏎Ann,Ann Lee,a@x.org,'+b@x.org⏎,'=Bo,'-c@x.org,"_s
        << QStringList{u"Ann Lee <a@x.org>"_s, u"Ann Lee <+b@x.org>"_s, u"=Bo <-c@x.org>"_s};
    QTest::newRow("CSV without an e-mail column is no address book") << book << u"Name,Phone⏎Ann,123"_s << QStringList();
    QTest::newRow("encoded words: adjacent, Q's underscore, a charset's language, one that is none") << message
        << u"From: =?UTF-8?B?WsO2ZQ==?= =?iso-8859-1*de?Q?_M=FCller?= <z@x.org>, =?x?Z?abc?= <q@x.org>"_s
        << QStringList{u"Z\u00f6e M\u00fcller <z@x.org>"_s, u"\"=?x?Z?abc?=\" <q@x.org>"_s};
    QTest::newRow("a tab in a name becomes a space, one in a quoted address stays") << message
        << u"From: \"Lee,\tAnn\" <\"a\tb\"@x.org>, \"c\td\"@x.org"_s
        << QStringList{u"\"Lee, Ann\" <\"a\tb\"@x.org>"_s, u"\"c\td\"@x.org"_s};
    QTest::newRow("a group, a comment for a name, other fields and the body passed over") << message
        << u"Subject: ann@x.org⏎To: Team: a@x.org,⏎␠b@x.org (Bee);, undisclosed-recipients:;⏎Bcc: c@x.org⏎⏎From: d@x.org"_s
        << QStringList{u"a@x.org"_s, u"Bee <b@x.org>"_s};
    QTest::newRow("a long field, a part at a time") << message << u"To: "_s + longList().join(u",⏎␠"_s) << longList();

    QTest::newRow("a value longer than any name or address, passed over") << book
        << u"dn: cn=A⏎cn:: "_s + u"QW5u"_s.repeated(20000) + u"⏎mail:: YW5uQHgub3Jn⏎␠"_s + u"QW5u"_s.repeated(20000)
               + u"⏎mail: a@x.org"_s
        << QStringList{u"a@x.org"_s};
    QTest::newRow("a soft line break before a blank") << book
        << u"BEGIN:VCARD⏎VERSION:2.1⏎N;ENCODING=QUOTED-PRINTABLE:Zu=⏎␠Berg⏎EMAIL:z@x.org⏎END:VCARD"_s
        << QStringList{u"Zu Berg <z@x.org>"_s};
    QTest::newRow("an X.400 address is none") << book
        << u"BEGIN:VCARD⏎FN:Jo Smith⏎EMAIL;X400:G=Jo;S=Smith⏎EMAIL;TYPE=INTERNET:jo@x.org⏎END:VCARD"_s
        << QStringList{u"Jo Smith <jo@x.org>"_s};
    QTest::newRow("a name starting with a colon, a colon in a quoted parameter") << book
        << u"BEGIN:VCARD⏎FN:: x⏎ADR;LABEL=\"a:b@c.org\":;;⏎EMAIL:a@x.org⏎END:VCARD"_s
        << QStringList{u"\": x\" <a@x.org>"_s};
    QTest::newRow("LDIF: an address in the entry's name alone") << book << u"dn: cn=Ann+mail=a@x.org,dc=x⏎cn: Ann"_s
                                                                << QStringList{u"Ann <a@x.org>"_s};
    QTest::newRow("mbox: once each, the later name filling in, every From line a message") << mbox
        << u"From x⏎To: a@x.org⏎⏎From me⏎From x⏎Sender: Ann <A@X.org>⏎Cc: Bo <a@x.org>, b@x.org⏎⏎body: c@x.org"_s
        << QStringList{u"Ann <a@x.org>"_s, u"b@x.org"_s};
}

void TestLogic::namedAddressesOfContactsAndMail()
{
    QFETCH(int, kind);
    QFETCH(QString, lines);
    QFETCH(QStringList, named);
    QStringList found;
    ContactReader reader(ContactReader::Kind(kind), [&](const Mailboxes::Mailbox &m) { found << Mailboxes::line(m); });
    const QString text = fromExample(lines);
    for (const QStringView line : LineJoiner::cutAtLineBreaks(text))
        reader.feed(line);
    reader.finish();
    QCOMPARE(found, named);
}

// For every line that checking takes as an address, finding gives exactly
// that line's address, whatever letters and signs it holds: seeded random
// local parts from every script and kind of sign, bare, named or with a
// comment.
void TestLogic::addressesFoundAsChecked()
{
    QRandomGenerator random(24);
    const QList<char32_t> characters = {
        u'a', u'Z', u'7', u'.', u'+', u'_', u'\'', u'/', u'{', u'~', u'!', u'#', u'&', u'=', u'?', u'`', u'-',
        0xE9, 0xDF, 0x3B1, 0x436, 0x5D0, 0x627, 0x915, 0x94D, 0x4E2D, 0xAC00, 0x301, 0x2603, 0x20AC, 0xA9, 0xB7,
        0x2014, 0xFFFD, 0x1F600, 0x1D51E, 0x200B, 0xA0, u'"', u'(', u'@', u' ', u',', u'<',
    };
    const QStringList domains = {u"x.org"_s, u"m\u00FCnchen.de"_s, u"[192.0.2.1]"_s, u"x\u3002org"_s, u"z"_s};
    int addresses = 0;
    for (int i = 0; i < 4000; ++i) {
        QString local;
        for (int length = 1 + random.bounded(8); length > 0; --length)
            local += QString::fromUcs4(&characters[random.bounded(characters.size())], 1);
        if (random.bounded(5) == 0)
            local = u'"' + local + u'"';
        const QString address = local + u'@' + domains[random.bounded(domains.size())];
        const QString forms[] = {address, u"Ann Lee <"_s + address + u'>', address + u" (Ann, Lee)"_s,
                                 u"\"Lee, Ann\" <"_s + address + u"> (home)"_s};
        const QString line = forms[random.bounded(4)];
        if (!AddressCheck::check(line).isAddress())
            continue;
        ++addresses;
        QCOMPARE(AddressExtraction::inLines({line}), QStringList{address.trimmed()});
    }
    QVERIFY2(addresses > 500, qPrintable(QString::number(addresses)));
}

void TestLogic::addressesComparedAsAddresses_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("case") << u"Ann@X.org"_s << u"ann@x.org"_s << true;
    QTest::newRow("a name") << u"Ann <ANN@X.org>"_s << u"ann@x.org"_s << true;
    QTest::newRow("IDNA") << u"ann@M\u00FCnchen.de"_s << u"ann@xn--mnchen-3ya.de"_s << true;
    QTest::newRow("quotes it needs not") << u"\"Ann\"@x.org"_s << u"ann@x.org"_s << true;
    QTest::newRow("escapes it needs not") << u"\"ann\\.lee\"@x.org"_s << u"ann.lee@x.org"_s << true;
    QTest::newRow("quotes it needs") << u"\"ann lee\"@x.org"_s << u"\"ann\\ lee\"@x.org"_s << true;
    QTest::newRow("quoted but another") << u"\"ann lee\"@x.org"_s << u"annlee@x.org"_s << false;
    QTest::newRow("a comment") << u"ann@x.org (Ann)"_s << u"ann@x.org"_s << true;
    QTest::newRow("an ideographic full stop") << u"a@x\uFF61org"_s << u"a@x.org"_s << true;
    QTest::newRow("other local parts") << u"ann@x.org"_s << u"anna@x.org"_s << false;
    QTest::newRow("other domains") << u"ann@x.org"_s << u"ann@x.net"_s << false;
}

void TestLogic::addressesComparedAsAddresses()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(AddressCheck::key(a) == AddressCheck::key(b), same);
}

void TestLogic::oneMailboxAtItsProvider_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same"); // with provider aliases counted as one
    QTest::newRow("Gmail: dots") << u"a.n.n@gmail.com"_s << u"ann@gmail.com"_s << true;
    QTest::newRow("Gmail: googlemail.com") << u"Ann <A.nn@GoogleMail.com>"_s << u"ann@gmail.com"_s << true;
    QTest::newRow("Gmail: a tag") << u"ann+news@gmail.com"_s << u"ANN@Gmail.com"_s << true;
    QTest::newRow("Gmail: a quoted local part") << u"\"a.nn\"@gmail.com"_s << u"ann@gmail.com"_s << true;
    QTest::newRow("Gmail: other letters") << u"ann@gmail.com"_s << u"anne@gmail.com"_s << false;
    QTest::newRow("Gmail: a plus to start with is no tag") << u"+ann@gmail.com"_s << u"ann@gmail.com"_s << false;
    QTest::newRow("Gmail: not its subdomains") << u"ann+x@mail.gmail.com"_s << u"ann@mail.gmail.com"_s << false;
    QTest::newRow("Gmail: a one-letter name's tag") << u"a+x@gmail.com"_s << u"a@gmail.com"_s << true;
    QTest::newRow("Gmail: not an address, left as it is") << u"a\u0080+x@gmail.com"_s << u"a\u0080@gmail.com"_s << false;
    // Outlook, Hotmail, Live, iCloud, Fastmail and Proton: tags go, dots stay.
    for (const char *domain : {"outlook.com", "hotmail.com", "live.com", "msn.com", "icloud.com", "me.com", "mac.com",
                               "fastmail.com", "fastmail.fm", "proton.me", "protonmail.com", "protonmail.ch", "pm.me"}) {
        const QString at = u"@"_s + QLatin1String(domain);
        QTest::addRow("%s: a tag", domain) << u"ann+x"_s + at << u"Ann"_s + at << true;
        QTest::addRow("%s: dots count", domain) << u"a.nn"_s + at << u"ann"_s + at << false;
    }
    QTest::newRow("Hotmail is not Outlook") << u"ann@hotmail.com"_s << u"ann@outlook.com"_s << false;
    QTest::newRow("Yahoo: no tags") << u"ann+x@yahoo.com"_s << u"ann@yahoo.com"_s << false;
    QTest::newRow("Yahoo: throwaway names are others") << u"ann-x@yahoo.com"_s << u"ann@yahoo.com"_s << false;
    QTest::newRow("other domains: dots and tags count") << u"a.nn+x@example.com"_s << u"ann@example.com"_s << false;
}

// The window's duplicates, the command line's and the lists of addresses
// left out or kept count one mailbox alike, and only when asked to.
void TestLogic::oneMailboxAtItsProvider()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    const bool asWritten = !AddressCheck::key(a).isEmpty() && AddressCheck::key(a) == AddressCheck::key(b);
    for (const bool sameMailbox : {false, true}) {
        const bool expected = sameMailbox ? same : asWritten;
        QString stores[2];
        QCOMPARE(LineKeys::duplicateKeyOf(a, stores[0], sameMailbox).toString().toCaseFolded()
                     == LineKeys::duplicateKeyOf(b, stores[1], sameMailbox).toString().toCaseFolded(),
                 expected);
        QByteArray keys[2];
        LineKeys::appendFoldedDuplicateKey(a.toUtf8(), keys[0], sameMailbox);
        LineKeys::appendFoldedDuplicateKey(b.toUtf8(), keys[1], sameMailbox);
        QCOMPARE(keys[0] == keys[1], expected);
        ListedAddresses listed(sameMailbox);
        listed.addLine(a);
        listed.finish();
        QCOMPARE(listed.holds(b), expected);
        QCOMPARE(listed.listHolding(b.toUtf8()) == 0, expected);
    }
}

void TestLogic::adviceOnAddresses_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("warning"); // empty: nothing to say
    QTest::addColumn<QString>("suggestion");
    const auto none = [](const char *tag, const QString &line) { QTest::newRow(tag) << line << QString() << QString(); };
    const auto typo = [](const char *tag, const QString &line, const QString &meant) {
        QTest::newRow(tag) << line << u"did you mean %1?"_s.arg(meant) << meant;
    };
    const auto warned = [](const char *tag, const QString &line, const QString &warning, const QString &meant = {}) {
        QTest::newRow(tag) << line << warning << meant;
    };
    none("a common domain", u"ann@gmail.com"_s);
    none("any other", u"ann@firm-734.co.uk"_s);
    typo("letters swapped", u"ann@gmial.com"_s, u"ann@gmail.com"_s);
    typo("a letter left out", u"ann@hotmal.com"_s, u"ann@hotmail.com"_s);
    typo("two edits in a long name", u"ann@yahooo.co.k"_s, u"ann@yahoo.co.uk"_s);
    typo("a top-level domain mistyped", u"ann@gmail.con"_s, u"ann@gmail.com"_s);
    typo("written in capitals, in a named line", u"Ann <Ann@GMIAL.com>"_s, u"Ann@gmail.com"_s);
    typo("one edit in a name of four letters", u"ann@zohi.com"_s, u"ann@zoho.com"_s);
    none("two edits in a name of four letters", u"ann@zihi.com"_s);
    none("a name of three letters changed", u"ann@gmy.net"_s);
    none("a name of three letters under another real suffix", u"ann@gmx.fr"_s);
    none(".ac.uk beside .co.uk", u"ann@yahoo.ac.uk"_s);
    none(".nu beside .ru", u"ann@yandex.nu"_s);
    // A host under another domain is no typo of a provider's one label.
    for (const char *host : {"mail.x.org", "g.mail.com", "hotmai.l.com"})
        QTest::newRow(host) << u"ann@"_s + QLatin1String(host) << QString() << QString();
    typo("a dot slipped into the suffix", u"ann@gmx.d.e"_s, u"ann@gmx.de"_s);
    // Real domains of providers, seen advised wrongly: another real suffix
    // after a provider's name, or a provider of the public lists.
    for (const char *real : {"yahoo.se", "live.at", "live.de", "posteo.net", "mail.de", "mail.dk", "email.cz",
                             "orange.es", "yandex.ua", "cloud.com", "aol.co", "online.de"})
        QTest::newRow(real) << u"ann@"_s + QLatin1String(real) << QString() << QString();
    warned("a no-reply address", u"No-Reply@x.org"_s, u"a no-reply address, which no one reads"_s);
    warned("a role's, tagged", u"Postmaster+lists@firm.org"_s, u"postmaster is a role, not a person"_s);
    warned("a throwaway domain", u"ann@mailinator.com"_s, u"mailinator.com hands out throwaway addresses"_s);
    none("a person's name alike", u"information@firm.org"_s);
    warned("a short name's suffix that does not exist", u"ann@aol.c"_s,
           u"the top-level domain .c does not exist, did you mean ann@aol.com?"_s, u"ann@aol.com"_s);
    warned("the commonest of its name's domains as near", u"ann@gmx.xy"_s,
           u"the top-level domain .xy does not exist, did you mean ann@gmx.de?"_s, u"ann@gmx.de"_s);
    none("an address literal", u"ann@[192.0.2.1]"_s);
    warned("a top-level domain that does not exist", u"ann@firm.xyzq"_s, u"the top-level domain .xyzq does not exist"_s);
    warned("one a letter away from a common one", u"ann@firm.cmo"_s,
           u"the top-level domain .cmo does not exist, did you mean ann@firm.com?"_s, u"ann@firm.com"_s);
    warned("in an international name", u"ann@\u043F\u0440\u0438\u043C\u0435\u0440\u3002o\u3002rg"_s,
           u"the top-level domain .rg does not exist, did you mean ann@\u043F\u0440\u0438\u043C\u0435\u0440.o.org?"_s,
           u"ann@\u043F\u0440\u0438\u043C\u0435\u0440.o.org"_s);
    warned("example.com", u"ann@example.com"_s, u"example.com is reserved for examples"_s);
    warned("a name under example.org", u"ann@mail.EXAMPLE.org"_s, u"example.org is reserved for examples"_s);
    warned(".example", u"ann@x.example"_s, u".example is reserved for examples"_s);
    warned(".invalid", u"ann@x.invalid"_s, u".invalid is never delivered"_s);
    warned(".test", u"ann@x.test"_s, u".test is never delivered"_s);
    warned("localhost", u"ann@printer.localhost"_s, u"localhost is never delivered"_s);
    warned("Cyrillic letters among Latin ones in the domain", u"paypal@ex\u0430mple.com"_s,
           u"the domain mixes Latin and Cyrillic letters, as look-alike names do"_s);
    warned("and in the local part", u"p\u0430yp\u0430l@x.org"_s,
           u"the local part mixes Latin and Cyrillic letters, as look-alike names do"_s);
    none("a script for each label", u"ann@stra\u00DFe.\u0440\u0444"_s);
    none("between ideographic full stops", u"ann@zye4b\u3002\u0440\u0444"_s);
    none("one script", u"\u7528\u6237@\u4F8B\u5B50.\u4E2D\u56FD"_s);
    warned("an ideographic top-level domain that is none", u"\u7528\u6237@\u4F8B\u5B50.\u5E7F\u544A"_s,
           u"the top-level domain .\u5E7F\u544A does not exist"_s);
}

// Advice is given on addresses the checks accept, the same whether the line
// or its address alone is advised on, the first time or from what was kept.
void TestLogic::adviceOnAddresses()
{
    QFETCH(QString, line);
    QFETCH(QString, warning);
    QFETCH(QString, suggestion);
    QVERIFY(AddressCheck::isAddress(line));
    AddressAdvice adviser;
    for (int time = 0; time < 2; ++time) {
        const AddressAdvice::Advice advice = adviser.on(line);
        QCOMPARE(advice.warning, warning);
        QCOMPARE(advice.suggestion, suggestion);
    }
    QCOMPARE(AddressAdvice().onAddress(AddressCheck::address(line).toUtf8()).warning, warning);
}

namespace {

// The text with one letter put in, left out, changed, or swapped with the
// next, where the generator says.
QByteArray withTypo(QByteArray text, QRandomGenerator &random)
{
    const char letter = char('a' + random.bounded(26));
    const int at = int(random.bounded(text.size()));
    switch (random.bounded(4)) {
    case 0:
        return text.insert(at, letter);
    case 1:
        return text.remove(at, 1);
    case 2:
        text[at] = letter;
        return text;
    default:
        if (at + 1 < text.size())
            std::swap(text[at], text[at + 1]);
        return text;
    }
}

} // namespace

// Typos of one and two edits in the names of the table's domains longer
// than four letters get the domain back, nearly always: where they do not,
// the typo is as near another domain of the table. A typo of the suffix
// is corrected where it makes none that exists (gmail.cmo), never where it
// makes another real one (gmail.co, which only the mail system can tell).
void TestLogic::typosOfCommonDomainsAreCorrected()
{
    QRandomGenerator random(26);
    AddressAdvice adviser;
    for (const int edits : {1, 2}) {
        int typos = 0;
        int right = 0;
        for (const char *domain : MailDomains::all()) {
            const qsizetype dot = QByteArrayView(domain).indexOf('.');
            if (dot <= 4)
                continue;
            for (int i = 0; i < 20; ++i) {
                QByteArray name = QByteArray(domain).first(dot);
                for (int edit = 0; edit < edits; ++edit)
                    name = withTypo(name, random);
                const QByteArray typo = name + QByteArray(domain).sliced(dot);
                if (MailDomains::editDistance(typo, domain) != edits || MailDomains::isCommon(typo)
                    || !AddressCheck::isAddress(QString::fromLatin1("ann@" + typo)))
                    continue;
                ++typos;
                right += adviser.onAddress("ann@" + typo).suggestion == QLatin1String("ann@") + QLatin1String(domain);
            }
        }
        QVERIFY2(right >= typos * 95 / 100, qPrintable(u"%1 of %2 typos of %3 edits"_s.arg(right).arg(typos).arg(edits)));
    }
    for (const auto &[typo, meant] : {std::pair{"gmail.cmo", "ann@gmail.com"}, {"hotmail.co.k", "ann@hotmail.co.uk"},
                                      {"gmail.co", ""}, {"hotmail.cm", ""}})
        QCOMPARE(adviser.onAddress("ann@"_ba + typo).suggestion, QString::fromLatin1(meant));
}

// Addresses at the table's domains, at its names and at any name under
// every suffix that ICANN delegates, and at the public lists' providers, a
// hundred thousand of them, are nearly never advised on.
void TestLogic::realDomainsGetNoAdvice()
{
    QFile list(u"/usr/share/publicsuffix/public_suffix_list.dat"_s);
    if (!list.open(QIODevice::ReadOnly))
        QSKIP("the public suffix list is not installed");
    QStringList suffixes;
    for (const QByteArray &line : list.readAll().split('\n')) {
        if (line.contains("===END ICANN DOMAINS==="))
            break;
        if (!line.isEmpty() && !line.startsWith("//") && !line.startsWith('*') && !line.startsWith('!'))
            suffixes << QString::fromUtf8(line.trimmed());
    }
    QStringList providers;
    QFile listed(QStringLiteral(KESTRAVA_SOURCE_DIR "/resources/real-mail-domains.txt"));
    QVERIFY(listed.open(QIODevice::ReadOnly));
    for (const QByteArray &line : listed.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            providers << QString::fromUtf8(line);
    QRandomGenerator random(2606);
    const auto name = [&random] {
        QString name;
        for (int i = 0, size = 3 + int(random.bounded(10)); i < size; ++i)
            name += QChar(u"abcdefghijklmnopqrstuvwxyz0123456789"[random.bounded(36)]);
        return name;
    };
    AddressAdvice adviser;
    int addresses = 0;
    QStringList advised;
    while (addresses < 100'000) {
        // A tenth the table's, a tenth its names under other suffixes, a
        // tenth the public lists' providers, the rest any name.
        const QString table = QString::fromLatin1(MailDomains::all()[random.bounded(int(MailDomains::all().size()))]);
        const QString suffix = suffixes[random.bounded(suffixes.size())];
        const QString domain = addresses % 10 == 0   ? table
                               : addresses % 10 == 1 ? table.left(table.indexOf(u'.') + 1) + suffix
                               : addresses % 10 == 2 ? providers[random.bounded(providers.size())]
                                                     : name() + u'.' + suffix;
        const QString address = name() + u'@' + domain;
        if (!AddressCheck::isAddress(address))
            continue;
        ++addresses;
        // Throwaway domains are real, and warned of as such.
        if (const AddressAdvice::Advice advice = adviser.on(address);
            !advice.warning.isEmpty() && advice.kind != AddressAdvice::Kind::Disposable)
            advised << address + u": "_s + advice.warning;
    }
    QVERIFY2(advised.size() <= addresses / 1000, qPrintable(advised.join(u'\n')));
}

// Names with commas, quotes and letters of any script are encoded so that
// only the commas between recipients separate them; links longer than the
// limit are cut between recipients, and a recipient too long for any link
// has one of its own.
void TestLogic::mailtoLinksKeepEachRecipientWhole()
{
    using MailtoLinks::Field;
    QCOMPARE(MailtoLinks::of({u" a@x.org\t"_s, u"\"O'Brien, Ann\" <ann@x.org>"_s, u"Zo\u00EB <z@x.org>"_s}, Field::Bcc),
             QStringList{u"mailto:?bcc=a@x.org,%22O%27Brien%2C%20Ann%22%20%3Cann@x.org%3E,Zo%C3%AB%20%3Cz@x.org%3E"_s});
    QCOMPARE(MailtoLinks::of({u"a@x.org"_s, u"b@y.org"_s, u"c@z.org"_s}, Field::To, 26),
             QStringList({u"mailto:?to=a@x.org,b@y.org"_s, u"mailto:?to=c@z.org"_s}));
    QCOMPARE(MailtoLinks::of({u"a@x.org"_s, u"longer.than.the.limit@x.org"_s, u"b@y.org"_s}, Field::To, 26),
             QStringList({u"mailto:?to=a@x.org"_s, u"mailto:?to=longer.than.the.limit@x.org"_s, u"mailto:?to=b@y.org"_s}));
    QCOMPARE(MailtoLinks::of({}, Field::Bcc), QStringList());
}

void TestLogic::fileChangedBetweenThePassesIsTold_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("changed"); // what the file holds from the third read on
    QTest::addColumn<bool>("told");
    QTest::addColumn<int>("reads"); // how many the file takes, -1 for as many as it may
    QTest::addColumn<QByteArray>("ending"); // how the joined bytes end, when that matters
    QTest::addColumn<bool>("sameTime"); // changed within the clock's tick: only the bytes tell
    QTest::addColumn<bool>("lines");    // read as lines for the options, not joined whole
    const QByteArray utf8 = "zo\xC3\xAB@x.org\nann@x.org\n"; // 21 bytes, two blocks of 16
    for (const bool lines : {false, true}) {
        const auto addRow = [lines](const char *tag) -> QTestData & {
            return QTest::addRow("%s%s", tag, lines ? ", as lines" : "");
        };
        addRow("no longer UTF-8") << utf8 << QByteArray(utf8).replace("\xC3\xAB", "\xEB!") << true << -1 << QByteArray() << false << lines;
        // The character cut off shows as U+FFFD.
        addRow("cut inside a character") << utf8 << utf8.left(3) << true << -1 << "zo\xEF\xBF\xBD,"_ba << false << lines;
        addRow("no longer UTF-8, within a tick") << utf8 << QByteArray(utf8).replace("\xC3\xAB", "\xEB!") << true << -1 << QByteArray() << true << lines;
        addRow("grown") << utf8 << utf8 + "bob@x.org\n" << true << -1 << QByteArray() << false << lines;
        // Windows-1252 rewritten as UTF-8 of the same size, its time put
        // back: only the change time tells.
        const QByteArray windows1252 = "caf\xE9\xE9\nzo\xEB@x.org\nann@x.org\n";
        addRow("another encoding, as long, within a tick") << windows1252
                                                            << QByteArray(windows1252).replace("\xE9\xE9", "\xC3\xA9")
                                                            << true << -1 << QByteArray() << true << lines;
        addRow("other text, as long") << utf8 << QByteArray(utf8).replace("ann", "bob") << true << -1 << QByteArray() << false << lines;
        // Twice a full block and what is left up to the end.
        addRow("unchanged") << utf8 << utf8 << false << 6 << QByteArray() << false << lines;
        // A file of less than a block is read once.
        addRow("a short file") << "ann@x.org\n"_ba << "bob@x.org\n"_ba << false << 2 << QByteArray() << false << lines;
    }
}

// A file joined a block at a time is read twice; should it change between the
// passes, that is told, and what was written is still UTF-8.
void TestLogic::fileChangedBetweenThePassesIsTold()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, changed);
    QFETCH(bool, told);
    QFETCH(int, reads);
    QFETCH(QByteArray, ending);
    QFETCH(bool, sameTime);
    QFETCH(bool, lines);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(putFile(dir.path(), u"list.txt"_s, file));
    const int fd = ::open(path.constData(), O_RDONLY);
    struct stat opened {};
    QVERIFY(::fstat(fd, &opened) == 0);
    QByteArray joined;
    QString failure;
    {
        FileCallsOverride restore;
        int done = 0;
        const auto read = fileCalls().read;
        // The first pass stops at the file's end (two reads); the file
        // changes before the second starts, a moment later than it was made.
        fileCalls().read = [&](int from, void *bytes, size_t count) {
            if (++done == 3 && changed != file) {
                QTest::qWait(10);
                QFile rewritten(QString::fromUtf8(path));
                if (!rewritten.open(QIODevice::WriteOnly) || rewritten.write(changed) != changed.size())
                    qFatal("cannot change the file");
                rewritten.close();
                const struct timespec times[2] = {opened.st_atim, opened.st_mtim};
                if (sameTime && ::utimensat(AT_FDCWD, path.constData(), times, 0) != 0)
                    qFatal("cannot set the file's time");
            }
            return read(from, bytes, count);
        };
        StreamingJoin join;
        const FileJoin::Writer write = [&](QByteArray &bytes) { joined += std::exchange(bytes, {}); };
        // Lines as the options read them, each with the comma joining gives it.
        LineDecoder lineDecoder([&](const QList<QByteArrayView> &read) {
            for (const QByteArrayView line : read)
                joined += line.toByteArray() + ',';
        }, false);
        try {
            if (lines)
                FileJoin::readOrdinaryFile(fd, opened, lineDecoder, 16);
            else
                FileJoin::joinOrdinaryFile(fd, opened, join, write, 16);
        } catch (const Failure &f) {
            failure = f.description();
        }
        QVERIFY(reads < 0 || done == reads);
        QVERIFY(QUtf8StringView(joined).isValidUtf8());
        QVERIFY2(joined.endsWith(ending), joined.constData());
        // Unchanged, it is what joining it whole gives.
        QByteArray whole;
        StreamingJoin reference;
        FileJoin::joinHeld(file, reference, [&](QByteArray &bytes) { whole += std::exchange(bytes, {}); });
        QVERIFY(told || joined == whole);
        // The next file is joined as usual, whatever became of this one.
        joined.clear();
        if (lines)
            FileJoin::readHeld("x@y.org\n", lineDecoder);
        else
            FileJoin::joinHeld("x@y.org\n", join, write);
        QCOMPARE(joined, "x@y.org,,"_ba);
    }
    ::close(fd);
    QCOMPARE(failure, told ? u"File changed as it was read"_s : QString());
}

// Seeded random list files (line breaks of every kind, characters of one to
// four bytes, UTF-16, Windows-1252 bytes) read a few bytes at a time give
// the very lines the window gives them; a line longer than the longest held
// whole comes in pieces that make it up.
void TestLogic::linesReadInBlocksAreTheWindowsLines()
{
    QRandomGenerator random(33);
    const QByteArrayList parts = {"a", "b@x.org", "\r", "\n", "\r\n", "\xC3\xAB", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", " "};
    for (int round = 0; round < 3000; ++round) {
        QByteArray file;
        for (int i = random.bounded(40); i > 0; --i)
            file += parts[random.bounded(parts.size())];
        if (round % 7 == 1)
            file.insert(random.bounded(file.size() + 1), '\xE9'); // no UTF-8: Windows-1252
        if (round % 11 == 2)
            file = QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(QString::fromUtf8(file).utf16()),
                                                       QString::fromUtf8(file).size() * 2);
        // Each line followed by CR LF; CR LF, LF and CR each end a line.
        static const QRegularExpression lineBreak(u"\r\n|\n|\r"_s);
        QStringList window = linesWithBreaks(listFileText(file)).split(lineBreak);
        window.removeLast();
        if (file.isEmpty())
            window = {u"empty file"_s};
        QStringList read;
        QByteArray pieces;
        LineDecoder decoder([&read](const QList<QByteArrayView> &lines) {
            for (const QByteArrayView line : lines)
                read << QString::fromUtf8(line);
        }, false);
        decoder.handOnLongLines(1 + random.bounded(12), [&](QByteArrayView piece, bool last) {
            pieces += piece;
            if (last)
                read << QString::fromUtf8(std::exchange(pieces, {}));
        });
        ListEncoding::Utf8Check check;
        check.feed(file);
        decoder.startFile(ListEncoding::of(file, check.isValid()));
        const int block = 1 + random.bounded(9);
        for (qsizetype from = 0; from < file.size();) {
            const qsizetype length = qMin<qsizetype>(from == 0 ? qMax(4, block) : block, file.size() - from);
            decoder.feed(QByteArrayView(file).sliced(from, length));
            from += length;
        }
        decoder.finishFile();
        QVERIFY2(pieces.isEmpty(), file.toHex().constData());
        QVERIFY2(read == window, file.toHex().constData());
    }
}

// An address book folded anywhere, inside characters too, read a few bytes
// at a time with folded characters put back: its lines, once unfolded, are
// the lines as written, in UTF-8, whatever the blocks.
void TestLogic::linesFoldedInsideACharacterAreUnfolded()
{
    QRandomGenerator random(34);
    const QByteArrayList parts = {"a", "Lee", " ", "\xC3\xAB", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", ":", "="};
    for (int round = 0; round < 500; ++round) {
        QByteArrayList written;
        QByteArray file;
        for (int i = 1 + random.bounded(4); i > 0; --i) {
            QByteArray line = "FN:";
            for (int j = random.bounded(30); j > 0; --j)
                line += parts[random.bounded(parts.size())];
            written << line;
            // Folded after every few bytes, wherever they end.
            for (qsizetype at = 4 + random.bounded(6); at < line.size(); at += 5 + random.bounded(6)) {
                const QByteArray fold = random.bounded(2) ? "\r\n " : "\n\t";
                line.insert(at, fold);
                at += fold.size();
            }
            file += line + "\r\n";
        }
        QTemporaryDir dir;
        const QString path = putFile(dir.path(), u"book.vcf"_s, file);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        struct stat opened {};
        QVERIFY(::fstat(fd, &opened) == 0);
        QByteArrayList unfolded;
        LineDecoder decoder([&unfolded](const QList<QByteArrayView> &lines) {
            for (const QByteArrayView line : lines) {
                if ((line.startsWith(' ') || line.startsWith('\t')) && !unfolded.isEmpty())
                    unfolded.last() += line.sliced(1);
                else
                    unfolded << line.toByteArray();
            }
        }, true);
        FileJoin::readOrdinaryFile(fd, opened, decoder, 5 + random.bounded(12), true);
        ::close(fd);
        unfolded.removeAll(QByteArray());
        QVERIFY2(unfolded == written, file.toHex().constData());
    }
}

// Mail read a piece of a long line at a time may be stopped at each piece.
void TestLogic::aLongLineOfMailCanBeStopped()
{
    QTemporaryDir dir;
    const QString path = putFile(dir.path(), u"one.mbox"_s, QByteArray(5 << 20, 'x'));
    WorkProgress progress;
    progress.cancelled = true;
    QVERIFY_THROWS_EXCEPTION(WorkCancelled, ContactFiles::read(path, ContactFiles::Kind::Mbox,
                                                               [](const QList<QByteArrayView> &) {}, {}, &progress));
}

// Lines sorted in runs of a few at a time, through temporary files merged
// sixteen at a time and then again, come out as Sort Lines sorts them; no
// temporary file is left.
void TestLogic::sortedInRunsAsTheWindowSorts()
{
    QTemporaryDir folder;
    const QByteArray savedFolder = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder.path()));
    QRandomGenerator random(7);
    const QStringList pieces = {u"ann"_s, u"Ann"_s, u" bob "_s, u"\u00C9mile"_s, u"\u00E9mile"_s, u"zo\u00EB"_s, u"\t"_s,
                                u"\U0001D51E"_s, u"\uFFFD"_s, u"a"_s, u"A"_s, u"@x.org"_s, u"@mail.X.org"_s,
                                u"@a.mail.x.org"_s, u"@y.co.uk"_s, u"Ann <zo\u00EB@x.org>"_s, QString()};
    QStringList lines;
    for (int i = 0; i < 3000; ++i)
        lines << pieces[random.bounded(pieces.size())] + pieces[random.bounded(pieces.size())];
    QList<QStringView> views(lines.begin(), lines.end());
    for (const auto &[order, operation] :
         {std::pair{SortKeys::Order::Line, ListTidying::Operation::Sort},
          std::pair{SortKeys::Order::Address, ListTidying::Operation::SortByAddress},
          std::pair{SortKeys::Order::Domain, ListTidying::Operation::SortByDomain}}) {
        QList<QByteArray> encoded;
        LineSorter sorter(order, 600);
        for (const QString &line : std::as_const(lines))
            sorter.add(encoded.emplace_back(line.toUtf8()));
        QStringList sorted;
        sorter.finish([&sorted](QByteArrayView line) { sorted << QString::fromUtf8(line); });
        QStringList expected;
        for (QStringView line : ListTidying(views).apply(operation))
            expected << line.toString();
        QCOMPARE(sorted, expected);
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    qputenv("TMPDIR", savedFolder);
}

void TestLogic::sortingToAFullDiskIsTold()
{
    QTemporaryDir folder;
    const QByteArray savedFolder = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder.path()));
    QString told;
    {
        FileCallsOverride restore;
        fileCalls().write = [](int, const void *, size_t) -> ssize_t {
            errno = ENOSPC;
            return -1;
        };
        LineSorter sorter(SortKeys::Order::Line, 100);
        try {
            for (int i = 0; i < 100; ++i)
                sorter.add(QByteArray::number(i % 7) + "@x.org");
            sorter.finish([](QByteArrayView) {});
        } catch (const Failure &failure) {
            told = failure.description();
        }
    }
    QCOMPARE(told, u"cannot write a temporary file in %1 (TMPDIR): No space left on device"_s.arg(folder.path()));
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    qputenv("TMPDIR", savedFolder);
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
    QCOMPARE(clipboard.write(u"a,b"_s, 0), placed);
    QCOMPARE(clipboard.attempts, attempts);
    QCOMPARE(clipboard.placed, placed ? u"a,b"_s : QString());
}

void TestLogic::clipboardWriterSwallowsFailures()
{
    ThrowingClipboard throwing;
    QCOMPARE(throwing.write(u"x"_s), false);
    QCOMPARE(throwing.attempts, 1000);
    BusyClipboard clipboard(0);
    QVERIFY(clipboard.write(u"x"_s, 49161));
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
