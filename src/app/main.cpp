#include "app/Form1.h"
#include "Version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
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
