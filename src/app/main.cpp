#include "app/Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    Form1 form;
    form.Form_Load();
    form.showCentred();
    return app.exec();
}
