#include "FormDriver.h"
#include "TestFiles.h"
#include "core/ProductInfo.h"
#include "core/ReportText.h"
#include "platform/Colours.h"
#include "platform/CursorFile.h"

#include "platform/FieldsDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>

#include <sys/stat.h>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString shippedCursor = QStringLiteral(KESTRAVA_SOURCE_DIR "/resources/HAND-M.CUR");
const QString shippedSkin = QStringLiteral(KESTRAVA_SOURCE_DIR "/resources/skins/o.cjs");

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void copyingResults();
    void copyingAnEmptyOutput();
    void busyClipboardIsNotReportedAsSuccess();
    void fieldsAreAskedInTheirOwnDialog();
    void rightButtonFocusesTheOutput();

    void startUpWithoutOptionalFiles();
    void skinPresent();
    void shippedSkinLoads();
    void coloursReadInADarkTheme_data();
    void coloursReadInADarkTheme();
    void enterPressesAFocusedButton();
    void skinHiddenOrAFolderIsAbsent_data();
    void skinHiddenOrAFolderIsAbsent();
    void unreadableSkinIsReported();

    void handOverButtonsArrowElsewhere();
    void hourglassStaysWhilePointerCrossesTheWindow();
    void cursorFileThatIsNoOrdinaryFileShowsTheArrow_data();
    void cursorFileThatIsNoOrdinaryFileShowsTheArrow();
    void brokenCursorFileIsReported();
    void cursorHotSpotComesFromTheHeader();

    void homePageOpensOnSeven();
    void homePageOpenerThatCannotStart();
    void closingEndsTheProgram();
    void applicationIcon();

private:
    FormDriver &start(const std::function<void(FormDriver &)> &prepare = {})
    {
        m_driver = std::make_unique<FormDriver>(prepare);
        return *m_driver;
    }
    std::unique_ptr<FormDriver> m_driver;
};

void TestShell::cleanup()
{
    m_driver.reset();
}

