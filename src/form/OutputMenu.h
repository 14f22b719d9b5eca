#pragma once

#include "addresses/MailtoLinks.h"
#include "addresses/Recipients.h"
#include "core/ListWork.h"
#include "join/Separators.h"

#include <QList>
#include <QStringList>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QMenu;
class TextArea;

// What the output's menu offers beyond editing: copying the joined line a
// batch of recipients at a time, for mail services that take only so many,
// or opening the mail program's composer with a batch in Bcc (or To). Each
// batch follows the last, copied or written to, until the end or a change
// of the output. The menu shows at once; the recipients of a long line are
// counted on a thread of their own, and the batch entries follow.
class OutputMenu : public QObject
{
    Q_OBJECT

public:
    // What the menu asks of the window.
    struct Services
    {
        // Should an entry run out of memory, it changes nothing and this
        // tells the user.
        std::function<void()> outOfMemory;
        // Opens a composer on a mailto: link; answers whether it started
        // (when not, it has told the user why, and then what handedOver
        // says, if anything).
        std::function<bool(const QString &link, const QString &handedOver)> compose;
        // Places a text on the clipboard; answers whether it did (when not,
        // it has told the user).
        std::function<bool(const QString &text)> copy;
        // Asks for the To, subject and body every batch's message carries,
        // starting from the last ones; nothing when cancelled.
        std::function<std::optional<MailtoLinks::Message>(const MailtoLinks::Message &last)> askMessage;
        // Asks for a batch size of 1 to 10,000; nothing when cancelled (or
        // not such a size, which it has told).
        std::function<std::optional<qsizetype>()> askSize;
    };

    OutputMenu(TextArea &output, Services services);

    // The entries copy these many recipients, and the size last asked for.
    static constexpr qsizetype batchSizes[] = {50, 100, 500};

    // What Start Joining puts between the lines, and what the recipients of
    // the output lie between: the user's choice, remembered across starts.
    Separators::Kind separator() const { return m_separator; }

    // How long the menu may wait for the recipients before it shows without
    // its batch entries, which follow.
    void setCountingPatience(std::chrono::milliseconds patience) { m_countingPatience = patience; }

private:
    struct Counting;

    void addEntries(QMenu *menu);
    void addSeparatorEntries(QMenu *menu);
    void startCounting();
    void takeCounted();
    void fillBatches();
    void fillBatches(QMenu *menu, bool writing);
    QStringList nextBatch(qsizetype size) const;
    void takeBatch(qsizetype size);
    void copyNextBatch(qsizetype size);
    void writeToNextBatch(qsizetype size);
    qsizetype nextBatchStart() const;

    QList<qsizetype> sizes() const;
    void chooseOtherSize(bool writing);
    bool knowTheMessage();
    qsizetype listRecipientsOf(qsizetype size, bool writing) const;

    TextArea &m_output;
    Services m_services;
    // The message every batch carries, asked once for each output.
    MailtoLinks::Message m_message;
    quint64 m_messageRevision = ~quint64(0);
    bool m_writeToTo = false; // the recipients go in To rather than Bcc
    Separators::Kind m_separator;
    // The recipients of the output's text, once counted, and which text.
    Recipients::Places m_recipients;
    quint64 m_recipientsRevision = ~quint64(0);
    // The batch after the last one copied, and which text it was taken from.
    qsizetype m_batchEnd = 0;
    quint64 m_batchRevision = 0;

    ListWork m_countingWork;
    std::shared_ptr<Counting> m_counting;
    std::chrono::milliseconds m_countingPatience{20};
    QPointer<QMenu> m_batches; // the entries' submenus on show: copying
    QPointer<QMenu> m_writes;  // and writing
};
