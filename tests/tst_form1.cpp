#include "ContextMenus.h"
#include "FormDriver.h"
#include "TestZone.h"
#include "MailHandler.h"
#include "ProcessLimits.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "core/ProductInfo.h"
#include "core/ReportText.h"
#include "form/InputMenu.h"
#include "form/OutputMenu.h"
#include "join/Separators.h"
#include "platform/Clipboard.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include "listfiles/SampleList.h"
#include "platform/ProgressPanel.h"
#include "platform/PushButton.h"
#include "textview/TextArea.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MemoryLimit::countLargeBlocks(); }
    void init();
    void cleanup();

    // First, as it needs the program's first menu.
    void firstMenuNeedsNoMoreMemoryThanLaterOnes();
    void controlGeometry_data();
    void controlGeometry();
    void windowIsFixedCentredAndWhite();
    void fonts();
    void focusStartsInOutputAndTabGoesRound();
    void screenReadersTellEveryControlApart();

    void joiningTypedLines();
    void joiningPastedLinesWithAnyLineBreak();
    void joiningReplacesOutputAndKeepsInput();
    void joiningShowsHourglassOverWholeWindow();
    void clearingEachArea();
    void sampleList();
    void buttonsThatReplaceATextAreOneUndoStep_data();
    void buttonsThatReplaceATextAreOneUndoStep();
    void help();

    void reportsTwoFailingStatementsAndCarriesOn();
    void failingLoopAdvanceLeavesTheLoop();
    void failingConditionGoesIntoWhatItGuards();
    void outOfMemoryIsReported();
    void joiningOutOfMemoryIsReportedOnce();
    void realModalReportBox();

    void textAreaKeepsEveryCharacter();
    void longLineDoesNotWrap();

    void tidyingTheInput_data();
    void tidyingTheInput();
    void theKeyboardReachesEveryGroup();
    void selectingTheNextLineThatIsNoAddress();
    void removingAddressesListedInFiles();
    void everyRemovedLineIsReported();
    void correctingMistypedDomains();
    void copyingTheOutputInBatches();
    void separatorsTheMailProgramTakes_data();
    void separatorsTheMailProgramTakes();
    void writingToBatchesInTheMailProgram();
    void menuOpenedAgainAndAgainWhileCounting();
    void runningOutOfMemoryChangesNothing_data();
    void runningOutOfMemoryChangesNothing();
    void longTidyingShowsProgressAndCanBeStopped_data();
    void longTidyingShowsProgressAndCanBeStopped();

private:
    template<typename T = QWidget>
    T *control(const char *name) { return m_driver->control<T>(name); }
    void click(const char *button) { m_driver->click(button); }
    TextArea *input() { return m_driver->input(); }
    TextArea *output() { return m_driver->output(); }
    void failAt(const QList<std::pair<int, std::exception_ptr>> &failures, const QString &qualifier)
    {
        m_driver->failAt(failures, qualifier);
    }

    std::unique_ptr<FormDriver> m_driver;
    Form1 *m_form = nullptr;
};

void TestForm1::init()
{
    m_driver = std::make_unique<FormDriver>();
    m_form = m_driver->form.get();
    // The counts a test reads are there however busy the machine.
    input()->findChild<InputMenu *>()->setCountingPatience(std::chrono::seconds(10));
    m_driver->output()->findChild<OutputMenu *>()->setCountingPatience(std::chrono::seconds(10));
}

void TestForm1::cleanup()
{
    m_driver.reset();
    m_form = nullptr;
}

// Fonts, fallback fonts and the style's caches are made ready while memory
// is plenty: the first right-click is not the one that fails when it is short.
void TestForm1::firstMenuNeedsNoMoreMemoryThanLaterOnes()
{
    if (underSanitizer)
        QSKIP("the sanitizers provide malloc themselves");
    const auto heapTakenByMenu = [this] {
        const size_t before = mallinfo2().uordblks;
        menuEntries(input());
        return qint64(mallinfo2().uordblks) - qint64(before);
    };
    const qint64 first = heapTakenByMenu();
    const qint64 later = heapTakenByMenu();
    QVERIFY2(first < 2 * later, qPrintable(u"first %1 bytes, later %2"_s.arg(first).arg(later)));
}

void TestForm1::controlGeometry_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    // Twips divided by 15.
    QTest::newRow("Frame1") << u"Form1"_s << QRect(8, 8, 520, 238);
    QTest::newRow("Text1") << u"Frame1"_s << QRect(16, 20, 488, 137);
    QTest::newRow("PushButton3") << u"Frame1"_s << QRect(15, 164, 240, 27);
    QTest::newRow("PushButton20") << u"Frame1"_s << QRect(264, 164, 240, 27);
    QTest::newRow("PushButton1") << u"Frame1"_s << QRect(16, 198, 240, 27);
    QTest::newRow("PushButton5") << u"Frame1"_s << QRect(264, 198, 240, 27);
    QTest::newRow("PushButton17") << u"Form1"_s << QRect(8, 254, 520, 27);
    QTest::newRow("Frame2") << u"Form1"_s << QRect(8, 286, 520, 238);
    QTest::newRow("Text2") << u"Frame2"_s << QRect(16, 20, 488, 137);
    QTest::newRow("PushButton4") << u"Frame2"_s << QRect(15, 164, 240, 27);
    QTest::newRow("PushButton2") << u"Frame2"_s << QRect(263, 164, 240, 27);
    QTest::newRow("PushButton18") << u"Frame2"_s << QRect(16, 198, 240, 27);
    QTest::newRow("PushButton6") << u"Frame2"_s << QRect(264, 198, 240, 27);
}

void TestForm1::controlGeometry()
{
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QWidget *widget = control(QTest::currentDataTag());
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY(widget->isVisible());
}

void TestForm1::screenReadersTellEveryControlApart()
{
    QStringList heard;
    for (QWidget *widget : m_form->findChildren<QWidget *>())
        if (qobject_cast<PushButton *>(widget) || qobject_cast<TextArea *>(widget))
            heard << widget->accessibleName() + u' ' + widget->accessibleDescription();
    QCOMPARE(heard.size(), 11);
    QCOMPARE(QSet<QString>(heard.begin(), heard.end()).size(), heard.size());
    QCOMPARE(input()->accessibleName(), u"Input text"_s);
    QCOMPARE(output()->accessibleName(), u"Output text"_s);
}

void TestForm1::windowIsFixedCentredAndWhite()
{
    QCOMPARE(m_form->size(), QSize(536, 532));
    QCOMPARE(m_form->minimumSize(), QSize(536, 532));
    QCOMPARE(m_form->maximumSize(), QSize(536, 532));
    const Qt::WindowFlags flags = m_form->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(m_form->geometry().center(), m_form->screen()->availableGeometry().center());
    QCOMPARE(m_form->windowTitle(), ProductInfo::productTitle);
    QCOMPARE(m_form->palette().color(QPalette::Window), QColor(Qt::white));
    for (const char *frame : {"Frame1", "Frame2"})
        QCOMPARE(control(frame)->palette().color(QPalette::Window), QColor(Qt::white));
    for (PushButton *button : m_form->findChildren<PushButton *>())
        QCOMPARE(button->palette().color(QPalette::Button), QColor(Qt::white));
    QCOMPARE(m_form->findChildren<PushButton *>().size(), 9);
}

void TestForm1::fonts()
{
    for (const char *name : {"Form1", "Frame1", "Frame2", "Text1", "Text2"}) {
        const QFontInfo info(control(name)->font());
        QCOMPARE(control(name)->font().pointSizeF(), 9.0);
        QVERIFY2(info.bold(), name);
        // Arial resolves to its metric-compatible stand-in.
        QVERIFY2(info.family() == u"Arial"_s || info.family() == u"Liberation Sans"_s, qPrintable(info.family()));
    }
    const QList<PushButton *> buttons = m_form->findChildren<PushButton *>();
    for (PushButton *button : buttons) {
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(QFontInfo(button->font()).bold());
        QVERIFY2(!button->text().contains(u'&'), "no access keys");
    }
}