void TestShell::copyingResults()
{
    FormDriver &d = start();
    int pointerWhileBoxShown = -1;
    d.onBox = [&](QMessageBox &) { pointerWhileBoxShown = d.form->mousePointer(); };
    d.input()->setText(u"a@example.com\r\nb@example.com"_s);
    d.click("PushButton17");
    d.output()->setText(d.output()->text() + u",edited@example.com"_s);
    d.click("PushButton18");
    QCOMPARE(QGuiApplication::clipboard()->text(), u"a@example.com,b@example.com,edited@example.com"_s);
    QCOMPARE(d.boxes.size(), 1);
    QCOMPARE(d.boxes[0].text, u"Results have been copied to the clipboard.\r\rClick a text area where you normally "
                              "type and press Ctrl+V to paste the clipboard."_s);
    QVERIFY(!d.boxes[0].text.contains(u'\n'));
    QCOMPARE(d.boxes[0].title, u"Kestrava E-mail List Joiner"_s);
    QCOMPARE(d.boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(d.boxes[0].buttons, QMessageBox::Ok);
    QCOMPARE(pointerWhileBoxShown, 11);
    QCOMPARE(d.form->mousePointer(), 0);
}

void TestShell::copyingAnEmptyOutput()
{
    FormDriver &d = start();
    QGuiApplication::clipboard()->setText(u"stale"_s);
    d.click("PushButton18");
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QCOMPARE(d.boxes.size(), 1);
    QVERIFY(d.boxes[0].text.startsWith(u"Results have been copied"_s));
}

// Shown as a user sees it, the dialog gives what was typed on OK, and
// nothing on Cancel.
void TestShell::fieldsAreAskedInTheirOwnDialog()
{
    FieldsDialog dialog(nullptr);
    const auto answer = [](bool ok) {
        FormDriver::whenModalShows(qApp, [ok](QWidget *modal) {
            modal->findChild<QLineEdit *>(u"size"_s)->setText(u"42"_s);
            auto *buttons = modal->findChild<QDialogButtonBox *>();
            buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
    };
    answer(true);
    QCOMPARE(dialog.ask(u"Other Size"_s, u"How many?"_s, {{u"size"_s, u"Size:"_s, u"7"_s}}), QStringList{u"42"_s});
    answer(false);
    QCOMPARE(dialog.ask(u"Other Size"_s, u"How many?"_s, {{u"size"_s, u"Size:"_s, u"7"_s}}), std::nullopt);
}

void TestShell::busyClipboardIsNotReportedAsSuccess()
{
    FormDriver &d = start();
    int attempts = 0;
    d.form->setClipboard(std::make_unique<BusyClipboard>(&attempts));
    d.output()->setText(u"a,b"_s);
    d.click("PushButton18");
    QCOMPARE(attempts, 1000);
    QCOMPARE(d.boxes.size(), 1);
    QCOMPARE(d.boxes[0].text, u"The clipboard is in use by another program, so the results were not copied.\r\r"
                              "Please try again."_s);
    QCOMPARE(d.boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(d.boxes[0].title, u"Kestrava E-mail List Joiner"_s);
    QCOMPARE(d.form->mousePointer(), 0);
}

void TestShell::rightButtonFocusesTheOutput()
{
    FormDriver &d = start();
    d.input()->setFocus();
    QCOMPARE(QApplication::focusWidget(), d.input());
    // Should the context menu open, close it.
    QTimer::singleShot(0, this, [] {
        if (QWidget *menu = QApplication::activePopupWidget())
            menu->close();
    });
    d.failAt({}, Qualifier::Text2_MouseDown);
    QTest::mouseClick(d.output()->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QCOMPARE(QApplication::focusWidget(), d.output());
    QCOMPARE(d.statementsRun, QList<int>({100, 108}));

    d.statementsRun.clear();
    QTest::mouseClick(d.output()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(d.statementsRun, QList<int>({100}));
}

void TestShell::startUpWithoutOptionalFiles()
{
    FormDriver &d = start();
    QVERIFY(d.boxes.isEmpty());
    QCOMPARE(d.form->windowTitle(), ProductInfo::productTitle);
    QCOMPARE(d.form->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(d.form->styleSheet().isEmpty());
    QCOMPARE(d.processesStarted, QStringList());
}

void TestShell::skinPresent()
{
    FormDriver &d = start([](FormDriver &d) {
        putFile(d.programFolder.path(), u"x/o.cjs"_s, "QPlainTextEdit { border: 1px solid gray; }");
        d.failAt({}, Qualifier::Form_Load);
    });
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QVERIFY(buttonFace != QColor(Qt::white));
    QCOMPARE(d.form->palette().color(QPalette::Window), buttonFace);
    for (const char *frame : {"Frame1", "Frame2"})
        QCOMPARE(d.control(frame)->palette().color(QPalette::Window), buttonFace);
    for (PushButton *button : d.form->findChildren<PushButton *>())
        QCOMPARE(button->palette().color(QPalette::Button), QColor(Qt::white));
    QCOMPARE(d.input()->palette().color(QPalette::Base), QColor(Qt::white));
    // The text areas' former class name still styles them.
    QCOMPARE(d.form->styleSheet(), u"TextArea { border: 1px solid gray; }"_s);
    QVERIFY(d.form->skinFramework().options() & SkinFramework::ApplyToWindow);
    QVERIFY(d.boxes.isEmpty());
    QCOMPARE(d.statementsRun, QList<int>({102, 104, 104, 104, 106, 108, 110}));
    qApp->setStyleSheet(QString());
}

void TestShell::shippedSkinLoads()
{
    FormDriver &d = start([](FormDriver &d) { putFile(d.programFolder.path(), u"x/o.cjs"_s, readFile(shippedSkin)); });
    QVERIFY(d.boxes.isEmpty());
    QCOMPARE(d.form->styleSheet(), QString::fromUtf8(readFile(shippedSkin)));
    qApp->setStyleSheet(QString());
}

void TestShell::coloursReadInADarkTheme_data()
{
    QTest::addColumn<bool>("skinned");
    QTest::newRow("plain") << false;
    QTest::newRow("skinned") << true;
}

// The window's own backgrounds come with text that reads on them; the text
// areas and their scroll bars keep the desktop's colours.
void TestShell::coloursReadInADarkTheme()
{
    QFETCH(bool, skinned);
    const QPalette light = QApplication::palette();
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&] {
        QApplication::setPalette(light);
        qApp->setStyleSheet(QString());
    });
    FormDriver &d = start([&](FormDriver &d) {
        if (skinned)
            putFile(d.programFolder.path(), u"x/o.cjs"_s, readFile(shippedSkin));
    });
    const auto reads = [](QWidget *control, QPalette::ColorRole text, QPalette::ColorRole background) {
        const QPalette colours = control->palette();
        return contrastRatio(colours.color(text), colours.color(background)) >= 4.5;
    };
    for (const char *name : {"Form1", "Frame1", "Frame2"})
        QVERIFY2(reads(d.control(name), QPalette::WindowText, QPalette::Window), name);
    // A skin draws the buttons in colours of its own.
    for (PushButton *button : d.form->findChildren<PushButton *>())
        QVERIFY2(skinned || reads(button, QPalette::ButtonText, QPalette::Button), qPrintable(button->objectName()));
    QCOMPARE(d.control("Frame1")->palette().color(QPalette::Window), skinned ? dark.color(QPalette::Button) : QColor(Qt::white));
    QCOMPARE(d.input()->palette().color(QPalette::Base), dark.color(QPalette::Base));
    QCOMPARE(d.input()->horizontalScrollBar()->palette().color(QPalette::Window), dark.color(QPalette::Window));
    // A theme changed while the window is open is followed too.
    QApplication::setPalette(light);
    QTRY_COMPARE(d.input()->palette().color(QPalette::Base), light.color(QPalette::Base));
}

void TestShell::enterPressesAFocusedButton()
{
    FormDriver &d = start();
    auto *sample = d.control<PushButton>("PushButton5");
    sample->setFocus();
    QTest::keyClick(sample, Qt::Key_Return);
    QVERIFY(d.input()->text().startsWith(u"anna@example.com"_s));
    d.click("PushButton1");
    QTest::keyClick(sample, Qt::Key_Enter);
    QVERIFY(!d.input()->text().isEmpty());
}

void TestShell::skinHiddenOrAFolderIsAbsent_data()
{
    QTest::addColumn<QString>("made");
    QTest::newRow("no folder x") << QString();
    QTest::newRow("hidden file only") << u"x/.o.cjs"_s;
    QTest::newRow("a folder") << u"x/o.cjs/"_s;
    QTest::newRow("a link to a folder") << u"link"_s;
}

void TestShell::skinHiddenOrAFolderIsAbsent()
{
    QFETCH(QString, made);
    FormDriver &d = start([&](FormDriver &d) {
        const QDir folder(d.programFolder.path());
        if (made.endsWith(u'/'))
            QVERIFY(folder.mkpath(made));
        else if (made == u"link")
            QVERIFY(folder.mkpath(u"elsewhere"_s) && folder.mkpath(u"x"_s)
                    && QFile::link(folder.filePath(u"elsewhere"_s), folder.filePath(u"x/o.cjs"_s)));
        else if (!made.isEmpty())
            putFile(folder.path(), made, "QWidget { background: red; }");
    });
    QCOMPARE(d.form->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(d.form->styleSheet().isEmpty());
    QVERIFY(d.boxes.isEmpty());
}

void TestShell::unreadableSkinIsReported()
{
    FormDriver &d = start([](FormDriver &d) {
        putFile(d.programFolder.path(), u"x/o.cjs"_s, "QWidget { color: \xFF\xFE; }");
        d.failAt({}, Qualifier::Form_Load);
    });
    QCOMPARE(d.boxes.size(), 1);
    const QString skinPath = d.programFolder.path() + u"/x/o.cjs"_s;
    QCOMPARE(d.boxes[0].text, u"The skin file "_s + skinPath + u" is not UTF-8 text\r\n"
                                  "in Kestrava2021/08/31.Form1.Form_Load at line 102\r\r"
                                  "Please email screenshot of this message to "_s + ProductInfo::supportAddress);
    QCOMPARE(d.boxes[0].title, u"Application Error"_s);
    // The colours set before the failure stay; start-up went on.
    QCOMPARE(d.form->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QVERIFY(d.form->styleSheet().isEmpty());
    QCOMPARE(d.form->windowTitle(), ProductInfo::productTitle);
    QCOMPARE(d.statementsRun, QList<int>({102, 104, 104, 104, 106, 108, 110}));
}

void TestShell::handOverButtonsArrowElsewhere()
{
    FormDriver &d = start([](FormDriver &d) { QFile::copy(shippedCursor, d.programFolder.filePath(u"HAND-M.CUR"_s)); });
    QVERIFY(d.boxes.isEmpty());
    auto *button = d.control<PushButton>("PushButton5");
    QTest::mouseMove(button, QPoint(30, 10));
    QCOMPARE(d.form->mousePointer(), 99);
    QCOMPARE(button->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(button->cursor().hotSpot(), QPoint(6, 0));
    QCOMPARE(d.control<PushButton>("PushButton6")->cursor().shape(), Qt::BitmapCursor);

    QTest::mouseMove(d.input()->viewport(), QPoint(30, 30));
    QCOMPARE(d.form->mousePointer(), 0);
    QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(d.input()->viewport()->cursor().shape(), Qt::IBeamCursor);

    QTest::mouseMove(d.control<PushButton>("PushButton17"), QPoint(30, 10));
    QCOMPARE(d.form->mousePointer(), 99);
    QTest::mouseMove(d.control("Frame2"), QPoint(2, 230));
    QCOMPARE(d.form->mousePointer(), 0);
    QTest::mouseMove(d.control<PushButton>("PushButton17"), QPoint(30, 10));
    QTest::mouseMove(d.form.get(), QPoint(2, 250));
    QCOMPARE(d.form->mousePointer(), 0);
    QCOMPARE(d.form->cursor().shape(), Qt::ArrowCursor);
}

void TestShell::hourglassStaysWhilePointerCrossesTheWindow()
{
    FormDriver &d = start([](FormDriver &d) { QFile::copy(shippedCursor, d.programFolder.filePath(u"HAND-M.CUR"_s)); });
    auto *button = d.control<PushButton>("PushButton17");
    QTest::mouseMove(button, QPoint(30, 10));
    QCOMPARE(d.form->mousePointer(), 99);

    QList<int> pointers;
    QList<Qt::CursorShape> shapes;
    d.form->errorReport().setStatementProbe([&](const QString &qualifier, int line) {
        if (qualifier != Qualifier::PushButton17_Click || line != 104)
            return;
        for (QWidget *over : {static_cast<QWidget *>(d.control("PushButton3")), d.output()->viewport(),
                              d.control("Frame1"), static_cast<QWidget *>(d.form.get())}) {
            QTest::mouseMove(over, QPoint(5, 5));
            pointers << d.form->mousePointer();
            shapes << over->cursor().shape();
        }
    });
    d.input()->setText(u"a\r\nb"_s);
    d.click("PushButton17");
    QCOMPARE(pointers, QList<int>(4, 11));
    QCOMPARE(shapes, QList<Qt::CursorShape>(4, Qt::WaitCursor));
    // The operation ends on the standard pointer, even over the button just pressed.
    QCOMPARE(d.form->mousePointer(), 0);
    QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(d.output()->text(), u"a,b"_s);
}

void TestShell::cursorFileThatIsNoOrdinaryFileShowsTheArrow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << u"missing"_s;
    QTest::newRow("pipe") << u"pipe"_s;
    QTest::newRow("folder") << u"folder"_s;
}

// None of these is opened: a pipe would keep the start waiting for ever.
void TestShell::cursorFileThatIsNoOrdinaryFileShowsTheArrow()
{
    QFETCH(QString, kind);
    FormDriver &d = start([&](FormDriver &d) {
        const QByteArray path = QFile::encodeName(d.programFolder.filePath(u"HAND-M.CUR"_s));
        if (kind == u"pipe")
            QVERIFY(mkfifo(path.constData(), 0600) == 0);
        else if (kind == u"folder")
            QVERIFY(QDir().mkdir(QFile::decodeName(path)));
    });
    auto *button = d.control<PushButton>("PushButton3");
    QTest::mouseMove(d.form.get(), QPoint(2, 2)); // each row's window opens under the same pointer
    QTest::mouseMove(button, QPoint(30, 10));
    QCOMPARE(d.form->mousePointer(), 99);
    QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(d.boxes.isEmpty());
}

void TestShell::brokenCursorFileIsReported()
{
    FormDriver &d = start([](FormDriver &d) { putFile(d.programFolder.path(), u"HAND-M.CUR"_s, "not a cursor"); });
    QCOMPARE(d.boxes.size(), 1);
    QVERIFY2(d.boxes[0].text.contains(u"\r\nin Kestrava2021/08/31.Form1.Form_Load at line 108\r\r"_s),
             qPrintable(d.boxes[0].text));
    QVERIFY(d.boxes[0].text.startsWith(d.programFolder.path() + u"/HAND-M.CUR is not a loadable cursor"_s));
    auto *button = d.control<PushButton>("PushButton3");
    QTest::mouseMove(button, QPoint(30, 10));
    QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
}

void TestShell::cursorHotSpotComesFromTheHeader()
{
    QCOMPARE(cursorHotSpot(readFile(shippedCursor)), std::optional<QPoint>(QPoint(6, 0)));
    QByteArray header = readFile(shippedCursor).left(22);
    header[10] = 17;
    header[12] = 3;
    QCOMPARE(cursorHotSpot(header), std::optional<QPoint>(QPoint(17, 3)));
    header[2] = 1; // an icon, not a cursor
    QCOMPARE(cursorHotSpot(header), std::nullopt);
    QCOMPARE(cursorHotSpot("\0\0\2\0"_ba), std::nullopt);
    const QCursor hand = loadCursorFile(shippedCursor);
    QCOMPARE(hand.pixmap().size(), QSize(32, 32));
    QCOMPARE(hand.hotSpot(), QPoint(6, 0));
}

void TestShell::homePageOpensOnSeven()
{
    FormDriver &d = start([](FormDriver &d) { d.form->homePageOpener().setRandomSource([] { return 0.0612; }); });
    QCOMPARE(d.processesStarted, QStringList({u"xdg-open "_s + ProductInfo::homePage}));
    QVERIFY(d.boxes.isEmpty());
}

void TestShell::homePageOpenerThatCannotStart()
{
    FormDriver &d = start([](FormDriver &d) {
        d.form->homePageOpener().setRandomSource([] { return 0.0612; });
        d.form->homePageOpener().setProcessStarter([](const QString &, const QStringList &) { return false; });
    });
    QCOMPARE(d.boxes.size(), 1);
    QVERIFY(d.boxes[0].text.startsWith(u"Cannot start xdg-open\r\nin Kestrava2021/08/31.Form1.Form_Load at line 110\r\r"_s));
    QVERIFY(d.form->isVisible());
}

void TestShell::closingEndsTheProgram()
{
    FormDriver &d = start();
    d.input()->setText(u"unsaved input"_s);
    d.output()->setText(u"unsaved output"_s);
    QTimer::singleShot(0, d.form.get(), &QWidget::close);
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!d.form->isVisible());
    QVERIFY(d.boxes.isEmpty());
}

void TestShell::applicationIcon()
{
    FormDriver &d = start();
    const QIcon icon = d.form->windowIcon();
    QCOMPARE(icon.availableSizes(), QList<QSize>({QSize(32, 32), QSize(48, 48), QSize(128, 128), QSize(256, 256)}));
    QVERIFY(!QImage(u":/icons/kestrava-32.png"_s).hasAlphaChannel());
    for (int size : {48, 128, 256})
        QVERIFY(QImage(u":/icons/kestrava-%1.png"_s.arg(size)).hasAlphaChannel());
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
