#include "ProcessLimits.h"
#include "ContextMenus.h"
#include "form/InputMenu.h"
#include "platform/ProgressPanel.h"
#include "FormDriver.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "core/ReportText.h"
#include "platform/CommonDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QTemporaryDir>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>


using namespace Qt::StringLiterals;

class TestLoadSave : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openDialogIsSetUpAfresh();
    void loadingOneFileReplacesTheInput();
    void loadingSeveralFilesInTheDialogsOrder();
    void loadingFromTheRootFolder();
    void loadingFromSeveralFolders();
    void missingFileAmongSeveral();
    void listFileThatIsNoOrdinaryFileIsReported();
    void listTooLargeToHoldIsOutOfMemory();
    void zeroLengthFileLoadsAsALine();
    void answerBufferBoundary();
    void cancellingChangesNothing();
    void folderChosenAsAFileIsReported();

    void saveDialogStartsWithTheLastName();
    void savingToANewFileAsksNothing();
    void overwriteNoLeavesTheFile();
    void overwriteYesReplacesTheFile();
    void saveOutputWritesOnlyTheOutput();
    void cancellingASaveWritesNothing();
    void failedSaveLeavesTheOldFileAndIsReported_data();
    void failedSaveLeavesTheOldFileAndIsReported();
    void savedTextLoadsBackUnchanged();
    void openingFilesLoadsThemAsLoadFileDoes();
    void droppedFilesLoadAndDroppedTextInserts();
    void contactsBecomeNamedLines_data();
    void contactsBecomeNamedLines();
    void contactsWithFilesPastedAndLoaded();
    void savedAsAddressBook();
    void realOpenDialog();
    void realSaveDialog();

private:
    QString write(const QString &name, const QByteArray &bytes);
    // The chooser hands out these answers in turn, one per dialog shown.
    void choose(const QList<QStringList> &answers);

    std::unique_ptr<FormDriver> m_driver;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<CommonDialog::Request> m_requests;
};

void TestLoadSave::init()
{
    m_driver = std::make_unique<FormDriver>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_requests.clear();
}

void TestLoadSave::cleanup()
{
    m_driver.reset();
    m_dir.reset();
}

QString TestLoadSave::write(const QString &name, const QByteArray &bytes)
{
    return putFile(m_dir->path(), name, bytes);
}

void TestLoadSave::choose(const QList<QStringList> &answers)
{
    m_driver->form->commonDialog().setChooser([this, answers](const CommonDialog::Request &request) {
        m_requests.append(request);
        return answers.value(m_requests.size() - 1);
    });
}

void TestLoadSave::openDialogIsSetUpAfresh()
{
    m_driver->form->commonDialog().setFileName(u"left over"_s);
    choose({{}});
    m_driver->click("PushButton3");
    QCOMPARE(m_requests.size(), 1);
    const CommonDialog::Request &r = m_requests[0];
    QVERIFY(!r.save);
    QVERIFY(r.multiple);
    QCOMPARE(r.title, u"Load List(s) - Hold Ctrl to select multiple list files"_s);
    QCOMPARE(r.nameFilters, QStringList({u"Text Files (*.txt) (*.txt)"_s, u"All Files (*.*) (*)"_s}));
    QCOMPARE(r.initialName, QString());
    QCOMPARE(m_driver->form->commonDialog().Flags(), 0x280201);
}

