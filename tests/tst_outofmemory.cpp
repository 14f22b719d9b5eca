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

// Thousands of lines, most of them deleted, a run of typing, perhaps undone;
// with many, enough steps before that the history must grow for the next.
TextDocument prepared(bool undone, bool many = false)
{
    using Kind = EditHistory::Kind;
    TextDocument document;
    document.replace(0, 0, u"x\n"_s.repeated(3000), Kind::Other, 0, 0);
    for (int i = 0; many && i < 13; ++i)
        document.replace(0, 0, u"-"_s, Kind::Other, 0, 0);
    document.replace(0, 6000, {}, Kind::Delete, 0, 0);
    document.replace(0, 0, u"abc"_s, Kind::Typing, 0, 0);
    document.replace(3, 0, u"d"_s, Kind::Typing, 3, 3);
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
    void checkingWithoutMemoryIsNoVerdict();
    void failedLoadLeavesTheText();
};

void TestOutOfMemory::failedEditsChangeNothing_data()
{
    using Kind = EditHistory::Kind;
    QTest::addColumn<bool>("undone");
    QTest::addColumn<bool>("many");
    QTest::addColumn<Edit>("edit");
    const QString lines = u"p\nq\rr\r\n"_s.repeated(2000);
    QTest::newRow("typing on") << false << false
                               << Edit([](TextDocument &d) { d.replace(4, 0, u"g"_s, Kind::Typing, 4, 4); });
    QTest::newRow("typing anew") << true << false
                                 << Edit([](TextDocument &d) { d.replace(0, 0, u"x"_s, Kind::Typing, 0, 0); });
    QTest::newRow("the history grows") << false << true
                                       << Edit([](TextDocument &d) { d.replace(0, 0, u"x"_s, Kind::Other, 0, 0); });
    QTest::newRow("typing over a selection as the history grows")
        << false << true << Edit([](TextDocument &d) { d.replace(1, 3, u"y"_s, Kind::Other, 1, 4); });
    QTest::newRow("backspace") << false << false
                               << Edit([](TextDocument &d) { d.replace(3, 1, {}, Kind::Backspace, 4, 4); });
    QTest::newRow("delete") << false << false << Edit([](TextDocument &d) { d.replace(1, 1, {}, Kind::Delete, 1, 1); });
    QTest::newRow("lines joined") << false << false
                                  << Edit([](TextDocument &d) { d.replace(5, 2, {}, Kind::Other, 7, 7); });
    QTest::newRow("lines pasted") << true << false
                                  << Edit([lines](TextDocument &d) { d.replace(1, 3, lines, Kind::Other, 1, 4); });
    QTest::newRow("everything replaced") << false << true << Edit([lines](TextDocument &d) {
        d.replace(0, d.buffer().size(), lines, Kind::Other, 0, 0);
    });
    QTest::newRow("undoing a deletion") << true << false << Edit([](TextDocument &d) { d.undo(); });
    QTest::newRow("redoing") << true << false << Edit([](TextDocument &d) { d.redo(); });
    QTest::newRow("appending") << true << false << Edit([lines](TextDocument &d) { d.append(lines); });
    // What the program fills in, one step that undo takes back: ending the
    // step, in a destructor, needs no memory.
    QTest::newRow("a load as one step") << false << true << Edit([lines](TextDocument &d) {
        d.beginStep(0, 0);
        const std::unique_ptr<TextDocument, void (*)(TextDocument *)> step(&d, [](TextDocument *document) {
            document->endStep();
        });
        d.append(lines);
    });
}

void TestOutOfMemory::failedEditsChangeNothing()
{
#if defined(KESTRAVA_UNDER_SANITIZER)
    QSKIP("the sanitizers provide malloc themselves");
#endif
    QFETCH(bool, undone);
    QFETCH(bool, many);
    QFETCH(Edit, edit);
    const QStringList before = historyOf(prepared(undone, many));
    TextDocument reference = prepared(undone, many);
    edit(reference);
    const QStringList after = historyOf(reference);
    QVERIFY(after != before);

    long failures = 0;
    for (long allocation = 0;; ++allocation) {
        TextDocument document = prepared(undone, many);
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
        QCOMPARE(historyOf(document), before);
    }
    QVERIFY(failures > 0);
    qInfo("memory failed at each of %ld allocations in turn", failures);
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
