#include "app/BatchComposer.h"

#include "addresses/Recipients.h"
#include "platform/MailComposer.h"

#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

// "recipient 4", "recipients 4-6", "batches 2-3".
QByteArray span(const char *one, const char *many, qsizetype first, qsizetype last)
{
    return first == last ? QByteArray(one) + ' ' + QByteArray::number(first)
                         : QByteArray(many) + ' ' + QByteArray::number(first) + '-' + QByteArray::number(last);
}

QByteArray recipients(qsizetype first, qsizetype last)
{
    return span("recipient", "recipients", first, last);
}

} // namespace

void BatchComposer::take(QByteArrayView line)
{
    const QString text = QString::fromUtf8(line);
    QStringList batch;
    for (const auto &[start, end] : Recipients::in(text))
        batch << text.sliced(start, end - start);
    if (batch.isEmpty())
        return;
    ++m_batches;
    const qsizetype first = qMax(m_recipients + 1, m_from);
    m_recipients += batch.size();
    if (m_stoppedAt > 0 || m_recipients < first)
        return;
    batch = batch.sliced(batch.size() - (m_recipients - first + 1));
    if (m_opened > 0 && !waitForTheUser()) {
        stopAt(first);
        return;
    }
    qsizetype handed = 0;
    for (const QString &link : MailtoLinks::of(batch, m_field, MailtoLinks::longestArgument, m_message)) {
        const MailComposer::Result result = MailComposer().open(link);
        if (!result.started) {
            std::fprintf(stderr, "kestrava: the mail program could not be opened: %s\n", qPrintable(result.message));
            if (handed > 0)
                std::fprintf(stderr, "kestrava: batch %lld: %s\n", static_cast<long long>(m_batches),
                             recipients(first, first + handed - 1).constData());
            m_failed = true;
            stopAt(first + handed);
            return;
        }
        handed += MailtoLinks::recipientsIn(link);
    }
    ++m_opened;
    std::fprintf(stderr, "kestrava: batch %lld: %s\n", static_cast<long long>(m_batches),
                 recipients(first, m_recipients).constData());
}

void BatchComposer::stopAt(qsizetype recipient)
{
    m_stoppedAt = recipient;
    m_stoppedBatch = m_batches;
}

void BatchComposer::finish()
{
    if (m_stoppedAt == 0)
        return;
    std::fprintf(stderr, "kestrava: %s (%s) not written%s; go on with --from-recipient=%lld\n",
                 recipients(m_stoppedAt, m_recipients).constData(),
                 span("batch", "batches", m_stoppedBatch, m_batches).constData(),
                 m_noTerminal ? ": without a terminal to wait at, one batch is written at a time" : "",
                 static_cast<long long>(m_stoppedAt));
}

// Only a terminal is asked; a pipe or file on standard input holds no
// answers (it may hold the list).
bool BatchComposer::waitForTheUser()
{
    if (!isatty(STDIN_FILENO)) {
        m_noTerminal = true;
        return false;
    }
    std::fprintf(stderr, "kestrava: press Enter for the next batch, or Ctrl+D to stop: ");
    std::fflush(stderr);
    for (int c = std::getchar(); c != '\n'; c = std::getchar())
        if (c == EOF) {
            std::fputc('\n', stderr);
            return false;
        }
    return true;
}