void TestForm1::focusStartsInOutputAndTabGoesRound()
{
    QCOMPARE(QApplication::focusWidget(), output());
    const QStringList expected = {u"Text1"_s,        u"PushButton3"_s, u"PushButton20"_s, u"PushButton1"_s,
                                  u"PushButton17"_s, u"PushButton4"_s, u"PushButton2"_s,  u"PushButton5"_s,
                                  u"PushButton18"_s, u"PushButton6"_s, u"Text2"_s};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
    QVERIFY2(input()->text().isEmpty() && output()->text().isEmpty(), "Tab inserts no character");
}

void TestForm1::joiningTypedLines()
{
    input()->setFocus();
    QTest::keyClicks(input(), u"anna@example.com"_s);
    QTest::keyClick(input(), Qt::Key_Return);
    QTest::keyClicks(input(), u" bo b "_s);
    QTest::keyClick(input(), Qt::Key_Return);
    QCOMPARE(input()->text(), u"anna@example.com\r\n bo b \r\n"_s);
    click("PushButton17");
    QCOMPARE(output()->text(), u"anna@example.com, bo b ,"_s);
    QVERIFY(m_driver->boxes.isEmpty());
    // A letter typed inside the first line leaves the buffer's gap there:
    // the join reads that line across it.
    QTest::keyClick(input(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(input(), Qt::Key_Right);
    QTest::keyClick(input(), Qt::Key_H);
    click("PushButton17");
    QCOMPARE(output()->text(), u"ahnna@example.com, bo b ,"_s);
}

void TestForm1::joiningPastedLinesWithAnyLineBreak()
{
    QApplication::clipboard()->setText(u"unix\nmac\rwindows\r\nlast"_s);
    input()->setFocus();
    QTest::keyClick(input(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(input()->text(), u"unix\r\nmac\r\nwindows\r\nlast"_s);
    click("PushButton17");
    QCOMPARE(output()->text(), u"unix,mac,windows,last"_s);
}

void TestForm1::joiningReplacesOutputAndKeepsInput()
{
    input()->setText(u"a\r\nb\r\n\r\n"_s);
    output()->setText(u"typed by the user"_s);
    click("PushButton17");
    QCOMPARE(output()->text(), u"a,b,,"_s);
    click("PushButton17");
    QCOMPARE(output()->text(), u"a,b,,"_s);
    QCOMPARE(input()->text(), u"a\r\nb\r\n\r\n"_s);
    input()->setText(QString());
    click("PushButton17");
    QCOMPARE(output()->text(), QString());
}

void TestForm1::joiningShowsHourglassOverWholeWindow()
{
    QList<Qt::CursorShape> duringWork;
    int pointerDuringWork = -1;
    m_form->errorReport().setStatementProbe([&](const QString &qualifier, int line) {
        if (qualifier != Qualifier::PushButton17_Click || line != 102)
            return;
        pointerDuringWork = m_form->mousePointer();
        for (QWidget *w : {static_cast<QWidget *>(m_form), input()->viewport(), output()->viewport(),
                           control("PushButton17"), control("Frame1")})
            duringWork << w->cursor().shape();
    });
    input()->setText(u"x"_s);
    click("PushButton17");
    QCOMPARE(pointerDuringWork, 11);
    QCOMPARE(duringWork, QList<Qt::CursorShape>(5, Qt::WaitCursor));
    QCOMPARE(m_form->mousePointer(), 0);
    QCOMPARE(input()->viewport()->cursor().shape(), Qt::IBeamCursor);
    QCOMPARE(control("PushButton17")->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
}

void TestForm1::clearingEachArea()
{
    input()->setText(u"in"_s);
    output()->setText(u"out"_s);
    click("PushButton1");
    QCOMPARE(input()->text(), QString());
    QCOMPARE(output()->text(), u"out"_s);
    input()->setText(u"in"_s);
    click("PushButton2");
    QCOMPARE(output()->text(), QString());
    QCOMPARE(input()->text(), u"in"_s);
    click("PushButton2");
    QCOMPARE(output()->text(), QString());
    QVERIFY(m_driver->boxes.isEmpty());
    QCOMPARE(m_form->mousePointer(), 0);
}

void TestForm1::sampleList()
{
    input()->setText(u"old"_s);
    output()->setText(u"kept"_s);
    click("PushButton5");
    click("PushButton5");
    QCOMPARE(input()->text(), sampleListText());
    QCOMPARE(input()->text().count(u"\r\n"_s), 6);
    QCOMPARE(output()->text(), u"kept"_s);
    click("PushButton17");
    QCOMPARE(output()->text(), sampleListText().split(u"\r\n"_s).join(u','));
}

void TestForm1::buttonsThatReplaceATextAreOneUndoStep_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("area");
    QTest::newRow("Clear Text of the input") << u"PushButton1"_s << u"Text1"_s;
    QTest::newRow("Clear Text of the output") << u"PushButton2"_s << u"Text2"_s;
    QTest::newRow("Load Sample/Example File") << u"PushButton5"_s << u"Text1"_s;
    QTest::newRow("Load File of two files") << u"PushButton3"_s << u"Text1"_s;
    QTest::newRow("Start Joining") << u"PushButton17"_s << u"Text2"_s;
}

// A slip of the mouse loses nothing: Ctrl+Z brings the text typed before
// back, and Ctrl+Y the button's text again.
void TestForm1::buttonsThatReplaceATextAreOneUndoStep()
{
    QFETCH(QString, button);
    QFETCH(QString, area);
    QTemporaryDir folder;
    const QStringList files = {putFile(folder.path(), u"a.txt"_s, "a1\r\na2"), putFile(folder.path(), u"b.txt"_s, "b1")};
    m_form->commonDialog().setChooser([&](const CommonDialog::Request &) { return files; });
    input()->setText(u"in\r\n"_s);
    auto *typedInto = control<TextArea>(qPrintable(area));
    typedInto->setFocus();
    QTest::keyClick(typedInto, Qt::Key_End, Qt::ControlModifier);
    const QString untyped = typedInto->text();
    QTest::keyClicks(typedInto, u"typed"_s);
    const QString typed = typedInto->text();
    click(qPrintable(button));
    const QString replaced = typedInto->text();
    QVERIFY(replaced != typed);
    QVERIFY(button != u"PushButton3"_s || replaced == u"a1\r\na2\r\nb1\r\n"_s);
    typedInto->setFocus();
    QTest::keyClick(typedInto, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(typedInto->text(), typed);
    QTest::keyClick(typedInto, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(typedInto->text(), replaced);
    // The steps before stay in the history.
    while (typedInto->canUndo())
        QTest::keyClick(typedInto, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(typedInto->text(), untyped);
}

void TestForm1::help()
{
    input()->setText(u"a"_s);
    click("PushButton6");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, u"Questions? Please contact Team Marrowick at "_s + ProductInfo::contactPage);
    QCOMPARE(m_driver->boxes[0].title, u"Kestrava E-mail List Joiner"_s);
    QCOMPARE(m_driver->boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(m_driver->boxes[0].buttons, QMessageBox::Ok);
    QCOMPARE(input()->text(), u"a"_s);
    QCOMPARE(output()->text(), QString());
}

void TestForm1::reportsTwoFailingStatementsAndCarriesOn()
{
    failAt({{102, std::make_exception_ptr(Failure(u"Device unavailable"_s))},
            {116, std::make_exception_ptr(std::runtime_error("Invalid procedure call"))}},
           Qualifier::PushButton17_Click);
    input()->setText(u"a\r\nb"_s);
    output()->setText(u"old"_s);
    click("PushButton17");

    const QString appeal = u"\r\rPlease email screenshot of this message to "_s + ProductInfo::supportAddress;
    QCOMPARE(m_driver->boxes.size(), 2);
    QCOMPARE(m_driver->boxes[0].text,
             u"Device unavailable\r\nin Kestrava2021/08/31.Form1.PushButton17_Click at line 102"_s + appeal);
    QCOMPARE(m_driver->boxes[1].text,
             u"Invalid procedure call\r\nin Kestrava2021/08/31.Form1.PushButton17_Click at line 116"_s + appeal);
    for (const FormDriver::ShownBox &box : m_driver->boxes) {
        QCOMPARE(box.title, u"Application Error"_s);
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, QMessageBox::Ok);
    }
    QCOMPARE(m_driver->boxes[0].displayedText,
             u"Device unavailable\nin Kestrava2021/08/31.Form1.PushButton17_Click at line 102\n\n"
             "Please email screenshot of this message to "_s
                 + ProductInfo::supportAddress);
    // Nothing was cut, so the loop ran no pass; every later statement ran.
    QCOMPARE(m_driver->statementsRun, QList<int>({100, 102, 104, 106, 112, 116, 118}));
    QCOMPARE(output()->text(), u"old"_s);
    QCOMPARE(m_form->mousePointer(), 0);
}

void TestForm1::failingLoopAdvanceLeavesTheLoop()
{
    failAt({{110, std::make_exception_ptr(Failure(u"Overflow"_s))}}, Qualifier::PushButton17_Click);
    input()->setText(u"a\r\nb\r\nc"_s);
    click("PushButton17");
    QCOMPARE(m_driver->boxes.size(), 1);
    QVERIFY(m_driver->boxes[0].text.contains(u"at line 110\r\r"_s));
    QCOMPARE(output()->text(), u"a"_s);
    QCOMPARE(m_driver->statementsRun, QList<int>({100, 102, 104, 106, 108, 110, 112, 114, 116, 118}));
}

void TestForm1::failingConditionGoesIntoWhatItGuards()
{
    failAt({{112, std::make_exception_ptr(Failure(u"Type mismatch"_s))}}, Qualifier::PushButton17_Click);
    input()->setText(u"ab\r\ncd"_s);
    click("PushButton17");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(output()->text(), u"ab,cd"_s);
    QVERIFY(m_driver->statementsRun.contains(114));
}

void TestForm1::outOfMemoryIsReported()
{
    failAt({{100, std::make_exception_ptr(std::bad_alloc())}}, Qualifier::PushButton1_Click);
    input()->setText(u"kept"_s);
    click("PushButton1");
    QCOMPARE(m_driver->boxes.size(), 1);
    QVERIFY(m_driver->boxes[0].text.startsWith(u"Out of memory\r\nin Kestrava2021/08/31.Form1.PushButton1_Click at line 100\r\r"_s));
    QCOMPARE(input()->text(), u"kept"_s);
}

// Every further piece would fail alike: one report, and no cut-off line.
void TestForm1::joiningOutOfMemoryIsReportedOnce()
{
    m_driver->failAt({{108, std::make_exception_ptr(std::bad_alloc())}}, Qualifier::PushButton17_Click);
    input()->setText(u"a\r\nb\r\nc"_s);
    output()->setText(u"kept"_s);
    click("PushButton17");
    QCOMPARE(m_driver->boxes.size(), 1);
    QVERIFY(m_driver->boxes[0].text.startsWith(u"Out of memory\r\nin Kestrava2021/08/31.Form1.PushButton17_Click at line 108\r\r"_s));
    QCOMPARE(output()->text(), u"kept"_s);
    QCOMPARE(m_driver->statementsRun, QList<int>({100, 102, 104, 106, 108, 110, 110, 110, 118}));
    QCOMPARE(m_form->mousePointer(), 0);
}

// The report box itself, shown modally and closed with its OK button.
void TestForm1::realModalReportBox()
{
    m_form->messageBoxes().setAnswerer({});
    failAt({{100, std::make_exception_ptr(Failure(u"Bad file name"_s))}}, Qualifier::PushButton2_Click);
    QString shownText, shownTitle;
    bool wasModal = false;
    FormDriver::whenModalShows(this, [&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        wasModal = box->isModal();
        shownText = box->findChild<QLabel *>(u"qt_msgbox_label"_s)->text();
        shownTitle = box->windowTitle();
        QCOMPARE(box->buttons().size(), 1);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    output()->setText(u"kept"_s);
    click("PushButton2");
    QVERIFY(wasModal);
    QCOMPARE(shownTitle, u"Application Error"_s);
    QVERIFY(shownText.startsWith(u"Bad file name\nin Kestrava2021/08/31.Form1.PushButton2_Click at line 100\n\n"_s));
    QCOMPARE(output()->text(), u"kept"_s);
}

void TestForm1::textAreaKeepsEveryCharacter()
{
    const QString text = u"non\u00a0breaking\r\ntab\there\r\n\u00e9\u4e2d\U0001F600\r\nnul\0byte\r\n\r\n"_s;
    input()->setText(text);
    QCOMPARE(input()->text(), text);
    input()->setText(u"a\nb\rc\r\nd\n\re"_s);
    QCOMPARE(input()->text(), u"a\r\nb\r\nc\r\nd\r\n\r\ne"_s);
    input()->appendText(u"\nf"_s);
    QCOMPARE(input()->text(), u"a\r\nb\r\nc\r\nd\r\n\r\ne\r\nf"_s);
}

void TestForm1::longLineDoesNotWrap()
{
    input()->setText(QStringList(200, u"someone@example.com"_s).join(u"\r\n"_s));
    click("PushButton17");
    QCOMPARE(output()->lineCount(), 1);
    QVERIFY(output()->horizontalScrollBar()->isVisible());
    QVERIFY(output()->horizontalScrollBar()->maximum() > 0);
    QVERIFY(output()->verticalScrollBar()->isVisible());
}

void TestForm1::tidyingTheInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("counts");
    QTest::addColumn<QString>("tidied");
    QTest::addColumn<bool>("settled"); // the entry has nothing left to do after
    const QString none = u", 0 not addresses"_s;
    QTest::newRow("duplicates") << u"a@x.org\r\nB@x.org\r\nb@x.org \r\na@x.org"_s << 0 << 0 << u"Remove Duplicate Lines"_s
                                << u"4 lines: 2 duplicates, 0 empty"_s + none << u"a@x.org\r\nB@x.org"_s << true;
    QTest::newRow("one recipient, however written") << u"Ann <ANN@x.org>\r\n\"ann\"@x.org (Ann)\r\nann@x.org"_s << 0 << 0
                                                    << u"Remove Duplicate Lines"_s
                                                    << u"3 lines: 2 duplicates, 0 empty"_s + none << u"Ann <ANN@x.org>"_s << true;
    QTest::newRow("empty lines are no duplicates") << u"a@x.org\r\n\r\n \t\r\nb@x.org\r\n"_s << 0 << 0
                                                   << u"Remove Empty Lines"_s << u"5 lines: 0 duplicates, 3 empty"_s + none
                                                   << u"a@x.org\r\nb@x.org"_s << true;
    QTest::newRow("nothing but empty lines") << u" \r\n\t"_s << 0 << 0 << u"Remove Empty Lines"_s
                                             << u"2 lines: 0 duplicates, 2 empty"_s + none << QString() << false;
    QTest::newRow("spaces") << u" a@x.org\t\r\nb@x.org "_s << 0 << 0 << u"Trim Spaces"_s
                            << u"2 lines: 0 duplicates, 0 empty"_s + none << u"a@x.org\r\nb@x.org"_s << true;
    QTest::newRow("order") << u"b@x.org\r\nA@x.org\r\na@x.org"_s << 0 << 0 << u"By Line"_s
                           << u"3 lines: 1 duplicate, 0 empty"_s + none << u"A@x.org\r\na@x.org\r\nb@x.org"_s << true;
    QTest::newRow("the selected lines") << u"z@x.org\r\nb@x.org\r\na@x.org\r\ny@x.org"_s << 10 << 20 << u"By Line"_s
                                        << u"2 lines in the selection: 0 duplicates, 0 empty"_s + none
                                        << u"z@x.org\r\na@x.org\r\nb@x.org\r\ny@x.org"_s << false;
    QTest::newRow("not the line a selection ends before")
        << u"z@x.org\r\nb@x.org\r\na@x.org\r\ny@x.org"_s << 0 << 27 << u"By Line"_s
        << u"3 lines in the selection: 0 duplicates, 0 empty"_s + none << u"a@x.org\r\nb@x.org\r\nz@x.org\r\ny@x.org"_s
        << false;
    QTest::newRow("a selection in one line is the whole text") << u"b@x.org\r\na@x.org"_s << 0 << 1 << u"By Line"_s
                                                                << u"2 lines: 0 duplicates, 0 empty"_s + none
                                                                << u"a@x.org\r\nb@x.org"_s << true;
    QTest::newRow("by address, names aside, no address last")
        << u"Bo <b@x.org>\r\nnone\r\nA@y.org\r\n\r\nann@x.org"_s << 0 << 0 << u"By Address"_s
        << u"5 lines: 0 duplicates, 1 empty, 1 not an address"_s << u"\r\nA@y.org\r\nann@x.org\r\nBo <b@x.org>\r\nnone"_s
        << false;
    QTest::newRow("by domain, subdomains beside their parent")
        << u"bob@lists.x.org\r\nann@X.org\r\ncy@a.org\r\nal@x.org\r\ndi@x.co.uk"_s << 0 << 0 << u"By Domain"_s
        << u"5 lines: 0 duplicates, 0 empty"_s + none << u"cy@a.org\r\ndi@x.co.uk\r\nal@x.org\r\nann@X.org\r\nbob@lists.x.org"_s
        << false;
    QTest::newRow("lines that are no addresses") << u"ann@x.org\r\nmary@yahoo\r\n\r\nBob <bob@x.org>"_s << 0 << 0
                                                 << u"Remove Non-Addresses"_s
                                                 << u"4 lines: 0 duplicates, 1 empty, 1 not an address"_s
                                                 << u"ann@x.org\r\n\r\nBob <bob@x.org>"_s << true;
    QTest::newRow("the caret's line is none") << u"ann@x.org\r\nmary@yahoo"_s << 13 << 13 << u"Remove Non-Addresses"_s
                                              << u"2 lines: 0 duplicates, 0 empty, 1 not an address; line 2 is not an "
                                                 "address: the domain has no dot"_s
                                              << u"ann@x.org"_s << true;
    QTest::newRow("addresses found in text") << u"To: Ann <ann@x.org>, bob@y.org\r\nWrite to (carl@z.org)."_s << 0 << 0
                                             << u"Extract Addresses"_s
                                             << u"2 lines: 0 duplicates, 0 empty, 2 not addresses; line 1 is not an "
                                                "address: more than one address"_s
                                             << u"ann@x.org\r\nbob@y.org\r\ncarl@z.org"_s << false;
    QTest::newRow("a contact's last line, which might have gone on") << u"BEGIN:VCARD\r\nEMAIL:ann@x.org"_s << 0 << 0
                                                                     << u"Extract Addresses"_s
                                                                     << u"2 lines: 0 duplicates, 0 empty, 2 not addresses; "
                                                                        "line 1 is not an address: no @"_s
                                                                     << u"ann@x.org"_s << false;
    QTest::newRow("addresses found where they stand") << u"ann@x.org\r\nbob@y.org"_s << 0 << 0 << u"Extract Addresses"_s
                                                      << u"2 lines: 0 duplicates, 0 empty"_s + none
                                                      << u"ann@x.org\r\nbob@y.org"_s << false;
}

// The input's menu counts its lines and tidies them, each step one edit
// that one undo takes back; entries that would change nothing are disabled
// and say why.
void TestForm1::tidyingTheInput()
{
    QFETCH(QString, text);
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(QString, entry);
    QFETCH(QString, counts);
    QFETCH(QString, tidied);
    QFETCH(bool, settled);
    TextArea *input = m_driver->input();
    input->setText(text);
    input->setSelection(anchor, caret);
    const QStringList entries = menuEntries(input);
    QVERIFY2(entries.contains(counts + u"-"_s), qPrintable(entries.join(u" | "_s)));
    // The counts and the entries for addresses each begin a group of their own.
    QCOMPARE(entries[entries.indexOf(counts + u"-"_s) - 1], u"--"_s);
    QCOMPARE(entries[entries.indexOf(u"Extract Addresses"_s) - 1], u"&Addresses"_s);
    QVERIFY(entries.contains(entry));
    const quint64 revision = input->revision();
    choose(input, entry);
    QCOMPARE(input->text(), tidied);
    // Lines that stay as they were are no edit. New lines stay selected
    // when they were; else the caret stands after them.
    QCOMPARE(input->revision() == revision, tidied == text);
    QCOMPARE(input->hasSelection(), anchor != caret);
    QVERIFY(anchor != caret || tidied == text || input->caretPosition() == tidied.size());
    const QStringList after = menuEntries(input).filter(entry);
    QVERIFY2(!settled || (after.size() == 1 && after[0].startsWith(entry + u" ("_s) && after[0].endsWith(u")-"_s)),
             qPrintable(after.join(u" | "_s)));
    // Undo brings the text back and redo the tidied one, each whole.
    for (const auto &[key, expected] : {std::pair{Qt::Key_Z, text}, std::pair{Qt::Key_Y, tidied}, std::pair{Qt::Key_Z, text}}) {
        QTest::keyClick(input, key, Qt::ControlModifier);
        QCOMPARE(input->text(), expected);
    }
}

// A group's letter opens it (no editing entry has the same), and the arrows
// reach its entries and theirs.
void TestForm1::theKeyboardReachesEveryGroup()
{
    TextArea *input = m_driver->input();
    input->setText(u"b@y.org\r\n b@y.org\r\n\r\nann@mail.x.org\r\nbo@x.org"_s);
    menuEntries(input, [](QMenu *menu) {
        QTest::keyClick(menu, Qt::Key_I);
        auto *tidy = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(tidy && tidy != menu);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(tidy, Qt::Key_Down);
        QTest::keyClick(tidy, Qt::Key_Right);
        auto *sort = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(sort && sort != tidy);
        QTest::keyClick(sort, Qt::Key_Down);
        QTest::keyClick(sort, Qt::Key_Down);
        QCOMPARE(sort->activeAction()->text(), u"By Domain"_s);
        QTest::keyClick(sort, Qt::Key_Return);
    });
    QCOMPARE(input->text(), u"\r\nbo@x.org\r\nann@mail.x.org\r\nb@y.org\r\n b@y.org"_s);
    for (const auto &[letter, first] : {std::pair{Qt::Key_A, u"Extract Addresses"_s},
                                        std::pair{Qt::Key_B, u"Remove Addresses Listed in File\u2026"_s}}) {
        menuEntries(input, [letter = letter, first = first](QMenu *menu) {
            QTest::keyClick(menu, letter);
            auto *group = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(group && group != menu);
            QCOMPARE(group->actions().value(0)->text(), first);
            group->close();
        });
    }
}

// Select Next Non-Address goes from line to line that is no address, round
// from the end to the start.
void TestForm1::selectingTheNextLineThatIsNoAddress()
{
    TextArea *input = m_driver->input();
    input->setText(u"a@x.org\r\nbad\r\nb@x.org\r\nworse@\r\nc@x.org"_s);
    QStringList selected;
    for (int i = 0; i < 3; ++i) {
        choose(input, u"Select Next Non-Address"_s);
        selected << input->selectedText();
    }
    QCOMPARE(selected, QStringList({u"bad"_s, u"worse@"_s, u"bad"_s}));
    // The caret within the only such line: round again to it.
    input->setText(u"a@x.org\r\nbad\r\nb@x.org"_s);
    input->setSelection(10, 10);
    choose(input, u"Select Next Non-Address"_s);
    QCOMPARE(input->selectedText(), u"bad"_s);
    input->setText(u"a@x.org"_s);
    QVERIFY(menuEntries(input).contains(u"Select Next Non-Address (every line is an address)-"_s));
}

// The lines whose addresses the files list go, whatever the case or the
// name around them; the counts line tells how many. A file that is gone is
// told, and the others count.
void TestForm1::removingAddressesListedInFiles()
{
    QTemporaryDir folder;
    const QStringList files = {putFile(folder.path(), u"bounced.txt"_s, "ANN@x.org\r\n"),
                               folder.filePath(u"gone.txt"_s),
                               putFile(folder.path(), u"unsubscribed.csv"_s, "\"Lee, Bob\",bob@m\xC3\xBCnchen.de\n"),
                               // A bounce lists only the recipient it reports failed.
                               putFile(folder.path(), u"bounce.eml"_s,
                                       "From: MAILER-DAEMON@mx.example\nTo: dave@w.org\nContent-Type: multipart/report; "
                                       "report-type=delivery-status; boundary=\"b1\"\n\n--b1\n\nNot delivered to "
                                       "dave@w.org.\n--b1\nContent-Type: message/delivery-status\n\nReporting-MTA: dns; "
                                       "mx.example\n\nFinal-Recipient: rfc822; carl@z.org\nAction: failed\nStatus: "
                                       "5.1.1\n\n--b1--\n")};
    QStringList chosen = files;
    m_form->commonDialog().setChooser([&](const CommonDialog::Request &request) {
        return request.title.endsWith(u" Addresses Listed in File(s)"_s) ? chosen : QStringList();
    });
    TextArea *input = m_driver->input();
    const QString text = u"Ann <ann@x.org>\r\ncarl@z.org\r\nbob@xn--mnchen-3ya.de\r\nann@x.org\r\ndave@w.org"_s;
    input->setText(text);
    choose(input, u"Remove Addresses Listed in File"_s);
    QCOMPARE(input->text(), u"dave@w.org"_s);
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, u"File not found"_s);
    QVERIFY2(menuEntries(input).filter(u"4 removed as listed"_s).size() == 1, qPrintable(menuEntries(input).join(u'|')));
    QVERIFY(menuEntries(input).contains(u"Copy Report of Removed Lines"_s));
    // An edit leaves the step behind: neither the counts nor the menu speak
    // of it.
    input->setFocus();
    QTest::keyClick(input, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(input, Qt::Key_X);
    const QStringList edited = menuEntries(input);
    QVERIFY2(edited.filter(u"removed as listed"_s).isEmpty() && !edited.contains(u"Copy Report of Removed Lines"_s),
             qPrintable(edited.join(u'|')));
    QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(input->text(), text);
    // Keeping only what every file chosen lists: one step, counted, each
    // line gone named with the first file that does not list it.
    chosen = {files[0], putFile(folder.path(), u"members.txt"_s, "Ann Lee <ann@X.org>\ndave@w.org\n")};
    choose(input, u"Keep Only Addresses Listed in File"_s);
    QCOMPARE(input->text(), u"Ann <ann@x.org>\r\nann@x.org"_s);
    QVERIFY2(menuEntries(input).filter(u"3 removed as not listed"_s).size() == 1, qPrintable(menuEntries(input).join(u'|')));
    choose(input, u"Copy Report of Removed Lines"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"2\tnot listed in bounced.txt\tcarl@z.org\n3\tnot listed in "
                                                   "bounced.txt\tbob@xn--mnchen-3ya.de\n5\tnot listed in bounced.txt\t"
                                                   "dave@w.org\n"_s);
    QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(input->text(), text);
}

namespace {

// A kind of line in the random lists: its text, what it counts as a
// duplicate by, whether it is an address, and how many addresses
// extraction finds in it.
struct LineKind
{
    QString text;
    QString key;
    bool address = false;
    qsizetype found = 0;
};

const QList<LineKind> lineKinds = {
    {u"ann@x.org"_s, u"ann@x.org"_s, true, 1},
    {u"ANN@x.org"_s, u"ann@x.org"_s, true, 1},
    {u" bob@y.org\t"_s, u"bob@y.org"_s, true, 1},
    {u"Carl <carl@z.org>"_s, u"carl@z.org"_s, true, 1},
    {u""_s, u""_s, false, 0},
    {u" \t"_s, u""_s, false, 0},
    {u"not an address"_s, u"not an address"_s, false, 0},
    {u"carl@z"_s, u"carl@z"_s, false, 1},
    {u"Bounced <X@bounced.org>"_s, u"x@bounced.org"_s, true, 1},
    {u"x@bounced.org"_s, u"x@bounced.org"_s, true, 1},
    {u"eve@v.org"_s, u"eve@v.org"_s, true, 1},
    {u"a1@x.org, b1@x.org"_s, u"a1@x.org, b1@x.org"_s, false, 2},
};

const LineKind &kindOf(const QString &text)
{
    for (const LineKind &kind : lineKinds)
        if (kind.text == text)
            return kind;
    static const LineKind none;
    return none;
}

} // namespace

// Seeded random lists, whole or a selection of them, through each entry
// that removes lines: the counts line says how many the step removed, and
// the report copied names each such line by its number, with a reason
// true of it; lines kept plus lines removed are the lines read, a line
// extracted from counting as its addresses.
void TestForm1::everyRemovedLineIsReported()
{
    QTemporaryDir folder;
    const QStringList lists = {putFile(folder.path(), u"bounced.txt"_s, "x@bounced.org\n"),
                               putFile(folder.path(), u"unsubscribed.csv"_s, "\"Lee, Eve\",EVE@v.org\n")};
    m_form->commonDialog().setChooser([&](const CommonDialog::Request &) { return lists; });
    TextArea *input = m_driver->input();
    QRandomGenerator random(26);
    const QStringList entries = {u"Remove Duplicate Lines"_s, u"Remove Empty Lines"_s, u"Remove Non-Addresses"_s,
                                 u"Extract Addresses"_s, u"Remove Addresses Listed in File"_s};
    for (int round = 0; round < 20; ++round) {
        const QString entry = entries[round % entries.size()];
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            lines << lineKinds[random.bounded(lineKinds.size())].text;
        input->setText(lines.join(u"\r\n"));
        // Every other round, lines 3 to 38 selected.
        const qsizetype first = round % 2 ? 2 : 0;
        const qsizetype last = round % 2 ? 38 : 40;
        if (first > 0)
            input->setSelection(input->lineStart(first), input->lineStart(last) - 2);
        const qsizetype linesBefore = input->lineCount();
        choose(input, entry);
        const QStringList counts = menuEntries(input).filter(u" removed "_s);
        QCOMPARE(counts.size(), 1);
        const qsizetype removedSaid = counts[0].section(u"; "_s, 1).section(u' ', 0, 0).toLongLong();
        choose(input, u"Copy Report of Removed Lines"_s);
        qsizetype removed = 0;
        qsizetype splitExtra = 0;
        for (const QString &line : QGuiApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u'\t');
            QVERIFY2(fields.size() >= 3, qPrintable(line));
            const qsizetype number = fields[0].toLongLong();
            const QString &reason = fields[1];
            const QString text = line.section(u'\t', 2);
            QVERIFY2(number > first && number <= last && lines[number - 1] == text, qPrintable(line));
            const LineKind &kind = kindOf(text);
            if (reason.endsWith(u" addresses found"_s)) {
                QVERIFY2(entry == u"Extract Addresses"_s && kind.found == reason.section(u' ', 0, 0).toLongLong(),
                         qPrintable(line));
                splitExtra += kind.found - 1;
                continue;
            }
            ++removed;
            bool right = false;
            if (entry == u"Remove Empty Lines"_s)
                right = reason == u"empty"_s && kind.key.isEmpty();
            else if (entry == u"Remove Non-Addresses"_s)
                right = reason.startsWith(u"not an address: "_s) && !kind.address && !kind.key.isEmpty();
            else if (entry == u"Extract Addresses"_s)
                right = reason == u"no address found"_s && kind.found == 0;
            else if (entry == u"Remove Addresses Listed in File"_s)
                right = reason == (kind.key == u"eve@v.org"_s ? u"listed in unsubscribed.csv"_s : u"listed in bounced.txt"_s)
                        && (kind.key == u"eve@v.org"_s || kind.key == u"x@bounced.org"_s);
            else if (const qsizetype of = reason.section(u' ', 3).toLongLong(); reason.startsWith(u"duplicate of line "_s))
                right = of > first && of < number && kindOf(lines[of - 1]).key == kind.key && !kind.key.isEmpty();
            QVERIFY2(right, qPrintable(line));
        }
        QVERIFY(removed > 0);
        QCOMPARE(removed, removedSaid);
        QCOMPARE(input->lineCount() - splitExtra + removed, linesBefore);
    }
}

// Each change is shown, from the address to the one likely meant, with the
// line's number in the whole text; those the user leaves checked are made in
// one step that one undo takes back; Cancel changes nothing.
void TestForm1::correctingMistypedDomains()
{
    TextArea *input = m_driver->input();
    const QString text = u"Ann <ann@gmial.com>\r\nbob@yaho.com\r\ncarl@x.org\r\ndan@hotmial.com"_s;
    input->setText(text + u"\r\nfrances.ellington-marsh@hotmial.com"_s);
    QVERIFY(menuEntries(input).filter(u"0 not addresses, 4 look mistyped"_s).size() == 1);
    QStringList shown;
    bool accept = true;
    bool closed = false;
    bool rowsShowWhole = true;
    m_form->choiceLists().setAnswerer([&](QDialog &dialog, QListWidget &list) {
        shown.clear();
        for (int i = 0; i < list.count(); ++i)
            shown << list.item(i)->text();
        if (list.count() > 1)
            list.item(1)->setCheckState(Qt::Unchecked);
        // Answered with its own buttons, which close it.
        dialog.show();
        // Wide enough, and no wider: far narrower than the screen.
        for (int i = 0; i < list.count(); ++i)
            rowsShowWhole = rowsShowWhole && list.visualItemRect(list.item(i)).width() <= list.viewport()->width();
        rowsShowWhole = rowsShowWhole && list.width() < dialog.screen()->availableGeometry().width() * 3 / 4;
        auto *buttons = dialog.findChild<QDialogButtonBox *>();
        QTest::mouseClick(buttons->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel), Qt::LeftButton);
        closed = !dialog.isVisible();
        return dialog.result() == QDialog::Accepted;
    });
    choose(input, u"Correct Mistyped Domains"_s);
    QCOMPARE(shown, QStringList({u"line 1: ann@gmial.com \u2192 ann@gmail.com"_s, u"line 2: bob@yaho.com \u2192 bob@yahoo.com"_s,
                                 u"line 4: dan@hotmial.com \u2192 dan@hotmail.com"_s,
                                 u"line 5: frances.ellington-marsh@hotmial.com \u2192 frances.ellington-marsh@hotmail.com"_s}));
    QVERIFY(rowsShowWhole);
    QCOMPARE(input->text(), u"Ann <ann@gmail.com>\r\nbob@yaho.com\r\ncarl@x.org\r\ndan@hotmail.com\r\n"
                            "frances.ellington-marsh@hotmail.com"_s);
    QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
    input->setText(text);
    accept = false;
    choose(input, u"Correct Mistyped Domains"_s);
    QCOMPARE(input->text(), text);
    QVERIFY(closed);
    accept = true;
    input->setSelection(input->lineStart(1), input->size());
    choose(input, u"Correct Mistyped Domains"_s);
    QCOMPARE(shown, QStringList({u"line 2: bob@yaho.com \u2192 bob@yahoo.com"_s, u"line 4: dan@hotmial.com \u2192 dan@hotmail.com"_s}));
    QCOMPARE(input->text(), u"Ann <ann@gmial.com>\r\nbob@yahoo.com\r\ncarl@x.org\r\ndan@hotmial.com"_s);
    // Asked, the mail system says which domains take mail: a short name's
    // typo is corrected, a typo domain that takes mail is not.
    TestZone zone;
    QVERIFY2(zone.isReady(), zone.log().constData());
    input->setText(u"b@ewb.de\r\nann@gmial.com"_s);
    choose(input, u"Look Up Domains"_s);
    accept = false;
    choose(input, u"Correct Mistyped Domains"_s);
    QCOMPARE(shown, QStringList{u"line 1: b@ewb.de \u2192 b@web.de"_s});
    choose(input, u"Look Up Domains"_s);
    choose(input, u"Correct Mistyped Domains"_s);
    QCOMPARE(shown, QStringList{u"line 2: ann@gmial.com \u2192 ann@gmail.com"_s});
    accept = true;
    // No-reply, role and throwaway addresses are counted beside them.
    input->setText(u"carl@x.org\r\nnoreply@x.org\r\nInfo@firm.org\r\nann@mailinator.com"_s);
    QVERIFY2(menuEntries(input).filter(u"0 not addresses, 2 no-reply or role addresses, 1 throwaway"_s).size() == 1,
             qPrintable(menuEntries(input).join(u'|')));
    QVERIFY(menuEntries(input).contains(u"Correct Mistyped Domains (none look mistyped)-"_s));
}

static QStringList menuTexts(QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text();
    return texts;
}

// Each batch is the next so many recipients of the output, selected and
// copied with no comma around it and no empty item in it; a comma inside a
// quoted name or angle brackets cuts nothing. After the last batch, and
// after the output changes, batches start over.
void TestForm1::copyingTheOutputInBatches()
{
    TextArea *output = m_driver->output();
    QStringList items;
    for (int i = 1; i <= 120; ++i)
        items << (i % 10 == 0 ? u"\"Lee, Ann %1\" <ann%1@x.org>"_s.arg(i) : u"i%1"_s.arg(i));
    output->setText(items.join(u',') + u",,"_s);
    const auto batchEntries = [&] { return menuEntries(output).filter(u"Copy Recipients"_s); };
    QCOMPARE(batchEntries(), QStringList({u"Copy Recipients 1-50 of 120"_s, u"Copy Recipients 1-100 of 120"_s,
                                          u"Copy Recipients 1-120 of 120"_s}));
    choose(output, u"Copy Recipients 1-50"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), items.mid(0, 50).join(u','));
    QCOMPARE(output->selectedText(), items.mid(0, 50).join(u','));
    QCOMPARE(batchEntries(), QStringList({u"Copy Recipients 51-100 of 120"_s, u"Copy Recipients 51-120 of 120"_s}));
    // A clipboard another program holds is told, and the batch stays next.
    m_driver->form->setClipboard(std::make_unique<BusyClipboard>());
    choose(output, u"Copy Recipients 51-120"_s);
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes.takeFirst().text,
             u"The clipboard is in use by another program, so nothing was copied.\r\rPlease try again."_s);
    QCOMPARE(batchEntries().first(), u"Copy Recipients 51-100 of 120"_s);
    m_driver->form->setClipboard(std::make_unique<Clipboard>());
    choose(output, u"Copy Recipients 51-120"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), items.mid(50).join(u','));
    QCOMPARE(batchEntries().first(), u"Copy Recipients 1-50 of 120"_s);
    output->setText(u" a,, b ,\t, \"c,d\" <c@x.org>,"_s);
    QCOMPARE(batchEntries(), QStringList{u"Copy Recipients 1-3 of 3"_s});
    choose(output, u"Copy Recipients 1-3"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), u" a, b , \"c,d\" <c@x.org>"_s);
    output->setText(QString());
    QVERIFY(menuEntries(output).contains(u"Copy Next Batch-"_s));
    // A long line's recipients are counted while the menu shows: its batch
    // entries follow.
    output->setText(u"someone@example.com,"_s.repeated(300'000));
    output->findChild<OutputMenu *>()->setCountingPatience(std::chrono::milliseconds(0));
    QMenu menu;
    emit output->contextMenuAboutToShow(&menu);
    QMenu *batches = menu.findChildren<QMenu *>().constFirst();
    QCOMPARE(batches->title(), u"Copy Next Batch"_s);
    QCOMPARE(menuTexts(batches), QStringList{u"Counting recipients\u2026"_s});
    QTRY_COMPARE(menuTexts(batches).size(), 4);
    QCOMPARE(menuTexts(batches).first(), u"Copy Recipients 1-50 of 300,000"_s);
    QCOMPARE(menuTexts(batches).last(), u"Other Size\u2026"_s);
    // Other Size asks, copies a batch of that size and offers the size from
    // then on, the window's next start too; an answer that is no size is told.
    output->findChild<OutputMenu *>()->setCountingPatience(std::chrono::minutes(5));
    output->setText(u"a,b,c,d,e"_s);
    m_driver->fillFields = [](QDialog &dialog) {
        dialog.findChild<QLineEdit *>(u"size"_s)->setText(u" 2"_s);
        return true;
    };
    choose(output, u"Other Size"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"a,b"_s);
    QCOMPARE(batchEntries(), QStringList({u"Copy Recipients 3-4 of 5"_s, u"Copy Recipients 3-5 of 5"_s}));
    for (const QString &wrong : {u"0"_s, u"10001"_s, u"ten"_s}) {
        m_driver->fillFields = [wrong](QDialog &dialog) {
            dialog.findChild<QLineEdit *>(u"size"_s)->setText(wrong);
            return true;
        };
        choose(output, u"Other Size"_s);
        QCOMPARE(m_driver->boxes.size(), 1);
        QCOMPARE(m_driver->boxes.takeFirst().text, u"A batch holds 1 to 10,000 recipients, not \"%1\"."_s.arg(wrong));
    }
    QCOMPARE(batchEntries().first(), u"Copy Recipients 3-4 of 5"_s);
    m_driver->fillFields = [](QDialog &dialog) {
        dialog.findChild<QLineEdit *>(u"size"_s)->setText(u"10000"_s);
        return true;
    };
    choose(output, u"Other Size"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"c,d,e"_s);
    QVERIFY(m_driver->boxes.isEmpty());
}

// Start Joining puts the separator chosen between the lines; the batch
// entries count the recipients between such separators and copy them so
// joined; the choice outlives the window.
void TestForm1::separatorsTheMailProgramTakes_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("joined");
    QTest::addColumn<QString>("copied");
    QTest::addColumn<int>("kind");
    const QString ann = u"\"Lee, Ann\" <ann@x.org>"_s;
    QTest::newRow("comma") << u"Comma"_s << u"a@x.org,%1,,b@y.org"_s.arg(ann) << u"a@x.org,%1,b@y.org"_s.arg(ann)
                           << int(Separators::Kind::Comma);
    QTest::newRow("semicolon") << u"Semicolon"_s << u"a@x.org;%1;;b@y.org"_s.arg(ann)
                               << u"a@x.org;%1;b@y.org"_s.arg(ann) << int(Separators::Kind::Semicolon);
    QTest::newRow("comma and space") << u"Comma and Space"_s << u"a@x.org, %1, , b@y.org"_s.arg(ann)
                                     << u"a@x.org, %1, b@y.org"_s.arg(ann) << int(Separators::Kind::CommaAndSpace);
    QTest::newRow("one per line") << u"One per Line"_s << u"a@x.org\r\n%1\r\n\r\nb@y.org"_s.arg(ann)
                                  << u"a@x.org\n%1\nb@y.org"_s.arg(ann) << int(Separators::Kind::OnePerLine);
}

void TestForm1::separatorsTheMailProgramTakes()
{
    QFETCH(QString, entry);
    QFETCH(QString, joined);
    QFETCH(QString, copied);
    QFETCH(int, kind);
    TextArea *output = m_driver->output();
    choose(output, u"Semicolon"_s);
    choose(output, entry);
    // The choice shows checked, alone.
    menuEntries(output, [&entry](QMenu *menu) {
        QStringList checked;
        for (const QMenu *submenu : menu->findChildren<QMenu *>())
            if (submenu->title() == u"Separate With"_s)
                for (const QAction *action : submenu->actions())
                    if (action->isChecked())
                        checked << action->text();
        QCOMPARE(checked, QStringList{entry});
    });
    m_driver->input()->setText(u"a@x.org\r\n\"Lee, Ann\" <ann@x.org>\r\n\r\nb@y.org"_s);
    m_driver->click("PushButton17");
    QCOMPARE(output->text(), joined);
    QCOMPARE(menuEntries(output).filter(u"Copy Recipients"_s), QStringList{u"Copy Recipients 1-3 of 3"_s});
    choose(output, u"Copy Recipients 1-3"_s);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    const Form1 restarted;
    QCOMPARE(int(restarted.findChild<OutputMenu *>()->separator()), kind);
}

// The recipients of a link, as the mail program reads them.
static QStringList recipientsOf(const QString &link, const QString &field)
{
    QStringList recipients;
    const QString start = u"mailto:?"_s + field + u'=';
    if (!link.startsWith(start))
        return {u"not a link to "_s + field + u": "_s + link};
    for (const QString &item : link.sliced(start.size()).split(u','))
        recipients << QUrl::fromPercentEncoding(item.toLatin1());
    return recipients;
}

// Each batch goes to the mail program through xdg-email, in Bcc or in To,
// names with commas, quotes and letters of any script whole; a batch too
// long for one message goes in as many as it needs; a mail program that
// fails is told and the batch is not taken.
void TestForm1::writingToBatchesInTheMailProgram()
{
    MailHandler handler;
    TextArea *output = m_driver->output();
    QStringList items;
    for (int i = 1; i <= 120; ++i)
        items << (i % 10 == 0 ? u"\"O'Brien, Zo\u00EB %1\" <zoe%1@x.org>"_s.arg(i) : u"r%1@x.org"_s.arg(i));
    output->setText(items.join(u','));
    choose(output, u"Write to Recipients 1-100 of 120"_s);
    choose(output, u"Recipients in To, Not Bcc"_s);
    choose(output, u"Write to Recipients 101-120 of 120"_s);
    QCOMPARE(handler.links().size(), 2);
    QCOMPARE(recipientsOf(handler.links()[0], u"bcc"_s), items.mid(0, 100));
    QCOMPARE(recipientsOf(handler.links()[1], u"to"_s), items.mid(100));
    QCOMPARE(output->selectedText(), items.mid(100).join(u','));
    QVERIFY(m_driver->boxes.isEmpty());

    handler.fail("no composer today");
    choose(output, u"Write to Recipients 1-50"_s);
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, u"The mail program could not be opened: no composer today"_s);
    QVERIFY(menuEntries(output).contains(u"Write to Recipients 1-50 of 120"_s));

    handler.succeed();
    const QString longName = u"\u00C6"_s.repeated(60);
    items.clear();
    for (int i = 1; i <= 500; ++i)
        items << u"\"%1 %2\" <a%2@x.org>"_s.arg(longName).arg(i);
    output->setText(items.join(u','));
    choose(output, u"Recipients in To, Not Bcc"_s);
    choose(output, u"Write to Recipients 1-500 of 500 (in 2 messages)"_s);
    const QStringList links = handler.links().mid(2);
    QCOMPARE(links.size(), 2);
    QVERIFY(links[0].size() <= 131'071 && links[1].size() <= 131'071);
    QCOMPARE(recipientsOf(links[0], u"bcc"_s) + recipientsOf(links[1], u"bcc"_s), items);

    // The second message failing, the first's recipients are taken: the
    // next batch starts after them.
    const qsizetype inFirst = recipientsOf(links[0], u"bcc"_s).size();
    handler.failAfter(handler.links().size() + 1, "no second message");
    output->setText(items.join(u','));
    choose(output, u"Write to Recipients 1-500 of 500 (in 2 messages)"_s);
    QCOMPARE(m_driver->boxes.size(), 2);
    QCOMPARE(m_driver->boxes[1].text, u"The mail program could not be opened: no second message\n\nRecipients 1-%1 are in a "
                                      "message already; the next batch starts with recipient %2."_s.arg(inFirst).arg(inFirst + 1));
    QVERIFY(menuEntries(output).contains(u"Write to Recipients %1-500 of 500"_s.arg(inFirst + 1)));

    // Every batch carries the message asked for once for the output: a To
    // that is one of a batch's recipients, a subject and a body.
    handler.succeed();
    int asked = 0;
    m_driver->fillFields = [&asked](QDialog &dialog) {
        ++asked;
        dialog.findChild<QLineEdit *>(u"to"_s)->setText(u"Me <me@x.org>"_s);
        dialog.findChild<QLineEdit *>(u"subject"_s)->setText(u"News & more"_s);
        dialog.findChild<QPlainTextEdit *>(u"body"_s)->setPlainText(u"Hello,\nZo\u00EB"_s);
        return true;
    };
    items.clear();
    for (int i = 1; i <= 150; ++i)
        items << u"r%1@x.org"_s.arg(i);
    output->setText(items.join(u','));
    const qsizetype before = handler.links().size();
    choose(output, u"Write to Recipients 1-100 of 150"_s);
    choose(output, u"Write to Recipients 100-150 of 150"_s);
    QCOMPARE(asked, 1);
    const QStringList written = handler.links().mid(before);
    QCOMPARE(written.size(), 2);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(linkAsPythonReads(written[i]), "Me <me@x.org>|" + items.mid(99 * i, 99).join(u',').toUtf8()
                                                     + "||News & more|Hello,\r\nZo\xC3\xAB");
}

// Each menu starts counting or takes up the counting under way; the last
// shows the counts of the text as it is, however the others ended.
void TestForm1::menuOpenedAgainAndAgainWhileCounting()
{
    QByteArray lines;
    for (int i = 100'000; i > 0; --i)
        lines += "someone." + QByteArray::number(i % 60'000) + "@example.com\r\n";
    input()->setText(QString::fromLatin1(lines));
    auto *menu = input()->findChild<InputMenu *>();
    menu->setCountingPatience(std::chrono::milliseconds(0));
    for (int i = 0; i < 20; ++i) {
        menuEntries(input());
        QTest::qWait(i);
    }
    menuEntries(input(), [](QMenu *shown) {
        QTRY_COMPARE(shown->actions().at(10)->text().section(u" ("_s, 0, 0), u"100,001 lines: 40,000 duplicates, 1 empty, 0 not addresses"_s);
    });
}

void TestForm1::runningOutOfMemoryChangesNothing_data()
{
    using Action = std::function<void(TextArea *)>;
    QTest::addColumn<Action>("prepare"); // with memory to spare
    QTest::addColumn<Action>("action");  // with little
    QTest::addColumn<bool>("told");
    QTest::addColumn<int>("megabytes"); // of address space the action may take beyond what is in use
    const Action nothing = [](TextArea *) {};
    QTest::newRow("Sort Lines") << nothing << Action([](TextArea *area) { choose(area, u"By Line"_s); }) << true << 20;
    QTest::newRow("a paste") << nothing
                             << Action([](TextArea *area) { QTest::keyClick(area, Qt::Key_V, Qt::ControlModifier); })
                             << true << 20;
    QTest::newRow("undoing a deletion") << Action([](TextArea *area) {
        area->setSelection(area->lineEndOf(0), area->size());
        QTest::keyClick(area, Qt::Key_Delete);
    }) << Action([](TextArea *area) { QTest::keyClick(area, Qt::Key_Z, Qt::ControlModifier); }) << true << 20;
    // Counting a million lines takes 16 MB for where the lines lie alone,
    // more than the limit leaves; but the C library may still hold that
    // much freed from earlier work, which the limit does not count. The
    // menu waits for its counting to end, however it ends: it shows its
    // entries, and its counts only where they could be made, and right.
    QTest::newRow("the menu, with or without its counts") << nothing << Action([](TextArea *area) {
        area->findChild<InputMenu *>()->setCountingPatience(std::chrono::minutes(1));
        const QStringList entries = menuEntries(area);
        const QStringList counts = entries.filter(u"lines:"_s);
        QVERIFY2(entries.contains(u"By Line"_s), qPrintable(entries.join(u'|')));
        QVERIFY2(counts.isEmpty() || counts.front().startsWith(u"1,000,001 lines: 0 duplicates, 1 empty, 0 not addresses"_s),
                 qPrintable(counts.join(u'|')));
    }) << false << 6;
}

// A million lines and little memory to spare: what the user starts fails,
// says so, and leaves the text, the caret and the history as they were.
void TestForm1::runningOutOfMemoryChangesNothing()
{
    if (underSanitizer)
        QSKIP("the sanitizers need more address space than a limit leaves");
    using Action = std::function<void(TextArea *)>;
    QFETCH(Action, prepare);
    QFETCH(Action, action);
    QFETCH(bool, told);
    QFETCH(int, megabytes);
    QByteArray lines;
    for (int i = 1'000'000; i > 0; --i)
        lines += "someone." + QByteArray::number(i) + "@example.com\n";
    input()->setText(QString::fromLatin1(lines));
    QApplication::clipboard()->setText(QString::fromLatin1(lines));
    lines.clear();
    input()->setFocus();
    QTest::keyClick(input(), Qt::Key_X);
    const QString typed = input()->text();
    prepare(input());
    const QString before = input()->text();
    const qsizetype caret = input()->caretPosition();
    input()->findChild<InputMenu *>()->setPatience(std::chrono::minutes(1));
    {
        MemoryLimit limit(rlim_t(megabytes) << 20);
        QVERIFY(limit.isActive());
        action(input());
    }
    QVERIFY(input()->text() == before);
    QCOMPARE(input()->caretPosition(), caret);
    QCOMPARE(m_driver->boxes.size(), told ? 1 : 0);
    if (told) {
        QCOMPARE(m_driver->boxes[0].text, u"Out of memory"_s);
        QCOMPARE(m_driver->boxes[0].icon, QMessageBox::Warning);
    }
    // Undo takes back the last step, as it would have before.
    QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(input()->text() == (before == typed ? typed.mid(1) : typed));
}

void TestForm1::longTidyingShowsProgressAndCanBeStopped_data()
{
    QTest::addColumn<QString>("stop"); // how it is stopped, or not
    QTest::newRow("it ends") << QString();
    QTest::newRow("Escape") << u"Escape"_s;
    QTest::newRow("Cancel") << u"Cancel"_s;
    QTest::newRow("the text changes") << u"a change"_s;
}

// Work that takes longer than the window may wait shows its progress over
// the input; stopped, it leaves the text and its history as they were;
// done, it is one step that undo takes back.
void TestForm1::longTidyingShowsProgressAndCanBeStopped()
{
    QFETCH(QString, stop);
    QByteArray lines;
    for (int i = 200'000; i > 0; --i)
        lines += "someone." + QByteArray::number(i) + "@example.com\r\n";
    input()->setText(QString::fromLatin1(lines));
    input()->setFocus();
    QTest::keyClick(input(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(input(), Qt::Key_X);
    const QString before = input()->text();
    input()->findChild<InputMenu *>()->setPatience(std::chrono::milliseconds(0));
    // The menu shows without waiting for its counts; the entry chosen at
    // once stops them.
    input()->findChild<InputMenu *>()->setCountingPatience(std::chrono::milliseconds(0));
    auto *panel = m_form->findChild<ProgressPanel *>();
    choose(input(), u"By Line"_s);
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->geometry(), input()->geometry());
    QCOMPARE(panel->findChild<QLabel *>()->text(), u"Sort Lines By Line"_s);
    const QRect label = panel->findChild<QLabel *>()->geometry();
    const QRect bar = panel->findChild<QProgressBar *>()->geometry();
    const QRect cancel = panel->findChild<QPushButton *>()->geometry();
    QVERIFY(label.bottom() < bar.top() && bar.bottom() < cancel.top());
    // It hides the text under it: where the first line shows (below the
    // caption's edge), its colour alone.
    const QImage top = m_form->grab(panel->geometry().adjusted(0, 4, 0, 20 - panel->height())).toImage();
    int plain = 0;
    for (int y = 0; y < top.height(); ++y)
        for (int x = 0; x < top.width(); ++x)
            plain += top.pixelColor(x, y) == panel->palette().color(QPalette::Window);
    QCOMPARE(plain, top.width() * top.height());
    if (stop == u"Escape"_s)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else if (stop == u"Cancel"_s)
        QTest::mouseClick(panel->findChild<QPushButton *>(), Qt::LeftButton);
    else if (!stop.isEmpty())
        input()->replaceText(QString());
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 60'000);
    // The panel had the keyboard; the input has it back.
    if (stop != u"a change"_s)
        QCOMPARE(m_form->focusWidget(), input());
    QTest::qWait(20);
    // The next menu counts its lines again, the counts following it, and
    // keeps its width when they come.
    if (stop != u"a change"_s)
        menuEntries(input(), [](QMenu *menu) {
            const int width = menu->width();
            QTRY_VERIFY(menu->actions().at(10)->text().startsWith(u"200,001 lines"_s));
            QCOMPARE(menu->width(), width);
        });
    if (stop.isEmpty()) {
        QStringList sorted = before.split(u"\r\n"_s);
        std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QVERIFY(input()->text() == sorted.join(u"\r\n"_s));
    } else {
        QVERIFY(input()->text() == (stop == u"a change"_s ? QString() : before));
    }
    // What undo brings back shows that the history is as it should be.
    input()->setFocus();
    QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(input()->text() == (stop == u"Escape"_s || stop == u"Cancel"_s ? QString::fromLatin1(lines) : before));
    // Work once stopped leaves nothing behind: the entry works again.
    input()->findChild<InputMenu *>()->setPatience(std::chrono::minutes(1));
    const QString now = input()->text();
    choose(input(), u"By Line"_s);
    QVERIFY(input()->text() != now);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
