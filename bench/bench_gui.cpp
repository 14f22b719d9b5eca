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
#include "platform/ProgressPanel.h"
#include "platform/PushButton.h"
#include "textview/TextArea.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMimeData>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList writeLists(const QTemporaryDir &dir, int files, int linesPerFile, qint64 *bytesWritten,
                       const QByteArray &lineBreak = "\r\n")
{
    QStringList paths;
    for (int f = 0; f < files; ++f) {
        QByteArray bytes;
        for (int i = 0; i < linesPerFile; ++i)
            bytes += "someone." + QByteArray::number(f) + '.' + QByteArray::number(i) + "@example.com" + lineBreak;
        paths << dir.filePath(QStringLiteral("list%1%2.txt").arg(f).arg(lineBreak.size()));
        QFile file(paths.last());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(paths.last()));
        *bytesWritten += bytes.size();
    }
    return paths;
}

// The memory a process holds now, and the most it has held since the peak
// was last reset, in megabytes.
double memoryStatus(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QRegularExpression line(QStringLiteral("%1:\\s*(\\d+) kB").arg(QLatin1String(field)));
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toDouble() / 1e3;
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
        std::printf("  (peak so far %.1f MB, now %.1f MB)\n", usage.ru_maxrss / 1e3, memoryStatus("VmRSS"));
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

// Milliseconds a command takes, the processor time it used (user and
// system, its own children's included) and the most memory it held, its
// output thrown away, or put in a file.
struct Measured
{
    double milliseconds = 0;
    double cpuMilliseconds = 0;
    double peakMegabytes = 0;
};

Measured measure(const QStringList &command, const QString &output = QStringLiteral("/dev/null"))
{
    QList<QByteArray> arguments;
    for (const QString &argument : command)
        arguments << argument.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, QFile::encodeName(output).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // What the command tells (--check's lines) is timed, not shown.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        qFatal("cannot start %s", argv[0]);
    // The peak is read from the command's own high-water mark while it runs:
    // the rusage of a child counts the memory of the one that started it.
    double peak = 0;
    const QString status = QStringLiteral("/proc/%1/status").arg(pid);
    int exitStatus = 0;
    rusage usage{};
    while (wait4(pid, &exitStatus, WNOHANG, &usage) == 0) {
        QFile file(status);
        if (file.open(QIODevice::ReadOnly)) {
            static const QRegularExpression highWater(QStringLiteral("VmHWM:\\s*(\\d+) kB"));
            peak = qMax(peak, highWater.match(QString::fromLatin1(file.readAll())).captured(1).toDouble() / 1e3);
        }
        usleep(2000);
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return {timer.nsecsElapsed() / 1e6, ms(usage.ru_utime) + ms(usage.ru_stime), peak};
}

// A command of the shell, which the shell becomes, so that its memory is
// the command's.
Measured shell(const QString &command, const QString &output = QStringLiteral("/dev/null"))
{
    return measure({QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exec ") + command}, output);
}

// A list of so many megabytes with LF line ends, as Linux programs write them.
QString writeLargeList(const QTemporaryDir &dir, qint64 megabytes)
{
    const QString path = dir.filePath(QStringLiteral("large.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    for (qint64 line = 0; file.size() < megabytes * 1'000'000; ++line) {
        QByteArray block;
        for (int i = 0; i < 100'000; ++i, ++line)
            block += "someone." + QByteArray::number(line) + "@example.com\n";
        if (file.write(block) != block.size())
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
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

// The middle of five runs of a step, in milliseconds.
double median(const std::function<double()> &run)
{
    std::array<double, 5> runs{};
    for (double &ms : runs)
        ms = run();
    std::sort(runs.begin(), runs.end());
    return runs[2];
}

// Load File into an empty input and Start Joining into an empty output, on
// the files, against paste -sd, on them, each the middle of five runs, as
// the machine's other work varies.
void benchAgainstPaste(const QStringList &paths, const std::function<void(const char *)> &click)
{
    const double paste = median([&] {
        return commandMilliseconds(QStringLiteral("paste"), QStringList{QStringLiteral("-sd,")} + paths);
    });
    const double load = median([&] {
        click("PushButton1");
        const double ms = timed([&] { click("PushButton3"); });
        return ms;
    });
    const double join = median([&] {
        click("PushButton2");
        return timed([&] { click("PushButton17"); });
    });
    std::printf("middle of five: paste -sd, %.1f ms; Load File %.1f ms (%.2f x), Start Joining %.1f ms (%.2f x)\n", paste,
                load, load / paste, join, join / paste);
}

// Tidying lines: some in upper case, so that a tenth are duplicates, and
// every tenth empty.
QString untidyLines(int count)
{
    QString text;
    text.reserve(qsizetype(count) * 26);
    for (int i = 0; i < count; ++i) {
        if (i % 10 != 9)
            text += QStringLiteral(" Someone.%1@Example.com").arg(i % (count / 10 * 9));
        if (i + 1 < count)
            text += QStringLiteral("\r\n");
    }
    return text;
}

QMenu *openMenu(TextArea *area)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), area->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(area->viewport(), &event);
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

// The entry whose label starts so, in the menu or any of its submenus.
QAction *findEntry(QMenu *menu, const QString &label)
{
    for (QAction *action : menu->actions()) {
        if (action->text().remove(u'&').startsWith(label))
            return action;
        if (QAction *inner = action->menu() ? findEntry(action->menu(), label) : nullptr)
            return inner;
    }
    return nullptr;
}

QAction *entry(QMenu *menu, const QString &label)
{
    if (QAction *found = findEntry(menu, label))
        return found;
    qFatal("no entry %s", qPrintable(label));
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The text with line feeds for line breaks, in a file of the folder, as
// command-line tools read it; answers the path.
QString writeWithLineFeeds(const QTemporaryDir &dir, const QString &name, QString text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Milliseconds until an entry of the menu shows the text.
double untilShown(QMenu *menu, const QString &text)
{
    QElapsedTimer timer;
    timer.start();
    const auto shown = [&] {
        const QList<QAction *> actions = menu->actions();
        return std::any_of(actions.begin(), actions.end(), [&](QAction *a) { return a->text().contains(text); });
    };
    while (!shown() && timer.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return timer.nsecsElapsed() / 1e6;
}

// Until the input's work is done and the window has painted.
void untilDone(TextArea *input)
{
    auto *panel = input->window()->findChild<ProgressPanel *>();
    while (panel && panel->isVisible())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// The input's menu and each tidying entry on so many lines, through the
// window: from the click on the entry until the window has painted again;
// beside them, LC_ALL=C sort -s -f on the same lines, and the most memory
// each entry took beyond what the window held before it.
void benchTidying(const QTemporaryDir &dir, TextArea *input, int count)
{
    const QString untidy = untidyLines(count);
    input->setText(untidy);
    const QString path = writeWithLineFeeds(dir, QStringLiteral("untidy.txt"), untidy);
    const double sort = commandMilliseconds(QStringLiteral("sh"),
                                            {QStringLiteral("-c"), QStringLiteral("LC_ALL=C sort -s -f '%1'").arg(path)});
    const double textMegabytes = untidy.size() * 2 / 1e6;
    std::printf("%d lines to tidy (%.0f MB in memory); LC_ALL=C sort -s -f on them: %.1f ms\n", count, textMegabytes, sort);
    QMenu *menu = nullptr;
    std::printf("  the input's menu shown:      %8.1f ms\n", timed([&] { menu = openMenu(input); }));
    std::printf("  and its counts filled in:    %8.1f ms\n", untilShown(menu, QStringLiteral(" lines: ")));
    for (const char *label : {"Remove Duplicate Lines", "Remove Empty Lines", "Trim Spaces", "By Line"}) {
        QAction *chosen = entry(menu, QLatin1String(label));
        menu->close();
        const double before = memoryStatus("VmRSS");
        resetPeakMemory();
        const double ms = timed([&] {
            chosen->trigger();
            untilDone(input);
        });
        std::printf("  %-28s%8.1f ms (%.2f x sort -f), at most %.0f MB more (%.1f x the text)\n",
                    qPrintable(QLatin1String(label) + u':'), ms, ms / sort, memoryStatus("VmHWM") - before,
                    (memoryStatus("VmHWM") - before) / textMegabytes);
        QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
        menu = openMenu(input);
    }
    menu->close();
}

// Write to Next Batch of 500 on the output's recipients: how soon after the
// click xdg-email runs (a stand-in that notes the time, found first on the
// PATH), and how soon the window takes clicks again.
void benchComposer(const QTemporaryDir &dir, TextArea *output)
{
    const QString bin = dir.filePath(QStringLiteral("bin"));
    const QString stamp = dir.filePath(QStringLiteral("started"));
    QDir().mkpath(bin);
    QFile script(bin + QStringLiteral("/xdg-email"));
    if (!script.open(QIODevice::WriteOnly) || script.write("#!/bin/sh\ndate +%s%N > '" + stamp.toUtf8() + "'\n") < 0)
        qFatal("cannot write the stand-in for xdg-email");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ':' + path);
    QMenu *menu = openMenu(output);
    QMenu *writes = entry(menu, QStringLiteral("Write to Next Batch"))->menu();
    QElapsedTimer waiting;
    waiting.start();
    while (!writes->actions().first()->text().startsWith(QStringLiteral("Write to Recipients")) && waiting.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QAction *batch = entry(writes, QStringLiteral("Write to Recipients 1-500"));
    const qint64 clicked = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    const double back = timed([&] { batch->trigger(); });
    QFile started(stamp);
    const double after = started.open(QIODevice::ReadOnly) ? (started.readAll().trimmed().toLongLong() - clicked) / 1e6 : -1;
    std::printf("Write to Next Batch, 500 of %lld recipients, with a To, a subject and a 2 kB body: xdg-email ran "
                "%.1f ms after the click, "
                "the window free again after %.1f ms\n",
                static_cast<long long>(output->text().count(u',') + 1), after, back);
    menu->close();
    qputenv("PATH", path);
}

// An mbox of so many bytes: messages with a few correspondents each, among
// fifteen thousand, and a body of forty lines.
QString writeMailbox(const QTemporaryDir &dir, qint64 size)
{
    const QString path = dir.filePath(QStringLiteral("year.mbox"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the mailbox");
    QByteArray body;
    for (int i = 0; i < 40; ++i)
        body += "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut.\n";
    for (qint64 written = 0, i = 0; written < size; ++i) {
        const QByteArray n = QByteArray::number(i % 5000);
        const QByteArray message = "From p" + n + "@x.org Mon Jan  1 00:00:00 2024\nFrom: =?UTF-8?Q?Person_" + n + "?= <p" + n
                                   + "@x.org>\nTo: \"Lee, Ann\" <ann@x.org>, f" + QByteArray::number(i * 7 % 5000)
                                   + "@y.org\nCc: Team <t" + QByteArray::number(i * 13 % 5000) + "@z.org>\nSubject: "
                                   + QByteArray::number(i) + "\n\n" + body + "\n";
        if (file.write(message) != message.size())
            qFatal("cannot write the mailbox");
        written += message.size();
    }
    return path;
}

// A thousand contacts dragged from an address book onto the input: from the
// drop until they stand there as named lines.
void benchDroppedContacts(TextArea *input)
{
    QByteArray cards;
    for (int i = 0; i < 1000; ++i)
        cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Lee\\, Ann " + QByteArray::number(i) + "\r\nN:Lee;Ann;;;\r\n"
                 "EMAIL;TYPE=INTERNET,HOME:ann" + QByteArray::number(i) + "@x.org\r\n"
                 "NOTE:a note long enough to be folded once at seventy-five octets as a vCard\r\n folds it\r\nEND:VCARD\r\n";
    QMimeData data;
    data.setData(QStringLiteral("text/x-vcard"), cards);
    input->setText(QString());
    const double ms = timed([&] {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(input->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(input->viewport(), &drop);
    });
    std::printf("1,000 contacts dropped:        %8.1f ms (%lld lines)\n", ms, static_cast<long long>(input->lineCount() - 1));
}

// Load File of a 256 MB mbox: until its correspondents stand in the input,
// and whether the progress showed meanwhile.
void benchMailboxLoad(const QTemporaryDir &dir, Form1 &form, TextArea *input)
{
    const QString mbox = writeMailbox(dir, qint64(256) << 20);
    form.commonDialog().setChooser([&](const CommonDialog::Request &) { return QStringList{mbox}; });
    const quint64 revision = input->revision();
    auto *panel = input->window()->findChild<ProgressPanel *>();
    bool shown = false;
    const double ms = timed([&] {
        QTest::mouseClick(form.findChild<PushButton *>(QStringLiteral("PushButton3")), Qt::LeftButton);
        while (input->revision() == revision) {
            shown = shown || (panel && panel->isVisible());
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
    });
    std::printf("Load File of a 256 MB mbox:    %8.1f ms (%lld correspondents, progress %s)\n", ms,
                static_cast<long long>(input->lineCount() - 1), shown ? "shown" : "not shown");
    QFile::remove(mbox);
}

// So many lines sorted through the window: how soon its progress shows, and
// how soon Escape stops it with the text as it was.
void benchLongTidying(TextArea *input, int count)
{
    input->setText(untidyLines(count));
    const quint64 revision = input->revision();
    auto *panel = input->window()->findChild<ProgressPanel *>();
    QMenu *menu = nullptr;
    std::printf("%d lines, the input's menu shown: %.1f ms\n", count, timed([&] { menu = openMenu(input); }));
    QElapsedTimer timer;
    timer.start();
    entry(menu, QStringLiteral("By Line"))->trigger();
    const double shown = timer.nsecsElapsed() / 1e6;
    int permille = 0;
    QElapsedTimer working;
    working.start();
    while (working.elapsed() < 1000 && panel->isVisible()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        permille = panel->findChild<QProgressBar *>()->value();
    }
    if (!panel->isVisible()) {
        std::printf("%d lines, Sort Lines: progress shown after %.1f ms, done %.0f ms later, before Escape\n", count,
                    shown, working.elapsed() / 1.0);
        QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
        return;
    }
    timer.restart();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    std::printf("%d lines, Sort Lines: progress shown after %.1f ms, %.1f%% after 1 s more; Escape: gone after %.1f ms, "
                "the text %s\n",
                count, shown, permille / 10.0, timer.nsecsElapsed() / 1e6,
                input->revision() == revision && !panel->isVisible() ? "as it was" : "CHANGED");
}

// A line of the mix the address features are measured on, as contact
// lists come: 70 % bare addresses, 20 % named ones (half of them To:
// headers with encoded names), 10 % rows of CSV exports or free text.
QString mixedLine(qint64 i)
{
    switch (i % 20) {
    case 14:
    case 15:
        return QStringLiteral("\"Some One %1\" <someone.%1@example.org>").arg(i);
    case 16:
    case 17:
        return QStringLiteral("To: =?UTF-8?Q?Zo=C3=AB_%1?= <zoe.%1@example.org>, \"Lee, Ann\" <ann.%1@x.org>").arg(i);
    case 18:
        return QStringLiteral("\"One, Some\",someone.%1@example.net,555-%1").arg(i);
    case 19:
        return QStringLiteral("Please write to (someone.%1@example.net) soon.").arg(i);
    default:
        return QStringLiteral("someone.%1@example.com").arg(i);
    }
}

QString messyAddresses(int count)
{
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines << mixedLine(i);
    return lines.join(QStringLiteral("\r\n"));
}

// A file of lines made by line(i), with LF line ends, written until it
// holds so many lines or so many bytes, whichever comes first.
QString writeLines(const QTemporaryDir &dir, const QString &name, qint64 count, qint64 bytes,
                   const std::function<QString(qint64)> &line)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    for (qint64 i = 0; i < count && file.size() < bytes;) {
        QByteArray block;
        for (const qint64 end = qMin(count, i + 100'000); i < end; ++i)
            block += line(i).toUtf8() + '\n';
        if (file.write(block) != block.size())
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

// Extract Addresses on so many messy lines through the window, beside grep
// -oE on the same lines; the menu with its not-an-address count; and
// removing the addresses a 100,000-line file lists.
void benchAddresses(const QTemporaryDir &dir, Form1 &form, TextArea *input, int count)
{
    const QString messy = messyAddresses(count);
    const QString path = writeWithLineFeeds(dir, QStringLiteral("messy.txt"), messy);
    // Into a file: writing to /dev/null, grep stops at the first match.
    const double grep = shell(QStringLiteral("env LC_ALL=C grep -oE '[[:alnum:]._%+-]+@[[:alnum:].-]+' '%1'").arg(path),
                              path + QStringLiteral(".found")).milliseconds;
    std::printf("%d lines of addresses, named ones, To: headers and text; LC_ALL=C grep -oE on them: %.1f ms\n", count, grep);
    input->setText(messy);
    QMenu *menu = nullptr;
    std::printf("  the input's menu shown:      %8.1f ms\n", timed([&] { menu = openMenu(input); }));
    std::printf("  its not-an-address count:    %8.1f ms after\n", untilShown(menu, QStringLiteral("not a")));
    QAction *extract = entry(menu, QStringLiteral("Extract Addresses"));
    menu->close();
    const double ms = timed([&] {
        extract->trigger();
        untilDone(input);
    });
    std::printf("  Extract Addresses:           %8.1f ms (%.2f x grep -oE)\n", ms, ms / grep);
    // Every tenth address of the list, in a file of its own.
    QByteArray listed;
    for (int i = 0; i < count; i += 10)
        listed += "Someone." + QByteArray::number(i) + "@Example.com\n";
    const QString listedPath = dir.filePath(QStringLiteral("listed.txt"));
    QFile listedFile(listedPath);
    if (!listedFile.open(QIODevice::WriteOnly) || listedFile.write(listed) < 0)
        qFatal("cannot write %s", qPrintable(listedPath));
    listedFile.close();
    form.commonDialog().setChooser([&](const CommonDialog::Request &) { return QStringList{listedPath}; });
    menu = openMenu(input);
    QAction *remove = entry(menu, QStringLiteral("Remove Addresses Listed in File"));
    menu->close();
    const qsizetype before = input->lineCount();
    const double removing = timed([&] {
        remove->trigger();
        untilDone(input);
    });
    std::printf("  Remove Addresses Listed in File (%d addresses): %.1f ms, %lld lines went\n", count / 10, removing,
                static_cast<long long>(before - input->lineCount()));
}
// The command line's options: finding addresses beside grep -oE, for each
// kind of line; duplicates and sorting on ten million lines beside sort;
// the time and most memory of each option on those lines; finding
// addresses in a gigabyte.
// --check --dns on 10,000 distinct domains against a name server of the
// bench's own on the loopback (dnsmasq), which says each does not exist.
void benchDomainLookup(const QTemporaryDir &dir)
{
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    const QString port = QStringLiteral("53%1").arg(QCoreApplication::applicationPid() % 90 + 10);
    server.start(QStringLiteral("dnsmasq"), {QStringLiteral("--keep-in-foreground"), QStringLiteral("--no-resolv"),
                                              QStringLiteral("--no-hosts"), QStringLiteral("--listen-address=127.0.0.1"),
                                              QStringLiteral("--bind-interfaces"), QStringLiteral("--log-facility=-"),
                                              QStringLiteral("--pid-file="), QStringLiteral("--port=") + port,
                                              QStringLiteral("--local=/com/"), QStringLiteral("--local=/de/"),
                                              QStringLiteral("--local=/org/")});
    QByteArray log;
    while (!log.contains("started") && server.waitForReadyRead(10'000))
        log += server.readAll();
    if (!log.contains("started")) {
        std::printf("--check --dns: no dnsmasq to ask (%s)\n", log.constData());
        return;
    }
    QByteArray lines;
    for (int i = 0; i < 10'000; ++i)
        lines += "x@d" + QByteArray::number(i) + (i % 3 == 0 ? ".com\n" : i % 3 == 1 ? ".de\n" : ".org\n");
    QFile list(dir.filePath(QStringLiteral("domains.txt")));
    list.open(QIODevice::WriteOnly);
    list.write(lines);
    list.close();
    qputenv("KESTRAVA_DNS_SERVER", "127.0.0.1:" + port.toLatin1());
    QProcess check;
    check.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    check.start(QStringLiteral(KESTRAVA_PROGRAM), {QStringLiteral("--check"), QStringLiteral("--dns"), list.fileName()});
    check.waitForFinished(-1);
    const double ms = timer.nsecsElapsed() / 1e6;
    const qsizetype told = check.readAllStandardError().count('\n');
    qunsetenv("KESTRAVA_DNS_SERVER");
    std::printf("--check --dns, 10,000 distinct domains against a local name server: %.0f ms, %lld told\n", ms,
                static_cast<long long>(told));
    server.kill();
    server.waitForFinished();
}

// Lists as sets: --only against --exclude of the same list, one mailbox
// counted once against --unique, and the order by domain against sort(1)
// by the same fields.
void benchListAlgebra(const QTemporaryDir &dir)
{
    const QString kestrava = QStringLiteral(KESTRAVA_PROGRAM);
    static const char *const domains[] = {"gmail.com", "Company.com", "mail.firm%1.co.uk", "firm%1.de", "outlook.com"};
    const auto addressAt = [](qint64 i) {
        const QString domain = QString::fromLatin1(domains[i % 5]);
        return QStringLiteral("Some.One+%1@").arg(i % 900'000) +
               (domain.contains(u'%') ? domain.arg(i % 5'000) : domain);
    };
    const QString million = writeLines(dir, QStringLiteral("million.txt"), 1'000'000, qint64(1) << 40, addressAt);
    const QString listed = writeLines(dir, QStringLiteral("listed100k.txt"), 100'000, qint64(1) << 40,
                                      [&](qint64 i) { return addressAt(i * 7); });
    const Measured exclude = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--exclude=") + listed, million});
    const Measured only = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--only=") + listed, million});
    std::printf("1M lines, a list of 100,000: --exclude %.0f ms, --only %.0f ms (%.2f x)\n", exclude.milliseconds,
                only.milliseconds, only.milliseconds / exclude.milliseconds);
    const QString tenMillion = writeLines(dir, QStringLiteral("tenmillion.txt"), 10'000'000, qint64(1) << 40, addressAt);
    const Measured unique = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--unique"), tenMillion});
    const Measured sameMailbox = measure(
        {kestrava, QStringLiteral("--join"), QStringLiteral("--unique"), QStringLiteral("--same-mailbox"), tenMillion});
    std::printf("10M lines: --unique %.0f ms, --unique --same-mailbox %.0f ms (%.2f x)\n", unique.milliseconds,
                sameMailbox.milliseconds, sameMailbox.milliseconds / unique.milliseconds);
    const Measured sortDomain = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--sort=domain"), tenMillion});
    const Measured sortFields = shell(QStringLiteral("env LC_ALL=C sort -t@ -k2,2f -k1,1f '%1'").arg(tenMillion));
    std::printf("  --sort=domain %.0f ms, at most %.0f MB; LC_ALL=C sort -t@ -k2,2f -k1,1f %.0f ms (%.2f x)\n",
                sortDomain.milliseconds, sortDomain.peakMegabytes, sortFields.milliseconds,
                sortDomain.milliseconds / sortFields.milliseconds);
    QFile::remove(million);
    QFile::remove(tenMillion);
}

void benchCommandLine(const QTemporaryDir &dir)
{
    const QString kestrava = QStringLiteral(KESTRAVA_PROGRAM);
    const QString found = dir.filePath(QStringLiteral("found.txt"));
    const QString mixed = writeLines(dir, QStringLiteral("mixed.txt"), 1'000'000, qint64(1) << 40, mixedLine);
    // Into a file: writing to /dev/null, grep stops at the first match.
    const Measured grep = shell(QStringLiteral("env LC_ALL=C grep -oE '[[:alnum:]._%+-]+@[[:alnum:].-]+' '%1'").arg(mixed), found);
    const Measured extract = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--extract"), mixed});
    std::printf("kestrava --join --extract, 1M mixed lines: %.0f ms, %.0f ms of processor time (%.2f x LC_ALL=C grep -oE, "
                "%.0f ms), at most %.0f MB\n",
                extract.milliseconds, extract.cpuMilliseconds, extract.cpuMilliseconds / grep.cpuMilliseconds,
                grep.cpuMilliseconds, extract.peakMegabytes);
    std::printf("  1M lines of one kind, processor time:");
    const std::pair<const char *, int> kinds[] = {{"bare", 0}, {"named", 14}, {"To: headers", 16}, {"CSV", 18}, {"text", 19}};
    for (const auto &[kind, offset] : kinds) {
        const QString path = writeLines(dir, QStringLiteral("kind.txt"), 1'000'000, qint64(1) << 40,
                                        [offset = offset](qint64 i) { return mixedLine(i / 20 * 20 + offset); });
        std::printf(" %s %.0f ms%s", kind,
                    measure({kestrava, QStringLiteral("--join"), QStringLiteral("--extract"), path}).cpuMilliseconds,
                    offset == 19 ? "\n" : ",");
    }

    // Warnings on a list of real-looking domains, a few of them mistyped.
    const QString real = writeLines(dir, QStringLiteral("real.txt"), 1'000'000, qint64(1) << 40, [](qint64 i) {
        static const char *const suffixes[] = {"com", "de", "co.uk", "org", "fr", "net", "it", "nl"};
        const QString domain = i % 200 == 0 ? QStringLiteral("gmial.com")
                               : i % 20 == 0 ? QStringLiteral("gmail.com")
                                             : QStringLiteral("firm%1.%2").arg(i % 5'000).arg(QLatin1String(suffixes[i % 8]));
        return (i % 10 == 3 ? QStringLiteral("Person %1 <person.%1@%2>") : QStringLiteral("person.%1@%2")).arg(i).arg(domain);
    });
    const Measured checked = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--check"), QStringLiteral("--no-warnings"), real});
    const Measured warned = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--check"), real});
    std::printf("kestrava --join --check, 1M real-looking lines (5,000 typos): %.0f ms, with warnings %.0f ms (%.2f x), "
                "%.0f and %.0f ms of processor time\n",
                checked.milliseconds, warned.milliseconds, warned.milliseconds / checked.milliseconds, checked.cpuMilliseconds,
                warned.cpuMilliseconds);
    QFile::remove(real);

    const QString untidy = writeLines(dir, QStringLiteral("untidy.txt"), 10'000'000, qint64(1) << 40, [](qint64 i) {
        return i % 10 == 9 ? QString() : QStringLiteral(" Someone.%1@Company.com").arg(i % 9'000'000);
    });
    const qint64 size = QFileInfo(untidy).size();
    QByteArray listed;
    for (int i = 0; i < 9'000'000; i += 100)
        listed += "someone." + QByteArray::number(i) + "@company.com\n";
    const QString listedPath = dir.filePath(QStringLiteral("listed.txt"));
    QFile listedFile(listedPath);
    if (!listedFile.open(QIODevice::WriteOnly) || listedFile.write(listed) < 0)
        qFatal("cannot write %s", qPrintable(listedPath));
    listedFile.close();
    const Measured sortUnique = shell(QStringLiteral("env LC_ALL=C sort -u -f '%1'").arg(untidy));
    const Measured sortStable = shell(QStringLiteral("env LC_ALL=C sort -s -f '%1'").arg(untidy));
    std::printf("10M lines (%.0f MB, a tenth empty, 9M addresses once, 1M again): LC_ALL=C sort -u -f %.0f ms, %.0f ms of "
                "processor time, %.0f MB; sort -s -f %.0f ms, %.0f ms, %.0f MB\n",
                size / 1e6, sortUnique.milliseconds, sortUnique.cpuMilliseconds, sortUnique.peakMegabytes,
                sortStable.milliseconds, sortStable.cpuMilliseconds, sortStable.peakMegabytes);
    const QString exclude = QStringLiteral("--exclude=") + listedPath;
    const QList<QStringList> options = {
        {},
        {QStringLiteral("--skip-empty")},
        {QStringLiteral("--trim")},
        {QStringLiteral("--check")},
        {QStringLiteral("--extract")},
        {exclude},
        {QStringLiteral("--trim"), QStringLiteral("--skip-empty"), QStringLiteral("--check"), exclude},
        {QStringLiteral("--unique")},
        {QStringLiteral("--sort")},
    };
    double plain = 0;
    for (const QStringList &option : options) {
        const Measured run = measure(QStringList{kestrava, QStringLiteral("--join")} + option + QStringList{untidy});
        plain = option.isEmpty() ? run.milliseconds : plain;
        QString shown = option.join(u' ');
        shown.replace(exclude, QStringLiteral("--exclude (90,000 addresses)"));
        std::printf("  --join %-52s %6.0f ms (%.2f x --join), %6.0f ms of processor time, at most %5.0f MB (%.2f x the list)\n",
                    qPrintable(shown), run.milliseconds, run.milliseconds / plain, run.cpuMilliseconds, run.peakMegabytes,
                    run.peakMegabytes * 1e6 / size);
        if (option.size() == 1 && option[0] == u"--unique")
            std::printf("    --unique: %.2f x the processor time of sort -u -f\n", run.cpuMilliseconds / sortUnique.cpuMilliseconds);
        if (option.size() == 1 && option[0] == u"--sort")
            std::printf("    --sort: %.2f x the time of sort -s -f, %.2f x its processor time\n",
                        run.milliseconds / sortStable.milliseconds, run.cpuMilliseconds / sortStable.cpuMilliseconds);
    }
    QFile::remove(untidy);

    // 100 MB of delivery status notifications, each with its returned message.
    const QString bounces = dir.filePath(QStringLiteral("bounces.mbox"));
    {
        QFile file(bounces);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the bounces");
        const QByteArray returned = QByteArray("Lorem ipsum dolor sit amet, consectetur adipiscing elit.\n").repeated(40);
        for (int i = 0; file.size() < 100'000'000; ++i) {
            const QByteArray address = "user" + QByteArray::number(i) + "@d" + QByteArray::number(i % 500) + ".example";
            file.write("From MAILER-DAEMON Thu Jan  1 00:00:00 2026\nFrom: MAILER-DAEMON@mx.example\nTo: owner@list.example\n"
                       "Content-Type: multipart/report; report-type=delivery-status; boundary=\"b\"\n\n--b\n"
                       "Content-Type: text/plain\n\nNot delivered.\n--b\nContent-Type: message/delivery-status\n\n"
                       "Reporting-MTA: dns; mx.example\n\nFinal-Recipient: rfc822; " + address
                       + "\nAction: failed\nStatus: 5.1.1\n\n--b\nContent-Type: message/rfc822\n\nFrom: owner@list.example\n"
                         "To: " + address + "\n\n" + returned + "--b--\n\n");
        }
    }
    const Measured bounced = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--bounced"), bounces});
    std::printf("kestrava --join --bounced, a 100 MB mbox of bounces: %.0f ms, at most %.0f MB\n", bounced.milliseconds,
                bounced.peakMegabytes);
    QFile::remove(bounces);

    if (qEnvironmentVariableIsSet("KESTRAVA_BENCH_NO_GIB"))
        return;
    const QString gigabyte = writeLines(dir, QStringLiteral("gigabyte.txt"), qint64(1) << 40, qint64(1) << 30, mixedLine);
    const Measured large = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--extract"), gigabyte});
    std::printf("kestrava --join --extract, 1 GiB of mixed lines: %.0f ms, at most %.0f MB\n", large.milliseconds,
                large.peakMegabytes);
    QFile::remove(gigabyte);
    const QString mbox = writeMailbox(dir, qint64(1) << 30);
    const Measured mail = measure({kestrava, QStringLiteral("--join"), QStringLiteral("--extract"), mbox});
    std::printf("kestrava --join --extract, a 1 GiB mbox: %.0f ms, at most %.0f MB\n", mail.milliseconds,
                mail.peakMegabytes);
    QFile::remove(mbox);
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
    // Every batch's message: a To, a subject and a body of 2 kB, answered
    // as the user would at the first batch written.
    form.fieldsDialogs().setAnswerer([](QDialog &dialog) {
        dialog.findChild<QLineEdit *>(QStringLiteral("to"))->setText(QStringLiteral("Me <me@example.com>"));
        dialog.findChild<QLineEdit *>(QStringLiteral("subject"))->setText(QStringLiteral("News for the spring, and more"));
        dialog.findChild<QPlainTextEdit *>(QStringLiteral("body"))
            ->setPlainText(QStringLiteral("Dear reader, here is what is new this month.\n").repeated(45));
        return true;
    });
    const auto click = [&](const char *name) {
        QTest::mouseClick(form.findChild<PushButton *>(QLatin1String(name)), Qt::LeftButton);
    };

    std::printf("%d files of %d addresses, %.1f MB\n", files, linesPerFile, size / 1e6);
    std::printf("Load File:                     %8.1f ms\n", timed([&] { click("PushButton3"); }));
    {
        // The same lists with the line ends of Linux programs.
        qint64 lfSize = 0;
        const QStringList lfPaths = writeLists(dir, files, linesPerFile, &lfSize, "\n");
        form.commonDialog().setChooser([&](const CommonDialog::Request &) { return lfPaths; });
        std::printf("Load File, LF line ends:       %8.1f ms\n", timed([&] { click("PushButton3"); }));
        form.commonDialog().setChooser([&](const CommonDialog::Request &request) {
            return request.save ? QStringList{saved} : paths;
        });
        click("PushButton3");
    }
    const double join = timed([&] { click("PushButton17"); });
    std::printf("Start Joining:                 %8.1f ms\n", join);
    benchComposer(dir, output);
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
    // Sort Lines on the million loaded, as a user would: the input's menu,
    // its counts read, then the entry; the peak memory after it too.
    auto *input = form.findChild<TextArea *>(QStringLiteral("Text1"));
    QMenu *inputMenu = openMenu(input);
    untilShown(inputMenu, QStringLiteral(" lines: "));
    QAction *byLine = entry(inputMenu, QStringLiteral("By Line"));
    inputMenu->close();
    std::printf("Sort Lines on them:            %8.1f ms\n", timed([&] {
                    byLine->trigger();
                    untilDone(input);
                }));
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory after Sort Lines:  %8.1f MB (%.1f x the files), %.1f MB held\n", usage.ru_maxrss / 1e3,
                usage.ru_maxrss * 1e3 / size, memoryStatus("VmRSS"));
    // Undo brings the order back, and redo the sorted one.
    std::printf("Undo of Sort Lines:            %8.1f ms\n",
                timed([&] { QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier); }));
    std::printf("Redo of it:                    %8.1f ms, %.1f MB held\n",
                timed([&] { QTest::keyClick(input, Qt::Key_Y, Qt::ControlModifier); }), memoryStatus("VmRSS"));
    benchAgainstPaste(paths, click);
    if (qEnvironmentVariableIsSet("KESTRAVA_BENCH_WINDOW_ONLY"))
        return 0;

    // The text areas on their own: a million lines, one line of thirty
    // million characters, and a screenful of text that needs shaping.
    QStringList lines;
    for (int i = 0; i < 1'000'000; ++i)
        lines << QStringLiteral("someone.%1@example.com").arg(i);
    const QString million = lines.join(QStringLiteral("\r\n"));
    benchDroppedContacts(input);
    benchMailboxLoad(dir, form, input);
    std::printf("1M lines set and painted:      %8.1f ms\n", timed([&] {
                    input->setText(million);
                    input->viewport()->repaint();
                }));
    benchTidying(dir, input, 1'000'000);
    benchAddresses(dir, form, input, 1'000'000);
    if (!qEnvironmentVariableIsSet("KESTRAVA_BENCH_NO_10M"))
        benchLongTidying(input, 10'000'000);
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

    // --join and paste on a large list with LF line ends.
    const qint64 megabytes = qEnvironmentVariableIntValue("KESTRAVA_BENCH_LARGE_MB") > 0
                                 ? qEnvironmentVariableIntValue("KESTRAVA_BENCH_LARGE_MB")
                                 : 386;
    const QString large = writeLargeList(dir, megabytes);
    const Measured largeJoin = measure({QStringLiteral(KESTRAVA_PROGRAM), QStringLiteral("--join"), large});
    const Measured largePaste = measure({QStringLiteral("sh"), QStringLiteral("-c"),
                                         QStringLiteral("tr -d '\\r' < '%1' | paste -sd, -").arg(large)});
    std::printf("a %lld MB list with LF line ends:\n", megabytes);
    std::printf("  kestrava --join:             %8.1f ms, peak memory %.1f MB\n", largeJoin.milliseconds,
                largeJoin.peakMegabytes);
    std::printf("  tr -d '\\r' | paste -sd, -:   %8.1f ms (--join takes %.2f x as long)\n",
                largePaste.milliseconds, largeJoin.milliseconds / largePaste.milliseconds);

    benchCommandLine(dir);
    benchListAlgebra(dir);
    benchDomainLookup(dir);

    // One item per line, and one empty line after each file's final CR LF.
    return QFile(saved).size() == size - files * linesPerFile - 1 ? 0 : 1;
}
