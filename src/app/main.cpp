#include "Version.h"
#include "app/CommandLine.h"
#include "form/Form1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <csignal>

namespace {

void nameTheApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("kestrava"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
}

// --help, --version and --join need no display.
int runWithoutWindow(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    nameTheApplication();
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    return joinToStandardOutput(parser.positionalArguments());
}

} // namespace

int main(int argc, char *argv[])
{
    // A write past the file-size limit then fails with "File too large" and
    // is reported, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (wantsNoWindow(argc, argv))
        return runWithoutWindow(argc, argv);

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
    if (!files.isEmpty())
        form.openFiles(files);
    return app.exec();
}
