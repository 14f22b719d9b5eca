#pragma once

#include "form/Form1.h"
#include "form/InputMenu.h"
#include "platform/PushButton.h"
#include "textview/TextArea.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// A clipboard another program holds: every attempt refused, and counted.
class BusyClipboard : public ClipboardService
{
public:
    explicit BusyClipboard(int *attempts = nullptr) : m_attempts(attempts) {}
    bool placeText(const QString &, int) override
    {
        if (m_attempts)
            ++*m_attempts;
        return false;
    }

private:
    int *m_attempts;
};

// Builds, loads and shows the real window for one test, answers its message
// boxes (recording each) and finds its controls by name. The program's folder
// is an empty temporary folder unless prepare() puts files there.
class FormDriver
{
public:
    struct ShownBox
    {
        QString text;
        QString title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        QString displayedText;
    };

    explicit FormDriver(const std::function<void(FormDriver &)> &prepare = {})
    {
        form->messageBoxes().setAnswerer([this](QMessageBox &box) {
            boxes.append({MessageBox::composedText(box), box.windowTitle(), box.icon(), box.standardButtons(),
                          box.standardButton(box.defaultButton()), box.text()});
            if (onBox)
                onBox(box);
            return nextAnswers.isEmpty() ? box.standardButton(box.defaultButton()) : nextAnswers.takeFirst();
        });
        form->setApplicationFolder(programFolder.path());
        // Dialogs of fields are answered as the test says, else OK as they stand.
        form->fieldsDialogs().setAnswerer([this](QDialog &dialog) { return fillFields ? fillFields(dialog) : true; });
        // Loads and the input's entries end before the test goes on, however
        // slow the machine; a test of their progress shortens the wait.
        form->findChild<InputMenu *>()->setPatience(std::chrono::minutes(5));
        // No test ever opens a browser: the opener draws a number that does not open it.
        form->homePageOpener().setRandomSource([] { return 0.5; });
        form->homePageOpener().setProcessStarter([this](const QString &program, const QStringList &arguments) {
            processesStarted.append(program + u' ' + arguments.join(u' '));
            return true;
        });
        if (prepare)
            prepare(*this);
        form->Form_Load();
        form->showCentred();
        if (!QTest::qWaitForWindowActive(form.get()))
            qFatal("the window did not become active");
    }

    template<typename T = QWidget>
    T *control(const char *name) const
    {
        T *found = form->objectName() == QLatin1String(name) ? qobject_cast<T *>(form.get())
                                                             : form->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("control %s not found", name);
        return found;
    }
    // Acts on the next modal window once it shows; should the action leave
    // it open, it is closed after five seconds so that no test hangs.
    static void whenModalShows(QObject *context, const std::function<void(QWidget *)> &act)
    {
        QTimer::singleShot(0, context, [act] {
            if (QWidget *modal = QApplication::activeModalWidget())
                act(modal);
        });
        QTimer::singleShot(5000, context, [] {
            if (QWidget *stuck = QApplication::activeModalWidget())
                stuck->close();
        });
    }

    void click(const char *button) const { QTest::mouseClick(control<PushButton>(button), Qt::LeftButton); }
    TextArea *input() const { return control<TextArea>("Text1"); }
    TextArea *output() const { return control<TextArea>("Text2"); }

    // Makes the given statements of one procedure fail with the given
    // exceptions, and records every statement that procedure runs.
    void failAt(const QList<std::pair<int, std::exception_ptr>> &failures, const QString &qualifier)
    {
        form->errorReport().setStatementProbe([this, failures, qualifier](const QString &q, int line) {
            if (q != qualifier)
                return;
            statementsRun.append(line);
            for (const auto &[failingLine, failure] : failures)
                if (failingLine == line)
                    std::rethrow_exception(failure);
        });
    }

    QTemporaryDir programFolder;
    // The user's configuration, where the window remembers choices: a
    // folder of the test's own, empty, before the window is made.
    QTemporaryDir configFolder;
    const bool configChosen = qputenv("XDG_CONFIG_HOME", QFile::encodeName(configFolder.path()));
    std::unique_ptr<Form1> form = std::make_unique<Form1>();
    QList<ShownBox> boxes;
    std::function<void(QMessageBox &)> onBox;
    std::function<bool(QDialog &)> fillFields;
    QList<QMessageBox::StandardButton> nextAnswers;
    QList<int> statementsRun;
    QStringList processesStarted;
};