void TestLoadSave::loadingOneFileReplacesTheInput()
{
    const QString path = write(u"one.txt"_s, "same\r\nline two");
    m_driver->input()->setText(u"same"_s);
    choose({{path}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->input()->text(), u"same\r\nline two\r\n"_s);
    QCOMPARE(m_driver->form->commonDialog().FileName(), path);
    QVERIFY(m_driver->boxes.isEmpty());
    QCOMPARE(m_driver->form->mousePointer(), 0);
}

void TestLoadSave::loadingSeveralFilesInTheDialogsOrder()
{
    const QString c = write(u"c.txt"_s, "c1\r\nc2\r\n");
    const QString a = write(u"a.txt"_s, "\xFF\xFE" "a\0\xe9\0"_ba);
    const QString b = write(u"b.txt"_s, "b\xE9\nb2");
    const QString d = write(u"d.txt"_s, "\nd1\rd2\r"); // each line break its own, even at the files' seams
    choose({{c, a, b, d}, {c, a, b, d}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->form->commonDialog().FileName(), m_dir->path() + u"\0c.txt\0a.txt\0b.txt\0d.txt"_s);
    QCOMPARE(m_driver->input()->text(), u"c1\r\nc2\r\n\r\na\u00e9\r\nb\u00e9\r\nb2\r\n\r\nd1\r\nd2\r\n\r\n"_s);
    QVERIFY(m_driver->boxes.isEmpty());
    // The same files again leave the text as it is and make no step to undo.
    m_driver->click("PushButton3");
    QTest::keyClick(m_driver->input(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_driver->input()->text(), QString());
}

void TestLoadSave::loadingFromTheRootFolder()
{
    const QString name = u"kestrava-root-test-%1.txt"_s.arg(QCoreApplication::applicationPid());
    QFile file(u"/"_s + name);
    if (!file.open(QIODevice::WriteOnly))
        QSKIP("the root folder is not writable here");
    file.write("root line");
    file.close();
    choose({{file.fileName(), file.fileName()}});
    m_driver->form->errorReport().setStatementProbe([&](const QString &, int line) {
        if (line == 134)
            QVERIFY(QFile::exists(file.fileName()));
    });
    m_driver->click("PushButton3");
    file.remove();
    QCOMPARE(m_driver->form->commonDialog().FileName(), u"/\0"_s + name + u'\0' + name);
    QCOMPARE(m_driver->input()->text(), u"root line\r\nroot line\r\n"_s);
}

// Typed into the dialog as "x.txt" "/elsewhere/mb/y.txt" "../mb/z.txt" from
// folder ma, beside a file of ma that shares y.txt's name.
void TestLoadSave::loadingFromSeveralFolders()
{
    const QString x = write(u"ma/x.txt"_s, "x");
    write(u"ma/y.txt"_s, "wrong y");
    const QString y = write(u"mb/y.txt"_s, "y");
    write(u"mb/z.txt"_s, "z");
    choose({{x, y, m_dir->filePath(u"ma/../mb/z.txt"_s)}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->form->commonDialog().FileName(), m_dir->path() + u"\0ma/x.txt\0mb/y.txt\0mb/z.txt"_s);
    QCOMPARE(m_driver->input()->text(), u"x\r\ny\r\nz\r\n"_s);
    QVERIFY(m_driver->boxes.isEmpty());
}

void TestLoadSave::missingFileAmongSeveral()
{
    const QString a = write(u"a.txt"_s, "a");
    const QString gone = write(u"gone.txt"_s, "gone");
    const QString b = write(u"b.txt"_s, "b");
    QFile::remove(gone);
    choose({{a, gone, b}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, u"File not found"_s);
    QCOMPARE(m_driver->boxes[0].title, u"Kestrava E-mail List Joiner"_s);
    QCOMPARE(m_driver->boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(m_driver->boxes[0].buttons, QMessageBox::Ok);
    QCOMPARE(m_driver->input()->text(), u"a\r\nb\r\n"_s);
}

void TestLoadSave::listFileThatIsNoOrdinaryFileIsReported()
{
    const QString a = write(u"a.txt"_s, "a");
    const QString fifo = m_dir->filePath(u"fifo.txt"_s);
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    choose({{a, fifo, a}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text,
             composeReport(fifo + u" is not an ordinary file"_s, Qualifier::PushButton3_Click, 134));
    QCOMPARE(m_driver->input()->text(), u"a\r\na\r\n"_s);
}

void TestLoadSave::listTooLargeToHoldIsOutOfMemory()
{
    if (underSanitizer)
        QSKIP("the sanitizers need more address space than a limit leaves");
    const QString huge = putSparseFile(m_dir->path(), u"huge.txt"_s, qint64(2) << 30);
    m_driver->input()->setText(u"before"_s);
    choose({{huge}});
    {
        MemoryLimit limit(qint64(512) << 20);
        QVERIFY(limit.isActive());
        m_driver->click("PushButton3");
    }
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, composeReport(u"Out of memory"_s, Qualifier::PushButton3_Click, 120));
    QCOMPARE(m_driver->form->mousePointer(), 0);
    m_driver->click("PushButton5");
    QVERIFY(m_driver->input()->text().startsWith(u"anna@example.com\r\n"_s));
}

void TestLoadSave::zeroLengthFileLoadsAsALine()
{
    const QString a = write(u"a.txt"_s, "a");
    const QString zero = write(u"zero.txt"_s, "");
    choose({{a, zero, a}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->input()->text(), u"a\r\nempty file\r\na\r\n"_s);
}

// The answer and its terminating NUL must fit 30000 characters.
void TestLoadSave::answerBufferBoundary()
{
    const QString folder = m_dir->path();
    const int namesLength = CommonDialog::FileNameBufferSize - 1 - int(folder.size());
    // Ten names behind a NUL each, together exactly namesLength characters.
    QStringList fitting;
    for (int i = 0; i < 10; ++i) {
        const int length = namesLength / 10 - 1 + (i == 9 ? namesLength % 10 : 0);
        fitting << folder + u'/' + QString(length - 4, QChar(u'a' + i)) + u".txt"_s;
    }
    QStringList tooLong = fitting;
    tooLong.last().insert(tooLong.last().size() - 4, u'z');

    m_driver->input()->setText(u"kept"_s);
    choose({fitting, tooLong});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->form->commonDialog().FileName().size(), CommonDialog::FileNameBufferSize - 1);
    QCOMPARE(m_driver->boxes.size(), 10); // the names exist nowhere
    QCOMPARE(m_driver->boxes.first().text, u"File not found"_s);

    m_driver->boxes.clear();
    m_driver->input()->setText(u"kept"_s);
    m_driver->failAt({}, Qualifier::PushButton3_Click);
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text,
             u"You've selected too many files to add.\r\rPlease select fewer files at a time."_s);
    QCOMPARE(m_driver->boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(m_driver->boxes[0].title, u"Kestrava E-mail List Joiner"_s);
    QCOMPARE(m_driver->input()->text(), u"kept"_s);
    QCOMPARE(m_driver->statementsRun, QList<int>({100, 102, 104, 106, 108}));
    QCOMPARE(m_driver->form->mousePointer(), 0);
}

void TestLoadSave::cancellingChangesNothing()
{
    m_driver->input()->setText(u"kept\r\n"_s);
    choose({{}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->input()->text(), u"kept\r\n"_s);
    QCOMPARE(m_driver->form->commonDialog().FileName(), QString());
    QVERIFY(m_driver->boxes.isEmpty());
}

void TestLoadSave::folderChosenAsAFileIsReported()
{
    const QString a = write(u"a.txt"_s, "a");
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.txt"_s));
    const QString folder = m_dir->filePath(u"folder.txt"_s);
    choose({{a, folder, a}, {folder}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].title, u"Application Error"_s);
    QVERIFY2(m_driver->boxes[0].text.contains(u"\r\nin Kestrava2021/08/31.Form1.PushButton3_Click at line 134\r\r"_s),
             qPrintable(m_driver->boxes[0].text));
    QCOMPARE(m_driver->input()->text(), u"a\r\na\r\n"_s);

    m_driver->click("PushButton3");
    QCOMPARE(m_driver->boxes.size(), 2);
    QVERIFY(m_driver->boxes[1].text.contains(u"at line 120\r\r"_s));
    QCOMPARE(m_driver->input()->text(), QString());
    QCOMPARE(m_driver->form->mousePointer(), 0);

    // A file that is no text is told and the others load; a list
    // compressed with gzip loads as it was.
    QProcess gzip;
    gzip.start(u"gzip"_s, {u"-c"_s});
    gzip.write("x@y.org\nZo\xC3\xAB@z.org\n");
    gzip.closeWriteChannel();
    QVERIFY(gzip.waitForFinished());
    m_requests.clear();
    choose({{a, write(u"sheet.xlsx"_s, "PK\x03\x04rest"), write(u"list.txt.gz"_s, gzip.readAllStandardOutput())}});
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->boxes.size(), 3);
    QVERIFY2(m_driver->boxes[2].text.contains(u"not a text file (zip archive: a spreadsheet or document)"_s),
             qPrintable(m_driver->boxes[2].text));
    QCOMPARE(m_driver->input()->text(), u"a\r\nx@y.org\r\nZo\u00EB@z.org\r\n\r\n"_s);
}

void TestLoadSave::saveDialogStartsWithTheLastName()
{
    const QString a = write(u"a.txt"_s, "a");
    const QString b = write(u"b.txt"_s, "b");
    choose({{a}, {}, {a, b}, {}});
    m_driver->click("PushButton3");
    m_driver->click("PushButton20");
    m_driver->click("PushButton3");
    m_driver->click("PushButton4");
    QCOMPARE(m_requests.size(), 4);
    QVERIFY(m_requests[1].save);
    QCOMPARE(m_requests[1].title, u"Save"_s);
    QCOMPARE(m_requests[1].initialName, a);
    QCOMPARE(m_requests[1].nameFilters, QStringList({u"Text Files (*.txt) (*.txt)"_s, u"All Files (*.*) (*)"_s}));
    QCOMPARE(m_requests[3].initialName, m_dir->path());
    QCOMPARE(m_requests[3].nameFilters,
             QStringList({u"Comma-Delimited Files (*.csv) (*.csv)"_s, u"All Files (*.*) (*)"_s}));

    // The name is Load's and Save's alone: picking the files of addresses to
    // remove, and cancelling that, leave it as it was.
    const QString bounced = write(u"bounced.txt"_s, "b@x.org");
    m_requests.clear();
    choose({{a}, {bounced}, {}, {}});
    m_driver->click("PushButton3");
    ::choose(m_driver->input(), u"Remove Addresses Listed in File"_s);
    ::choose(m_driver->input(), u"Remove Addresses Listed in File"_s);
    m_driver->click("PushButton20");
    QCOMPARE(m_requests.size(), 4);
    QCOMPARE(m_requests[1].title, u"Remove Addresses Listed in File(s)"_s);
    QCOMPARE(m_requests[1].initialName, QString());
    QVERIFY(m_requests[1].multiple && !m_requests[1].save);
    QCOMPARE(m_requests[3].initialName, a);
    QCOMPARE(m_driver->input()->text(), u"a\r\n"_s);
}

void TestLoadSave::savingToANewFileAsksNothing()
{
    const QString path = m_dir->filePath(u"no extension"_s);
    m_driver->input()->setText(u"a\u00e9\r\nb"_s);
    choose({{path}});
    m_driver->click("PushButton20");
    QVERIFY(m_driver->boxes.isEmpty());
    QCOMPARE(m_driver->form->commonDialog().FileName(), path);
    QCOMPARE(readFile(path), "a\xC3\xA9\r\nb"_ba);
    QCOMPARE(m_driver->form->mousePointer(), 0);
}

void TestLoadSave::overwriteNoLeavesTheFile()
{
    const QByteArray old = "\xFF\xFE" "o\0l\0d\0"_ba;
    const QString path = write(u"list.txt"_s, old);
    m_driver->input()->setText(u"new"_s);
    choose({{path}});
    m_driver->nextAnswers = {QMessageBox::No};
    m_driver->click("PushButton20");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, u"Are you sure you wish to overwrite "_s + path + u" ?"_s);
    QCOMPARE(m_driver->boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(m_driver->boxes[0].defaultButton, QMessageBox::No);
    QCOMPARE(m_driver->boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(m_driver->boxes[0].title, u"Kestrava E-mail List Joiner"_s);
    QCOMPARE(readFile(path), old);
    QCOMPARE(m_driver->form->mousePointer(), 0);
}

void TestLoadSave::overwriteYesReplacesTheFile()
{
    const QString path = write(u"list.csv"_s, "a much longer old line that goes away");
    m_driver->output()->setText(QString());
    choose({{path}});
    m_driver->nextAnswers = {QMessageBox::Yes};
    m_driver->click("PushButton4");
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(readFile(path), QByteArray());
}

void TestLoadSave::saveOutputWritesOnlyTheOutput()
{
    const QString path = m_dir->filePath(u"out.csv"_s);
    m_driver->input()->setText(u"a\r\nb"_s);
    m_driver->click("PushButton17");
    m_driver->input()->setText(u"ignored"_s);
    choose({{path}});
    m_driver->click("PushButton4");
    QCOMPARE(readFile(path), "a,b"_ba);
}

void TestLoadSave::cancellingASaveWritesNothing()
{
    m_driver->form->commonDialog().setFileName(m_dir->filePath(u"would be.txt"_s));
    choose({{}, {}});
    m_driver->click("PushButton20");
    m_driver->click("PushButton4");
    QVERIFY(QDir(m_dir->path()).isEmpty());
    QVERIFY(m_driver->boxes.isEmpty());
}

void TestLoadSave::failedSaveLeavesTheOldFileAndIsReported_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("line");
    QTest::newRow("Save File") << "PushButton20"_ba << u"PushButton20_Click at line 114\r\r"_s;
    QTest::newRow("Save Output As File") << "PushButton4"_ba << u"PushButton4_Click at line 120\r\r"_s;
}

void TestLoadSave::failedSaveLeavesTheOldFileAndIsReported()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, line);
    const QByteArray old = "old\r\nlist\r\n";
    const QString path = write(u"list.txt"_s, old);
    m_driver->input()->setText(u"new"_s);
    m_driver->output()->setText(u"n,e,w"_s);
    choose({{path}});
    m_driver->nextAnswers = {QMessageBox::Yes};

    {
        FileSizeLimit limit(0);
        QVERIFY(limit.isActive());
        m_driver->click(button.constData());
    }

    QCOMPARE(m_driver->boxes.size(), 2);
    QCOMPARE(m_driver->boxes[1].text.section(u"\r\n"_s, 0, 0), u"File too large"_s);
    QVERIFY2(m_driver->boxes[1].text.contains(line), qPrintable(m_driver->boxes[1].text));
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({u"list.txt"_s}));
    QCOMPARE(m_driver->form->mousePointer(), 0);
}

void TestLoadSave::savedTextLoadsBackUnchanged()
{
    const QString text = u"zo\u00eb@example.org\r\n\u00e5sa@example.net\r\n\u4e2d\u00a0@example.com"_s;
    const QString path = m_dir->filePath(u"round.txt"_s);
    m_driver->input()->setText(text);
    choose({{path}, {path}});
    m_driver->click("PushButton20");
    m_driver->input()->setText(QString());
    m_driver->click("PushButton3");
    QCOMPARE(m_driver->input()->text(), text + u"\r\n"_s);
}

// Files named on the command line go this way.
static QList<Qt::DropAction> dropOn(TextArea *input, QMimeData *data, Qt::DropAction proposed = Qt::CopyAction);

// Files given on the command line or dropped load as Load File loads them;
// while a long load goes on, nothing else reads or replaces the input.
void TestLoadSave::openingFilesLoadsThemAsLoadFileDoes()
{
    const QString a = write(u"a.txt"_s, "a");
    const QString b = write(u"sub/b.txt"_s, "b1\nb2");
    m_driver->input()->setText(u"before"_s);
    m_driver->form->openFiles({a, m_dir->filePath(u"gone.txt"_s), b});
    QCOMPARE(m_driver->input()->text(), u"a\r\nb1\r\nb2\r\n"_s);
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, u"File not found"_s);
    QCOMPARE(m_driver->form->commonDialog().FileName(), m_dir->path() + u"\0a.txt\0gone.txt\0sub/b.txt"_s);
    QTest::keyClick(m_driver->input(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_driver->input()->text(), u"before"_s);

    // A load that takes long shows its progress over the input, and Escape
    // stops it, the input as it was; let be, it ends with the files' lines.
    const QString big = write(u"big.txt"_s, "someone@example.com\n"_ba.repeated(200'000));
    m_driver->input()->findChild<InputMenu *>()->setPatience(std::chrono::milliseconds(0));
    auto *panel = m_driver->form->findChild<ProgressPanel *>();
    m_driver->form->openFiles({big});
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->findChild<QLabel *>()->text(), u"Load File"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!panel->isVisible());
    QTest::qWait(200);
    QCOMPARE(m_driver->input()->text(), u"before"_s);
    m_driver->form->openFiles({big});
    // Meanwhile what reads or replaces the input is refused, and told.
    m_driver->output()->setText(u"joined before"_s);
    choose({{a}, {a}});
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(a)});
    const QList<std::function<void()>> refused = {
        [this] { m_driver->click("PushButton17"); },
        [this] { m_driver->click("PushButton3"); },
        [this] { m_driver->click("PushButton20"); },
        [this] { m_driver->click("PushButton1"); },
        [this] { m_driver->click("PushButton5"); },
        [this, &dropped] { dropOn(m_driver->input(), &dropped); },
        [this] { ::choose(m_driver->input(), u"Extract Addresses"_s); },
        [this] { ::choose(m_driver->input(), u"Save as Address Book"_s); },
    };
    for (const auto &act : refused)
        act();
    QCOMPARE(m_driver->boxes.size(), 1 + refused.size());
    for (const FormDriver::ShownBox &box : m_driver->boxes.mid(1))
        QCOMPARE(box.text, u"Load File is still at work on the input. Wait for it to finish, or press Escape to stop it."_s);
    QVERIFY(m_requests.isEmpty());
    QCOMPARE(m_driver->output()->text(), u"joined before"_s);
    QCOMPARE(m_driver->input()->text(), u"before"_s);
    QTRY_VERIFY(!panel->isVisible());
    QCOMPARE(m_driver->input()->lineCount(), 200'002);
    m_driver->click("PushButton17");
    QCOMPARE(m_driver->output()->text().size(), 20 * 200'000 + 1);
}

// As a drag from a file manager or mail program arrives: it enters, then
// drops; answers what the area told the source it did, on entering and on
// dropping.
static QList<Qt::DropAction> dropOn(TextArea *input, QMimeData *data, Qt::DropAction proposed)
{
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
    enter.setDropAction(proposed);
    QApplication::sendEvent(input->viewport(), &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
    event.setDropAction(proposed);
    QApplication::sendEvent(input->viewport(), &event);
    return QList<Qt::DropAction>{enter.isAccepted() ? enter.dropAction() : Qt::IgnoreAction,
                                 event.isAccepted() ? event.dropAction() : Qt::IgnoreAction};
}

void TestLoadSave::droppedFilesLoadAndDroppedTextInserts()
{
    const QString a = write(u"a.txt"_s, "a");
    const QString b = write(u"b.txt"_s, "b");
    TextArea *input = m_driver->input();
    input->setText(u"before"_s);
    const auto drop = [input](QMimeData *data, Qt::DropAction proposed = Qt::CopyAction) {
        return dropOn(input, data, proposed);
    };
    const QList<Qt::DropAction> copied = {Qt::CopyAction, Qt::CopyAction};
    // Files are read, never moved, whatever the source proposes: a file
    // manager told they moved might delete them.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(b), QUrl::fromLocalFile(a)});
    QCOMPARE(drop(&files, Qt::MoveAction), copied);
    QCOMPARE(input->text(), u"b\r\na\r\n"_s);

    QMimeData text;
    text.setText(u"x\ny"_s);
    QCOMPARE(drop(&text), copied);
    QCOMPARE(input->text(), u"x\r\nyb\r\na\r\n"_s);
    // Anything but local files is text: a web address is inserted as such.
    QMimeData remote;
    remote.setUrls({QUrl(u"https://example.com/list.txt"_s)});
    QCOMPARE(drop(&remote), copied);
    QCOMPARE(input->text(), u"https://example.com/list.txtx\r\nyb\r\na\r\n"_s);
}

// Contacts as address books and mail programs drag them, written from their
// documented forms; each also carries its raw text, which must not be what
// lands.
void TestLoadSave::contactsBecomeNamedLines_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("lines");
    QTest::newRow("vCard 3.0, two addresses, one folded") << u"text/x-vcard"_s
        << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Lee\\, Ann\r\nN:Lee;Ann;;;\r\nEMAIL;TYPE=INTERNET,HOME:ann@x.org\r\n"
           "EMAIL;TYPE=INTERNET,WORK:ann.lee@work.exa\r\n mple.com\r\nEND:VCARD\r\n\r\n"
           "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;Bob;;;\r\nEMAIL:bob@y.org\r\nEND:VCARD\r\n"_ba
        << u"\"Lee, Ann\" <ann@x.org>\r\n\"Lee, Ann\" <ann.lee@work.example.com>\r\nBob <bob@y.org>\r\n"_s;
    QTest::newRow("vCard 4.0 in UTF-8, a card without a name, no line break at the end") << u"text/vcard"_s
        << "BEGIN:VCARD\nVERSION:4.0\nFN:\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd \"\xd0\x92\xd0\xb0\xd0\xbd\xd1\x8f\"\nEMAIL;TYPE=work:ivan@x.ru\nEND:VCARD\n"
           "BEGIN:VCARD\nVERSION:4.0\nEMAIL:nobody@x.org\nEND:VCARD"_ba
        << u"\"\u0418\u0432\u0430\u043d \\\"\u0412\u0430\u043d\u044f\\\"\" <ivan@x.ru>\r\nnobody@x.org\r\n"_s;
    QTest::newRow("vCard 2.1, quoted-printable in Latin-1, base64") << u"text/directory"_s
        << "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=\r\n=FCrgen\r\n"
           "EMAIL;INTERNET:j@m.de\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN;ENCODING=BASE64:w4lsb2lzZQ==\r\n"
           "EMAIL;PREF;INTERNET:eloise@x.fr\r\nEND:VCARD\r\n"_ba
        << u"J\u00fcrgen M\u00fcller <j@m.de>\r\n\u00c9loise <eloise@x.fr>\r\n"_s;
    static const char16_t moz[] = u"\"Lee, Ann\" <ann@x.org>, Zo\u00eb <zoe@x.org>";
    QTest::newRow("addresses in UTF-16, ended by a NUL") << u"text/x-moz-address"_s
        << QByteArray(reinterpret_cast<const char *>(moz), sizeof moz)
        << u"\"Lee, Ann\" <ann@x.org>\r\nZo\u00eb <zoe@x.org>\r\n"_s;
}

void TestLoadSave::contactsBecomeNamedLines()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, lines);
    QMimeData dragged;
    dragged.setData(type, data);
    dragged.setText(QString::fromLatin1(data));
    QCOMPARE(dropOn(m_driver->input(), &dragged), QList<Qt::DropAction>({Qt::CopyAction, Qt::CopyAction}));
    QCOMPARE(m_driver->input()->text(), lines);
}

// Contacts dropped with files come after the files' lines; pasted, they
// come as named lines too; Load File of an address book and a Maildir
// folder dropped give their named addresses, a plain list its lines.
void TestLoadSave::contactsWithFilesPastedAndLoaded()
{
    TextArea *input = m_driver->input();
    const QString list = write(u"list.txt"_s, "BEGIN:VCARD but a list\nann@x.org");
    const QString fromList = write(u"from.txt"_s, "From me to you\nbob@y.org\n");
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(list), QUrl::fromLocalFile(fromList)});
    mixed.setData(u"text/vcard"_s, "BEGIN:VCARD\nFN:Bob\nEMAIL:bob@y.org\nEND:VCARD\n");
    dropOn(input, &mixed);
    QTRY_COMPARE(input->text(),
                 u"BEGIN:VCARD but a list\r\nann@x.org\r\nFrom me to you\r\nbob@y.org\r\n\r\nBob <bob@y.org>\r\n"_s);

    auto *copied = new QMimeData;
    copied->setData(u"text/x-vcard"_s, "BEGIN:VCARD\nFN:Cy\nEMAIL:cy@z.org\nEND:VCARD\n");
    QApplication::clipboard()->setMimeData(copied);
    input->setText(QString());
    QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(input->text(), u"Cy <cy@z.org>\r\n"_s);

    const QString book = write(u"book.ldif"_s, "dn: cn=Lee\\, Ann,mail=ann@x.org\nobjectclass: person\ncn: Lee, Ann\n"
                                               "mail: ann@x.org\n\ndn:: Y249WsO2ZQ==\ngivenName: Z\nsn:: w7Zl\nmail: zoe@x.org\n"
                                               "\ndn: cn=List\nobjectclass: groupOfNames\nmember: cn=Lee\\, Ann,mail=ann@x.org\n");
    choose({{book}});
    m_driver->click("PushButton3");
    QCOMPARE(input->text(), u"\"Lee, Ann\" <ann@x.org>\r\nZ \u00f6e <zoe@x.org>\r\n"_s);

    const QString maildir = m_dir->filePath(u"Mail"_s);
    QVERIFY(QDir().mkpath(maildir + u"/cur"_s) && QDir().mkpath(maildir + u"/new"_s));
    write(u"Mail/cur/2.x"_s, "From: Ann <ann@x.org>\nTo: =?UTF-8?Q?Zo=C3=AB?= <zoe@x.org>, ann@x.org\n\nFrom: body@x.org\n");
    write(u"Mail/new/1.x"_s, "From: zoe@x.org\nCc: Team: bob@y.org, \"Lee, Ann\" <ANN@x.org>;\n\n");
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(maildir)});
    dropOn(input, &folder);
    QTRY_COMPARE(input->text(), u"Zo\u00eb <zoe@x.org>\r\nbob@y.org\r\n\"Lee, Ann\" <ANN@x.org>\r\n"_s);
    // A mailbox from Load File loads as a drop does, and undo brings back
    // what was there.
    const QString mbox = write(u"mail"_s, "From x\nFrom: Cy <cy@z.org>\n\nFrom y\nTo: cy@z.org, ann@x.org\n");
    m_requests.clear();
    choose({{mbox}});
    m_driver->click("PushButton3");
    QTRY_COMPARE(input->text(), u"Cy <cy@z.org>\r\nann@x.org\r\n"_s);
    QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(input->text(), u"Zo\u00eb <zoe@x.org>\r\nbob@y.org\r\n\"Lee, Ann\" <ANN@x.org>\r\n"_s);
    // Save proposes no mailbox to be replaced by the list made of it.
    m_requests.clear();
    choose({{mbox}, {}});
    m_driver->click("PushButton3");
    m_driver->click("PushButton20");
    QCOMPARE(m_requests.value(1).initialName, mbox + u".txt"_s);
    // A file not found is no mailbox: its name stays.
    m_requests.clear();
    const QString gone = m_dir->filePath(u"gone.mbox"_s);
    choose({{gone}, {}});
    m_driver->click("PushButton3");
    m_driver->click("PushButton20");
    QCOMPARE(m_requests.value(1).initialName, gone);
    m_driver->boxes.clear();

    // A message of a mail folder that cannot be read is named; the others load.
    QVERIFY(QFile::link(u"/dev/zero"_s, maildir + u"/new/3.zero"_s));
    QVERIFY(QFile::link(u"nowhere"_s, maildir + u"/cur/0.broken"_s));
    m_requests.clear();
    choose({{maildir}});
    m_driver->click("PushButton3");
    QCOMPARE(input->text(), u"Zo\u00eb <zoe@x.org>\r\nbob@y.org\r\n\"Lee, Ann\" <ANN@x.org>\r\n"_s);
    QCOMPARE(m_driver->boxes.size(), 1);
    QCOMPARE(m_driver->boxes[0].text, u"These messages could not be read and were left out; the others were loaded:\r\r"_s
                                          + maildir + u"/cur/0.broken: No such file or directory\r"_s + maildir
                                          + u"/new/3.zero: not an ordinary file"_s);
}

