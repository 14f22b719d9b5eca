#include "app/ApplicationTitle.h"
#include "app/Failure.h"
#include "app/ProductInfo.h"
#include "app/ReportText.h"
#include "join/LineJoiner.h"
#include "listfiles/SampleList.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

// Writes CR LF as ⏎, a lone LF as ␊, a lone CR as ␍ and a space as ␠, as
// the worked examples do.
static QString fromExample(QString text)
{
    return text.replace(u"⏎"_s, u"\r\n"_s).replace(u"␊"_s, u"\n"_s).replace(u"␍"_s, u"\r"_s).replace(u"␠"_s, u" "_s);
}

class TestLogic : public QObject
{
    Q_OBJECT

private slots:
    void joinsEveryLineLiterally_data();
    void joinsEveryLineLiterally();
    void joiningNeverLeavesALineBreakPair();
    void joiningAMillionLinesKeepsEveryItem();
    void cuttingKeepsEmptyPieces();

    void applicationTitle_data();
    void applicationTitle();

    void reportText();
    void failureDescriptions();

    void sampleListShape();
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
    QCOMPARE(LineJoiner::cutAtLineBreaks(QString()), QStringList());
    QCOMPARE(LineJoiner::cutAtLineBreaks(QStringLiteral("\r\n")), QStringList({QString(), QString()}));
    QCOMPARE(LineJoiner::cutAtLineBreaks(QStringLiteral("A\r\na")), QStringList({u"A"_s, u"a"_s}));
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

QTEST_GUILESS_MAIN(TestLogic)
#include "tst_logic.moc"
