#include "platform/MailComposer.h"

#include <QProcess>

#include <cstring>

namespace {

constexpr qsizetype longestMessage = 300;

// The last line the program wrote on its standard error, shortened: it may
// repeat the whole link.
QString lastLineOf(const QByteArray &errors)
{
    const QString text = QString::fromLocal8Bit(errors).trimmed();
    QString line = text.sliced(text.lastIndexOf(u'\n') + 1);
    if (line.size() > longestMessage)
        line = line.first(longestMessage) + u'\u2026';
    return line;
}

} // namespace

MailComposer::Result MailComposer::open(const QString &link) const
{
    // Not deleted while it runs: deleting a process kills it. It deletes
    // itself once it ends, where an event loop runs.
    auto *process = new QProcess;
    process->setProgram(QStringLiteral("xdg-email"));
    process->setArguments({link});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted()) {
        const QString message = QStringLiteral("xdg-email: ") + process->errorString();
        delete process;
        return {false, message};
    }
    if (!process->waitForFinished(int(m_patience.count()))) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return {true, {}};
    }
    const bool killed = process->exitStatus() == QProcess::CrashExit;
    const bool ended = !killed && process->exitCode() == 0;
    Result result{ended, ended ? QString() : lastLineOf(process->readAllStandardError())};
    if (!ended && result.message.isEmpty())
        result.message = killed ? QStringLiteral("xdg-email was killed by signal %1 (%2)")
                                      .arg(process->exitCode())
                                      .arg(QString::fromLocal8Bit(::strsignal(process->exitCode())))
                                : QStringLiteral("xdg-email ended with status %1").arg(process->exitCode());
    delete process;
    return result;
}
