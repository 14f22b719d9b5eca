#pragma once

#include <QString>

#include <chrono>

// Opens the desktop's mail composer on a mailto: link through xdg-email,
// which finds the user's mail program. A composer still open after a
// moment has started (some mail programs keep xdg-email waiting until the
// message is sent); one that ends at once has failed unless it ended well,
// and what it said on its standard error is the message.
class MailComposer
{
public:
    struct Result
    {
        bool started = false;
        QString message; // why not, in the words of xdg-email or the mail program
    };

    Result open(const QString &link) const;

    // How long a composer is waited for before it counts as started.
    void setPatience(std::chrono::milliseconds patience) { m_patience = patience; }

private:
    std::chrono::milliseconds m_patience{2000};
};
