// Edits of a text area's text when memory runs out at any one allocation:
// each edit is made again and again, memory failing at its first
// allocation, then its second, and so on, until it completes without one. An
// edit that fails leaves the text and its undo and redo history as they were.
// Checking addresses, IDNA among it, the same way: memory that runs out is
// told as such, never taken for an address that is none. A list file added
// to a load's text the same way: the text as it was.
//
// Allocations fail through malloc itself, which this program provides in
// place of the C library's: Qt's strings and the standard containers both
// allocate through it, and both throw std::bad_alloc when it gives nothing.
#include "ProcessLimits.h"
#include "addresses/AddressCheck.h"
#include "core/Failure.h"
#include "reading/InputFiles.h"
#include "textview/TextDocument.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

// Allocations left before one fails, on this thread; negative: none fails.
thread_local long allocationsLeft = -1;

} // namespace

#if !defined(KESTRAVA_UNDER_SANITIZER)
extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_realloc(void *pointer, size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);

namespace {

bool allocationFails()
{
    return allocationsLeft >= 0 && allocationsLeft-- == 0;
}

} // namespace

extern "C" void *malloc(size_t size)
{
    return allocationFails() ? nullptr : __libc_malloc(size);
}

extern "C" void *realloc(void *pointer, size_t size)
{
    return allocationFails() ? nullptr : __libc_realloc(pointer, size);
}

extern "C" void *calloc(size_t count, size_t size)
{
    return allocationFails() ? nullptr : __libc_calloc(count, size);
}
#endif

namespace {

using Edit = std::function<void(TextDocument &)>;

// Everything the history holds: the texts that undoing everything and then
// redoing everything shows, and where the document stood among them; a step
// typed after it shows whether a run of typing would go on.
QStringList historyOf(TextDocument document)
{
    document.replace(document.buffer().size(), 0, u"!"_s, EditHistory::Kind::Typing, 0, 0);
    QStringList texts{document.buffer().text()};
    for (int steps = 0; document.canUndo() && steps < 64; ++steps) {
        document.undo();
        texts << document.buffer().text();
    }
    for (int steps = 0; document.canRedo() && steps < 64; ++steps) {
        document.redo();
        texts << document.buffer().text();
    }
    return texts;
}

// A whole new text of the document's lines at the places, as tidying a
// list makes one: the history keeps the choice, when it is worth keeping.
void chooseLines(TextDocument &document, const std::vector<quint32> &places)
{
    const TextBuffer &buffer = document.buffer();
    const QString text = buffer.text();
    QList<QStringView> lines;
    for (qsizetype line = 0; line < buffer.lineCount(); ++line)
        lines.append(QStringView(text).sliced(buffer.lineStart(line), buffer.lineLength(line)));
    QList<QStringView> chosen;
    for (const quint32 place : places)
        chosen.append(lines[place]);
    std::optional<LineChoice> choice = LineChoice::of(lines, places);
    TextBuffer next;
    next.setLines(chosen, [](qsizetype, QStringView) {});
    document.replaceAll(std::move(next), 1, 2, choice ? std::make_shared<LineChoice>(*std::move(choice)) : nullptr);
}

// Every line but the first, last first: a sort that drops a line.
std::vector<quint32> reversedButTheFirst(const TextDocument &document)
{
    std::vector<quint32> places(size_t(document.buffer().lineCount() - 1));
    std::iota(places.rbegin(), places.rend(), 1);
    return places;
}

// What came before the edit: a few steps, many (enough that the history must
// grow for the next), or a few and a choice of lines last.
enum class Before { Few, Many, Chosen };

// Thousands of lines, most of them deleted, a run of typing, perhaps a
// choice of lines, the last step perhaps undone.
TextDocument prepared(bool undone, Before before = Before::Few)
{
    using Kind = EditHistory::Kind;
    TextDocument document;
    document.replace(0, 0, u"x\n"_s.repeated(3000), Kind::Other, 0, 0);
    for (int i = 0; before == Before::Many && i < 13; ++i)
        document.replace(0, 0, u"-"_s, Kind::Other, 0, 0);
    document.replace(0, 6000, {}, Kind::Delete, 0, 0);
    document.replace(0, 0, u"abc"_s, Kind::Typing, 0, 0);
    document.replace(3, 0, u"d"_s, Kind::Typing, 3, 3);
    if (before == Before::Chosen)
        chooseLines(document, reversedButTheFirst(document));
    if (undone)
        document.undo();
    return document;
}

} // namespace

