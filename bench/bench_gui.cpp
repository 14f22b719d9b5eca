// Times the window's work on large lists: setting a million lines, joining
// them and reading the result back. Run: build/bench/bench_gui [lines]
#include "app/Form1.h"
#include "platform/PushButton.h"
#include "platform/TextArea.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? QByteArray(argv[1]).toInt() : 1'000'000;

    Form1 form;
    form.Form_Load();
    form.showCentred();
    auto *input = form.findChild<TextArea *>(QStringLiteral("Text1"));
    auto *output = form.findChild<TextArea *>(QStringLiteral("Text2"));

    QStringList items;
    for (int i = 0; i < lines; ++i)
        items << QStringLiteral("someone.%1@example.com").arg(i);
    const QString list = items.join(QStringLiteral("\r\n"));

    QElapsedTimer timer;
    timer.start();
    input->setText(list);
    QCoreApplication::processEvents();
    std::printf("set %d lines into the input: %lld ms\n", lines, timer.restart());
    QTest::mouseClick(form.findChild<PushButton *>(QStringLiteral("PushButton17")), Qt::LeftButton);
    QCoreApplication::processEvents();
    std::printf("Start Joining: %lld ms\n", timer.restart());
    const qsizetype joined = output->text().size();
    std::printf("read the output back (%lld characters): %lld ms\n", static_cast<long long>(joined), timer.restart());
    return joined == items.join(u',').size() ? 0 : 1;
}
