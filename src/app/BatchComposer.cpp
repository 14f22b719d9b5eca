#include "app/BatchComposer.h"

#include "addresses/Recipients.h"
#include "platform/MailComposer.h"

#include <QStringList>

#include <cstdio>
#include <unistd.h>

void BatchComposer::take(QByteArrayView line)
{
    if (m_stopped)
        return;
    const QString text = QString::fromUtf8(line);
    QStringList recipients;
    for (const auto &[start, end] : Recipients::in(text))
        recipients << text.sliced(start, end - start);
    if (recipients.isEmpty())
        return;
    if (m_batches > 0 && !waitForTheUser()) {
        m_stopped = true;
        return;
    }
    for (const QString &link : MailtoLinks::of(recipients, m_field)) {
        const MailComposer::Result result = MailComposer().open(link);
        if (!result.started) {
            std::fprintf(stderr, "kestrava: the mail program could not be opened: %s\n", qPrintable(result.message));
            m_stopped = m_failed = true;
            return;
        }
    }
    ++m_batches;
    std::fprintf(stderr, "kestrava: batch %lld: recipients %lld-%lld\n", static_cast<long long>(m_batches),
                 static_cast<long long>(m_recipients + 1), static_cast<long long>(m_recipients + recipients.size()));
    m_recipients += recipients.size();
}

// Only a terminal is asked; a pipe or file on standard input holds no
// answers (it may hold the list).
bool BatchComposer::waitForTheUser()
{
    if (!isatty(STDIN_FILENO))
        return true;
    std::fprintf(stderr, "kestrava: press Enter for the next batch, or Ctrl+D to stop: ");
    std::fflush(stderr);
    for (int c = std::getchar(); c != '\n'; c = std::getchar())
        if (c == EOF)
            return false;
    return true;
}
