#pragma once

#include "addresses/MailtoLinks.h"
#include "core/ErrorReport.h"
#include "core/HomePageOpener.h"
#include "core/ClipboardService.h"
#include "platform/ChoiceList.h"
#include "platform/CommonDialog.h"
#include "platform/FieldsDialog.h"
#include "platform/MailComposer.h"
#include "platform/MessageBox.h"
#include "platform/ProcessStarter.h"
#include "platform/SkinFramework.h"
#include "platform/WindowPointer.h"

#include <QWidget>

#include <memory>
#include <optional>

class Frame;
class Procedure;
class InputMenu;
class InputWork;
class OutputMenu;
class PushButton;
class TextArea;

// The program's one window: the "Input" and "Output" frames with their text
// areas and buttons, and "Start Joining" between them.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

    void Form_Load();
    void showCentred();
    // Loads list files into the input as "Load File" does when the user
    // picks them, on a thread of its own, showing its progress when it
    // takes long.
    // alsoText: contacts dropped with the files, put after their lines.
    void openFiles(const QStringList &files, const QString &alsoText = {});

    // The folder whose skin and hand cursor files Form_Load looks for; the
    // program's own folder unless a test points it elsewhere.
    void setApplicationFolder(const QString &folder) { m_applicationFolder = folder; }

    int mousePointer() const { return m_pointer.state(); }
    void setMousePointer(int state) { m_pointer.setState(state); }

    // The controls and services the procedures go through; tests answer them.
    MessageBox &messageBoxes() { return m_messageBoxes; }
    ChoiceList &choiceLists() { return m_choiceLists; }
    FieldsDialog &fieldsDialogs() { return m_fieldsDialogs; }
    MailComposer &mailComposer() { return m_mailComposer; }
    ErrorReport &errorReport() { return m_errorReport; }
    CommonDialog &commonDialog() { return CommonDialog1; }
    HomePageOpener &homePageOpener() { return m_homePage; }
    SkinFramework &skinFramework() { return SkinFramework1; }
    void setClipboard(std::unique_ptr<ClipboardService> clipboard);
    // Tells the user that something they did ran out of memory and changed
    // nothing.
    void reportOutOfMemory();

protected:
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void arrangeTabOrder();
    void connectProcedures();
    PushButton *addButton(const char *name, const QString &caption, QWidget *container, int left, int top,
                          int width, int height);
    QList<PushButton *> buttons() const;
    static void setBackColor(QWidget *control, const QColor &colour, const QColor &preferredText);

    void applySkin();
    void handHover();
    void arrowHover();

    // Procedures of the buttons, named after the controls they serve.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton17_Click();
    void PushButton18_Click();
    void Text2_MouseDown(Qt::MouseButton button);
    void PushButton20_Click();
    void tellTooManyFiles(Procedure &p);
    void loadFiles(const QStringList &given, const QString &alsoText = {});
    std::optional<QList<std::pair<QString, QString>>> chooseListedAddresses(const QString &title);
    std::optional<QString> listedAddressesIn(const QString &path);
    void saveAddressBook();
    std::optional<QList<bool>> chooseCorrections(const QStringList &changes);
    bool composeMail(const QString &link, const QString &handedOver);
    bool copyToClipboard(const QString &text);
    std::optional<MailtoLinks::Message> askMessage(const MailtoLinks::Message &last);
    std::optional<qsizetype> askBatchSize();
    void saveThroughDialog(TextArea &source, const QString &qualifier, const QString &filter, int firstLine);

    Frame *Frame1 = nullptr;
    Frame *Frame2 = nullptr;
    TextArea *Text1 = nullptr;
    TextArea *Text2 = nullptr;
    PushButton *PushButton1 = nullptr;
    PushButton *PushButton2 = nullptr;
    PushButton *PushButton3 = nullptr;
    PushButton *PushButton4 = nullptr;
    PushButton *PushButton5 = nullptr;
    PushButton *PushButton6 = nullptr;
    PushButton *PushButton17 = nullptr;
    PushButton *PushButton18 = nullptr;
    PushButton *PushButton20 = nullptr;
    InputWork *m_inputWork = nullptr;
    InputMenu *m_inputMenu = nullptr;
    OutputMenu *m_outputMenu = nullptr;

    MessageBox m_messageBoxes{this};
    ChoiceList m_choiceLists{this};
    FieldsDialog m_fieldsDialogs{this};
    MailComposer m_mailComposer;
    ErrorReport m_errorReport{[this](const QString &text, const QString &title) { m_messageBoxes.warn(text, title); }};
    CommonDialog CommonDialog1{this};
    SkinFramework SkinFramework1;
    WindowPointer m_pointer{*this};
    HomePageOpener m_homePage{startDetachedProcess};
    std::unique_ptr<ClipboardService> m_clipboard;
    QString m_applicationFolder;
};
