// Times the window's work on a large list, through the real window on Qt's
// offscreen platform: loading ten files of 100,000 addresses, joining the
// million lines, a keystroke and a scroll at the far end of the joined line,
// saving it, and the peak memory; then the text area alone with a million
// lines, a line of thirty million characters and text that needs shaping;
// beside it, `paste -sd,` joining the same files, and the ratio, and the
// command line's --join on them. Each time in the window ends when it has
// painted.
// Run: build/bench/bench_gui [lines per file] [files]
#include "form/Form1.h"
#include "platform/PushButton.h"
#include "textview/TextArea.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/resource.h>

namespace {

QStringList writeLists(const QTemporaryDir &dir, int files, int linesPerFile, qint64 *bytesWritten)
{
    QStringList paths;
    for (int f = 0; f < files; ++f) {
        QByteArray bytes;
        for (int i = 0; i < linesPerFile; ++i)
            bytes += "someone." + QByteArray::number(f) + '.' + QByteArray::number(i) + "@example.com\r\n";
        paths << dir.filePath(QStringLiteral("list%1.txt").arg(f));
        QFile file(paths.last());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(paths.last()));
        *bytesWritten += bytes.size();
    }
    return paths;
}

// Milliseconds until the window has handled the step and painted again.
double timed(const std::function<void()> &step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    QCoreApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    if (qEnvironmentVariableIsSet("KESTRAVA_BENCH_MEMORY"))
        std::printf("  (peak so far %.1f MB)\n", usage.ru_maxrss / 1e3);
    return ms;
}

// Milliseconds one repaint of a text area takes, the best of ten.
double painted(TextArea *area)
{
    double best = 1e9;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        area->viewport()->repaint();
        best = qMin(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Milliseconds a command takes, its output thrown away.
double commandMilliseconds(const QString &program, const QStringList &arguments)
{
    QProcess command;
    command.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    command.start(program, arguments);
    command.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int linesPerFile = argc > 1 ? QByteArray(argv[1]).toInt() : 100'000;
    const int files = argc > 2 ? QByteArray(argv[2]).toInt() : 10;

    QTemporaryDir dir;
    qint64 size = 0;
    const QStringList paths = writeLists(dir, files, linesPerFile, &size);
    const QString saved = dir.filePath(QStringLiteral("joined.csv"));

    Form1 form;
    form.homePageOpener().setProcessStarter([](const QString &, const QStringList &) { return true; });
    form.Form_Load();
    form.showCentred();
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("the window did not show");
    form.commonDialog().setChooser([&](const CommonDialog::Request &request) {
        return request.save ? QStringList{saved} : paths;
    });
    auto *output = form.findChild<TextArea *>(QStringLiteral("Text2"));
    const auto click = [&](const char *name) {
        QTest::mouseClick(form.findChild<PushButton *>(QLatin1String(name)), Qt::LeftButton);
    };

    std::printf("%d files of %d addresses, %.1f MB\n", files, linesPerFile, size / 1e6);
    std::printf("Load File:                     %8.1f ms\n", timed([&] { click("PushButton3"); }));
    const double join = timed([&] { click("PushButton17"); });
    std::printf("Start Joining:                 %8.1f ms\n", join);
    output->setFocus();
    std::printf("Ctrl+End to the line's end:    %8.1f ms\n",
                timed([&] { QTest::keyClick(output, Qt::Key_End, Qt::ControlModifier); }));
    std::printf("a keystroke there:             %8.1f ms\n", timed([&] { QTest::keyClick(output, Qt::Key_X); }));
    std::printf("Backspace there:               %8.1f ms\n", timed([&] { QTest::keyClick(output, Qt::Key_Backspace); }));
    std::printf("Save Output As File:           %8.1f ms\n", timed([&] { click("PushButton4"); }));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory:                   %8.1f MB (%.1f x the files)\n", usage.ru_maxrss / 1e3,
                usage.ru_maxrss * 1e3 / size);

    // The text areas on their own: a million lines, one line of thirty
    // million characters, and a screenful of text that needs shaping.
    auto *input = form.findChild<TextArea *>(QStringLiteral("Text1"));
    QStringList lines;
    for (int i = 0; i < 1'000'000; ++i)
        lines << QStringLiteral("someone.%1@example.com").arg(i);
    const QString million = lines.join(QStringLiteral("\r\n"));
    std::printf("1M lines set and painted:      %8.1f ms\n", timed([&] {
                    input->setText(million);
                    input->viewport()->repaint();
                }));
    const QString longLine = QString(QStringLiteral("someone@example.com,")).repeated(1'500'000);
    std::printf("30M-character line set, shown: %8.1f ms\n", timed([&] {
                    input->setText(longLine);
                    input->viewport()->repaint();
                }));
    const QString shaped = QStringLiteral("\u0645\u062D\u0645\u062F@\u0645\u062B\u0627\u0644.\u0645\u0635\u0631 "
                                          "\u05D3\u05D5\u05D3 \U0001F44D\U0001F3FD \u0928\u092E\u0938\u094D\u0924\u0947 ");
    input->setText(QStringList(200, shaped.repeated(4)).join(QStringLiteral("\r\n")));
    input->viewport()->repaint();
    std::printf("a screenful of shaped lines:   %8.1f ms\n", painted(input));
    std::printf("a shaped 660,000-character line set, shown: %.1f ms\n", timed([&] {
                    input->setText(shaped.repeated(20'000));
                    input->viewport()->repaint();
                }));
    std::printf("  a screenful of it painted:   %8.1f ms\n", painted(input));
    QTest::keyClick(input, Qt::Key_End);
    std::printf("  its far end painted:         %8.1f ms\n", painted(input));

    const double paste = commandMilliseconds(QStringLiteral("paste"), QStringList{QStringLiteral("-sd,")} + paths);
    std::printf("paste -sd, on the same files:  %8.1f ms (joining takes %.1f x as long)\n", paste, join / paste);
    const double joinCommand =
        commandMilliseconds(QStringLiteral(KESTRAVA_PROGRAM), QStringList{QStringLiteral("--join")} + paths);
    std::printf("kestrava --join on them:       %8.1f ms (%.1f x paste)\n", joinCommand, joinCommand / paste);

    // One item per line, and one empty line after each file's final CR LF.
    return QFile(saved).size() == size - files * linesPerFile - 1 ? 0 : 1;
}
