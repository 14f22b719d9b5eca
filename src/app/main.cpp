#include "Version.h"
#include "app/CommandLine.h"
#include "app/JoinCommand.h"
#include "app/StandardStreams.h"
#include "form/Form1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>

namespace {

void nameTheApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("kestrava"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
}

// Help or the version on standard output; a write that fails is told.
int printed(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kestrava: write error: %s\n", std::strerror(errno));
        return ExitStatus::trouble;
    }
    return 0;
}

// --help, --version and --join need no display. Help names the program as
// it is called, not by the path it was started from.
int runWithoutWindow(int argc, char *argv[])
{
    static char name[] = "kestrava";
    if (argc > 0)
        argv[0] = name;
    QCoreApplication app(argc, argv);
    nameTheApplication();
    QCommandLineParser parser;
    describeOptions(parser);
    parser.parse(withOptionValues(QCoreApplication::arguments()));
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return printed(helpText(parser));
    if (parser.isSet(QStringLiteral("version")))
        return printed(QStringLiteral("kestrava %1\n").arg(QStringLiteral(KESTRAVA_VERSION)));
    if (bouncedOf(parser))
        return listBounced(parser.positionalArguments(), reportPathOf(parser));
    MailtoLinks::Message message;
    if (!readMessage(parser, message))
        return ExitStatus::trouble;
    return joinToStandardOutput(parser.positionalArguments(), joinOptionsOf(parser), composeOf(parser),
                                reportPathOf(parser), fromRecipientOf(parser), message);
}

int runWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    nameTheApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.Kestrava"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);

    Form1 form;
    form.Form_Load();
    form.showCentred();
    QStringList files;
    for (const QString &file : parser.positionalArguments())
        files << QDir::current().absoluteFilePath(file);
    // The window shows first; the files load while it is on screen.
    if (!files.isEmpty())
        QTimer::singleShot(0, &form, [&form, files] { form.openFiles(files); });
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // First of all, so that nothing opened later takes the place of a
    // closed standard input or output.
    secureStandardStreams();
    // A write past the file-size limit then fails with "File too large" and
    // is reported, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const Request request = readArguments(argc, argv);
    switch (request.kind) {
    case Request::Wrong:
        std::fprintf(stderr, "kestrava: %s\nTry 'kestrava --help' for more information.\n", qPrintable(request.error));
        return ExitStatus::trouble;
    case Request::NoWindow:
        return runWithoutWindow(argc, argv);
    case Request::Window:
        break;
    }
    return runWindow(argc, argv);
}
