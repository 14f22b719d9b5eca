// Times the window's work on large lists: loading ten files of 100,000 lines
// each, joining a million lines and reading the result back.
// Run: build/bench/bench_gui [lines per file] [files]
#include "app/Form1.h"
#include "platform/PushButton.h"
#include "platform/TextArea.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int linesPerFile = argc > 1 ? QByteArray(argv[1]).toInt() : 100'000;
    const int files = argc > 2 ? QByteArray(argv[2]).toInt() : 10;

    QTemporaryDir dir;
    QStringList paths;
    for (int f = 0; f < files; ++f) {
        QByteArray bytes;
        for (int i = 0; i < linesPerFile; ++i)
            bytes += "someone." + QByteArray::number(f) + '.' + QByteArray::number(i) + "@example.com\r\n";
        paths << dir.filePath(QStringLiteral("list%1.txt").arg(f));
        QFile file(paths.last());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 2;
    }

    Form1 form;
    form.homePageOpener().setProcessStarter([](const QString &, const QStringList &) { return true; });
    form.Form_Load();
    form.showCentred();
    form.commonDialog().setChooser([&](const CommonDialog::Request &) { return paths; });
    auto *output = form.findChild<TextArea *>(QStringLiteral("Text2"));

    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(form.findChild<PushButton *>(QStringLiteral("PushButton3")), Qt::LeftButton);
    QCoreApplication::processEvents();
    std::printf("Load File, %d files of %d lines: %lld ms\n", files, linesPerFile, timer.restart());
    const qsizetype inputSize = form.findChild<TextArea *>(QStringLiteral("Text1"))->text().size();
    std::printf("read the input back (%lld characters): %lld ms\n", static_cast<long long>(inputSize),
                timer.restart());
    QTest::mouseClick(form.findChild<PushButton *>(QStringLiteral("PushButton17")), Qt::LeftButton);
    QCoreApplication::processEvents();
    std::printf("Start Joining: %lld ms\n", timer.restart());
    const QString joined = output->text();
    std::printf("read the output back (%lld characters): %lld ms\n", static_cast<long long>(joined.size()),
                timer.restart());
    // One item per line, and one empty line after each file's final CR LF.
    return joined.count(u',') == files * (linesPerFile + 1) ? 0 : 1;
}
