#pragma once

#include "addresses/MailtoLinks.h"

#include <QByteArrayView>

// --compose: each batch line of --join --batch goes to the desktop's mail
// composer (through xdg-email), in Bcc or To, in as many messages as its
// links need. Between batches, when standard input is a terminal, the user
// presses Enter for the next; end of input there stops. A composer that
// fails is told on standard error and ends the composing.
class BatchComposer
{
public:
    explicit BatchComposer(MailtoLinks::Field field) : m_field(field) {}

    void take(QByteArrayView line);
    bool failed() const { return m_failed; }

private:
    bool waitForTheUser();

    MailtoLinks::Field m_field;
    qsizetype m_batches = 0;
    qsizetype m_recipients = 0;
    bool m_stopped = false;
    bool m_failed = false;
};