// The input's addresses saved as an address book in the format the name
// asks for, what is no address counted, written as Save File writes.
void TestLoadSave::savedAsAddressBook()
{
    m_driver->input()->setText(u"\"Lee, Ann\" <ann@x.org>\r\nnot an address\r\n\r\nbob@y.org (Bob \"B\")\r\n"_s);
    const QString path = m_dir->filePath(u"book.csv"_s);
    choose({{path}});
    ::choose(m_driver->input(), u"Save as Address Book"_s);
    QCOMPARE(m_requests.value(0).title, u"Save as Address Book"_s);
    QVERIFY(m_requests.value(0).save);
    QCOMPARE(readFile(path), "Name,E-mail Address\r\n\"Lee, Ann\",ann@x.org\r\n\"Bob \"\"B\"\"\",bob@y.org\r\n"_ba);
    QCOMPARE(m_driver->boxes.value(0).text,
             u"2 contacts saved to "_s + path + u".\r\r1 line that is no address was left out."_s);
    // The name's ending asks for the format, and the filter chooses among
    // those of the ending; any other name, mutt's.
    const QString google = u"Google Contacts CSV Files (*.csv)"_s;
    for (const auto &[name, filter, start] :
         {std::tuple{u"book.VCF"_s, QString(), "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Lee\\, Ann\r\n"_ba},
          std::tuple{u"phone.vcf"_s, u"vCard 3.0 Files, for Phones and Web Mail (*.vcf)"_s,
                     "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Lee\\, Ann\r\nN:;Lee\\, Ann;;;\r\n"_ba},
          std::tuple{u"book.vcard"_s, QString(), "BEGIN:VCARD\r\n"_ba},
          std::tuple{u"book.ldi"_s, google, "dn: cn=Lee\\, Ann,mail=ann@x.org\n"_ba},
          std::tuple{u"google.csv"_s, google, "Name,E-mail 1 - Type,E-mail 1 - Value\r\n\"Lee, Ann\",* Other,"_ba},
          std::tuple{u"outlook.csv"_s, u"Outlook CSV Files (*.csv)"_s, "First Name,Last Name,E-mail Address,"_ba},
          std::tuple{u"thunderbird.csv"_s, u"Thunderbird CSV Files (*.csv)"_s, "First Name,Last Name,Display Name,"_ba},
          std::tuple{u"aliases"_s, QString(), "alias ann \\\"Lee, Ann\\\" <ann@x.org>\nalias bob "_ba}}) {
        m_requests.clear();
        choose({{m_dir->filePath(name)}});
        m_driver->form->commonDialog().setNextFilter(filter);
        ::choose(m_driver->input(), u"Save as Address Book"_s);
        QVERIFY2(readFile(m_dir->filePath(name)).startsWith(start), qPrintable(readFile(m_dir->filePath(name))));
    }
    // Each CSV shape loads again as the named lines it was saved from.
    for (const QString &name : {u"book.csv"_s, u"google.csv"_s, u"outlook.csv"_s, u"thunderbird.csv"_s}) {
        m_requests.clear();
        choose({{m_dir->filePath(name)}});
        m_driver->click("PushButton3");
        QCOMPARE(m_driver->input()->text(), u"\"Lee, Ann\" <ann@x.org>\r\n\"Bob \\\"B\\\"\" <bob@y.org>\r\n"_s);
        m_driver->input()->setText(u"\"Lee, Ann\" <ann@x.org>\r\nnot an address\r\n\r\nbob@y.org (Bob \"B\")\r\n"_s);
    }
    // A folder that is not there: told, nothing written.
    const QString nowhere = m_dir->filePath(u"gone/book.vcf"_s);
    m_requests.clear();
    choose({{nowhere}});
    ::choose(m_driver->input(), u"Save as Address Book"_s);
    QCOMPARE(m_driver->boxes.size(), 10);
    QCOMPARE(m_driver->boxes.last().icon, QMessageBox::Warning);
    QVERIFY(!QFile::exists(nowhere));
}

