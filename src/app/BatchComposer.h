#pragma once

#include "addresses/MailtoLinks.h"

#include <QByteArrayView>

#include <utility>

// --compose: each batch line of --join --batch goes to the desktop's mail
// composer (through xdg-email), in Bcc or To, in as many messages as its
// links need. The first batch opens at once; when standard input is a
// terminal, the user presses Enter for each next one, and Ctrl+D there
// stops. Without a terminal to wait at, only the first batch is written.
// Recipients are numbered through the whole list; those before
// fromRecipient are passed over, so that a run can go on where another
// stopped. Where composing stops short (a composer that fails, Ctrl+D, no
// terminal), the recipients not handed over are told on standard error,
// with the option that goes on from the first of them.
class BatchComposer
{
public:
    // Every message carries the message's To, subject and body.
    explicit BatchComposer(MailtoLinks::Field field, qsizetype fromRecipient = 1, MailtoLinks::Message message = {})
        : m_field(field), m_from(fromRecipient), m_message(std::move(message))
    {
    }

    void take(QByteArrayView line);
    // After the last batch: tells what was not written, if anything.
    void finish();
    bool failed() const { return m_failed; }

private:
    bool waitForTheUser();
    void stopAt(qsizetype recipient);

    MailtoLinks::Field m_field;
    qsizetype m_from;
    MailtoLinks::Message m_message;
    qsizetype m_batches = 0;    // batches taken, written or not
    qsizetype m_recipients = 0; // recipients taken, written or not
    qsizetype m_opened = 0;     // batches written in this run
    // Where composing stopped: the first recipient not handed over and
    // its batch; 0 while it goes on.
    qsizetype m_stoppedAt = 0;
    qsizetype m_stoppedBatch = 0;
    bool m_noTerminal = false;
    bool m_failed = false;
};
