#include "app/CommandLine.h"

#include "core/Failure.h"
#include "core/LineBreaks.h"
#include "join/LineJoiner.h"
#include "listfiles/TextFiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

const QString joinOption = QStringLiteral("join");

std::optional<QString> readSource(const QString &path)
{
    if (path != u"-")
        return readListFile(path);
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw Failure(input.errorString());
    const QByteArray bytes = input.readAll();
    if (input.error() != QFileDevice::NoError)
        throw Failure(input.errorString());
    return listFileText(bytes);
}

// Writes a file's part of the joined line a block at a time. Every block ends
// just after a line break, so that joining it alone gives its part.
void writeJoined(QStringView text)
{
    constexpr qsizetype blockLength = 1 << 20;
    for (qsizetype from = 0; from < text.size();) {
        qsizetype end = text.size();
        if (from + blockLength < text.size()) {
            const qsizetype last = text.lastIndexOf(u"\r\n", from + blockLength);
            const qsizetype next = last >= from ? last : text.indexOf(u"\r\n", from + blockLength);
            end = next < 0 ? text.size() : next + 2;
        }
        const QByteArray part = LineJoiner::join(text.sliced(from, end - from)).toUtf8();
        std::fwrite(part.constData(), 1, size_t(part.size()), stdout);
        from = end;
    }
}

void complain(const QString &path, const QString &description)
{
    std::fprintf(stderr, "kestrava: %s: %s\n", qPrintable(path), qPrintable(description));
}

} // namespace

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Joins lists of items, one per line, into one comma-delimited line.\n"
                       "Without --join, opens the window with the files loaded into the input."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({joinOption, QStringLiteral("Print the joined line of the files to standard output; "
                                                 "no file, or -, reads standard input.")});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("List files to load."),
                                 QStringLiteral("[FILE...]"));
}

bool wantsNoWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            return false;
        for (const char *option : {"--join", "-h", "--help", "--help-all", "-?", "-v", "--version"})
            if (std::strcmp(argument, option) == 0)
                return true;
    }
    return false;
}

// Each file's text ends in CR LF, so its part of the joined line does not
// depend on what follows: the line is written file by file as it is made.
int joinToStandardOutput(const QStringList &files)
{
    int status = 0;
    for (const QString &path : files.isEmpty() ? QStringList{QStringLiteral("-")} : files) {
        std::optional<QString> content;
        QString trouble = QStringLiteral("File not found");
        try {
            content = readSource(path);
        } catch (const Failure &failure) {
            trouble = failure.description();
        } catch (const std::bad_alloc &) {
            trouble = QStringLiteral("Out of memory");
        }
        if (!content) {
            complain(path, trouble);
            status = 1;
            continue;
        }
        writeJoined(withCrLfLineBreaks(linesWithBreaks(*std::move(content))));
    }
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? status : 1;
}
