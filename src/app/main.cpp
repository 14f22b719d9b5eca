#include "form/Form1.h"
#include "Version.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A write past the file-size limit then fails with "File too large" and
    // is reported, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrava"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.Kestrava"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    Form1 form;
    form.Form_Load();
    form.showCentred();
    return app.exec();
}