class TestOutOfMemory : public QObject
{
    Q_OBJECT

private slots:
    void failedEditsChangeNothing_data();
    void failedEditsChangeNothing();
    void aChoiceOfLinesKeepsNeitherText_data();
    void aChoiceOfLinesKeepsNeitherText();
    void checkingWithoutMemoryIsNoVerdict();
    void failedLoadLeavesTheText();
};

void TestOutOfMemory::failedEditsChangeNothing_data()
{
    using Kind = EditHistory::Kind;
    QTest::addColumn<bool>("undone");
    QTest::addColumn<Before>("before");
    QTest::addColumn<Edit>("edit");
    const QString lines = u"p\nq\rr\r\n"_s.repeated(2000);
    QTest::newRow("typing on") << false << Before::Few
                               << Edit([](TextDocument &d) { d.replace(4, 0, u"g"_s, Kind::Typing, 4, 4); });
    QTest::newRow("typing anew") << true << Before::Few
                                 << Edit([](TextDocument &d) { d.replace(0, 0, u"x"_s, Kind::Typing, 0, 0); });
    QTest::newRow("the history grows") << false << Before::Many
                                       << Edit([](TextDocument &d) { d.replace(0, 0, u"x"_s, Kind::Other, 0, 0); });
    QTest::newRow("typing over a selection as the history grows")
        << false << Before::Many << Edit([](TextDocument &d) { d.replace(1, 3, u"y"_s, Kind::Other, 1, 4); });
    QTest::newRow("backspace") << false << Before::Few
                               << Edit([](TextDocument &d) { d.replace(3, 1, {}, Kind::Backspace, 4, 4); });
    QTest::newRow("delete") << false << Before::Few
                            << Edit([](TextDocument &d) { d.replace(1, 1, {}, Kind::Delete, 1, 1); });
    QTest::newRow("lines joined") << false << Before::Few
                                  << Edit([](TextDocument &d) { d.replace(5, 2, {}, Kind::Other, 7, 7); });
    QTest::newRow("lines pasted") << true << Before::Few
                                  << Edit([lines](TextDocument &d) { d.replace(1, 3, lines, Kind::Other, 1, 4); });
    QTest::newRow("everything replaced") << false << Before::Many << Edit([lines](TextDocument &d) {
        d.replace(0, d.buffer().size(), lines, Kind::Other, 0, 0);
    });
    QTest::newRow("undoing a deletion") << true << Before::Few << Edit([](TextDocument &d) { d.undo(); });
    QTest::newRow("redoing") << true << Before::Few << Edit([](TextDocument &d) { d.redo(); });
    QTest::newRow("appending") << true << Before::Few << Edit([lines](TextDocument &d) { d.append(lines); });
    // What the program fills in, one step that undo takes back: ending the
    // step, in a destructor, needs no memory.
    QTest::newRow("a load as one step") << false << Before::Many << Edit([lines](TextDocument &d) {
        d.beginStep(0, 0);
        const std::unique_ptr<TextDocument, void (*)(TextDocument *)> step(&d, [](TextDocument *document) {
            document->endStep();
        });
        d.append(lines);
    });
    // Tidying a list: the new text made of some of the lines, reordered.
    QTest::newRow("lines chosen") << false << Before::Many
                                  << Edit([](TextDocument &d) { chooseLines(d, reversedButTheFirst(d)); });
    QTest::newRow("undoing a choice of lines") << false << Before::Chosen << Edit([](TextDocument &d) { d.undo(); });
    QTest::newRow("redoing a choice of lines") << true << Before::Chosen << Edit([](TextDocument &d) { d.redo(); });
}

void TestOutOfMemory::failedEditsChangeNothing()
{
#if defined(KESTRAVA_UNDER_SANITIZER)
    QSKIP("the sanitizers provide malloc themselves");
#endif
    QFETCH(bool, undone);
    QFETCH(Before, before);
    QFETCH(Edit, edit);
    const QStringList history = historyOf(prepared(undone, before));
    TextDocument reference = prepared(undone, before);
    edit(reference);
    const QStringList after = historyOf(reference);
    QVERIFY(after != history);

    long failures = 0;
    for (long allocation = 0;; ++allocation) {
        TextDocument document = prepared(undone, before);
        bool failed = false;
        allocationsLeft = allocation;
        try {
            edit(document);
        } catch (const std::bad_alloc &) {
            failed = true;
        }
        const bool allocationFailed = allocationsLeft < 0;
        allocationsLeft = -1;
        QCOMPARE(failed, allocationFailed);
        if (!failed)
            break;
        ++failures;
        QCOMPARE(historyOf(document), history);
    }
    QVERIFY(failures > 0);
    qInfo("memory failed at each of %ld allocations in turn", failures);
}