// The Qt file dialog itself, answered by the test as a user would.
void TestLoadSave::realOpenDialog()
{
    const QString noDot = write(u"README"_s, "plain\nlines");
    QString title;
    QStringList filters;
    FormDriver::whenModalShows(this, [&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        dialog->selectNameFilter(filters.value(1));
        dialog->selectFile(noDot);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    m_driver->click("PushButton3");
    QCOMPARE(title, u"Load List(s) - Hold Ctrl to select multiple list files"_s);
    QCOMPARE(filters, QStringList({u"Text Files (*.txt) (*.txt)"_s, u"All Files (*.*) (*)"_s}));
    QCOMPARE(m_driver->form->commonDialog().FileName(), noDot);
    QCOMPARE(m_driver->input()->text(), u"plain\r\nlines\r\n"_s);
}

void TestLoadSave::realSaveDialog()
{
    m_driver->form->commonDialog().setFileName(m_dir->filePath(u"last.csv"_s));
    m_driver->output()->setText(u"a,b"_s);
    QString startName;
    FormDriver::whenModalShows(this, [&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        startName = dialog->selectedFiles().value(0);
        auto *nameField = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        nameField->setText(u"typed"_s);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    m_driver->click("PushButton4");
    QCOMPARE(startName, m_dir->filePath(u"last.csv"_s));
    QCOMPARE(m_driver->form->commonDialog().FileName(), m_dir->filePath(u"typed"_s));
    QCOMPARE(readFile(m_dir->filePath(u"typed"_s)), "a,b"_ba);
}

QTEST_MAIN(TestLoadSave)
#include "tst_loadsave.moc"