void TestOutOfMemory::aChoiceOfLinesKeepsNeitherText_data()
{
    QTest::addColumn<QString>("fetched");
    QTest::addColumn<std::vector<quint32>>("places");
    QTest::addColumn<QString>("made");
    QTest::addColumn<bool>("shared"); // the history shares the text instead
    QTest::newRow("sorted") << u"b\r\na\r\nc"_s << std::vector<quint32>{1, 0, 2} << u"a\r\nb\r\nc"_s << false;
    QTest::newRow("empty lines left out, the last among them")
        << u"a\r\n\r\nb\r\n"_s << std::vector<quint32>{2, 0} << u"b\r\na"_s << false;
    QTest::newRow("as much left out as kept") << u"ab\r\ncd"_s << std::vector<quint32>{1} << u"cd"_s << false;
    QTest::newRow("less left out than kept, the first line kept")
        << u"abc\r\nde"_s << std::vector<quint32>{0} << u"abc"_s << false;
    QTest::newRow("more left out than kept") << u"ab\r\ncde"_s << std::vector<quint32>{0} << u"ab"_s << true;
    QTest::newRow("every line left out") << u" \r\n\t"_s << std::vector<quint32>{} << QString() << true;
}

// The history keeps the choice, not the text it replaced (four bytes a line
// for a sort), unless the lines left out are most of it; undo and redo make
// each text again from the other.
void TestOutOfMemory::aChoiceOfLinesKeepsNeitherText()
{
    QFETCH(QString, fetched);
    QFETCH(std::vector<quint32>, places);
    QFETCH(QString, made);
    QFETCH(bool, shared);
    const QString text(fetched.data(), fetched.size()); // of its own, not a literal's
    TextDocument document;
    document.setText(text);
    QVERIFY(!text.isDetached());
    chooseLines(document, places);
    QCOMPARE(document.buffer().text(), made);
    QCOMPARE(text.isDetached(), !shared);
    for (int round = 0; round < 2; ++round) {
        const TextDocument::Change undone = document.undo();
        QCOMPARE(document.buffer().text(), text);
        QCOMPARE(std::pair(undone.caret, undone.anchor), std::pair(qsizetype(1), qsizetype(2)));
        document.redo();
        QCOMPARE(document.buffer().text(), made);
    }
}

void TestOutOfMemory::checkingWithoutMemoryIsNoVerdict()
{
#if defined(KESTRAVA_UNDER_SANITIZER)
    QSKIP("the sanitizers provide malloc themselves");
#endif
    for (const QString &line : {u"Ann <ann@m\u00FCnchen.de>"_s, u"a@\u4F8B\u3048.\u30C6\u30B9\u30C8"_s, u"ann@\u2665.org"_s}) {
        const QString reason = AddressCheck::check(line).reason;
        long failures = 0;
        for (long allocation = 0;; ++allocation) {
            QString verdict;
            bool failed = false;
            allocationsLeft = allocation;
            try {
                verdict = AddressCheck::check(line).reason;
            } catch (const std::bad_alloc &) {
                failed = true;
            }
            const bool allocationFailed = allocationsLeft < 0;
            allocationsLeft = -1;
            if (!allocationFailed)
                break;
            failures += failed;
            QVERIFY2(failed || verdict == reason, qPrintable(line + u": "_s + verdict));
        }
        QVERIFY(failures > 0);
    }
}

QTEST_GUILESS_MAIN(TestOutOfMemory)
// A list with LF line breaks, which the load makes CR LF as it adds them.
void TestOutOfMemory::failedLoadLeavesTheText()
{
#if defined(KESTRAVA_UNDER_SANITIZER)
    QSKIP("the sanitizers provide malloc themselves");
#endif
    QTemporaryDir dir;
    QFile file(dir.filePath(u"list.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("a@x.org\nb@y.org\n"_ba.repeated(500)) > 0);
    file.close();
    const QString before = u"kept\r\n"_s;
    long failures = 0;
    for (long allocation = 0;; ++allocation) {
        QString text = before;
        text.reserve(before.size()); // no room to spare, as after a long load
        bool failed = false;
        allocationsLeft = allocation;
        try {
            appendListOrContacts(file.fileName(), text);
        } catch (const std::bad_alloc &) {
            failed = true;
        } catch (const Failure &) {
            failed = true;
        }
        allocationsLeft = -1;
        if (!failed) {
            QCOMPARE(text, before + u"a@x.org\r\nb@y.org\r\n"_s.repeated(500) + u"\r\n"_s);
            break;
        }
        ++failures;
        QCOMPARE(text, before);
    }
    QVERIFY(failures > 0);
}

#include "tst_outofmemory.moc"
