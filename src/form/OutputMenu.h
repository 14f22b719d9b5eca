#pragma once

#include "core/ListWork.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

class QMenu;
class TextArea;

// What the output's menu offers beyond editing: copying the joined line a
// batch of recipients at a time, for mail services that take only so many.
// Each batch follows the last, until the end or a change of the output. The
// menu shows at once; the recipients of a long line are counted on a
// thread of their own, and the batch entries follow.
class OutputMenu : public QObject
{
    Q_OBJECT

public:
    // Should an entry run out of memory, it changes nothing and outOfMemory
    // tells the user.
    OutputMenu(TextArea &output, std::function<void()> outOfMemory);

    // The entries copy these many recipients.
    static constexpr qsizetype batchSizes[] = {50, 100, 500};

    // How long the menu may wait for the recipients before it shows without
    // its batch entries, which follow.
    void setCountingPatience(std::chrono::milliseconds patience) { m_countingPatience = patience; }

private:
    using Places = QList<std::pair<qsizetype, qsizetype>>;
    struct Counting;

    void addEntries(QMenu *menu);
    void startCounting();
    void takeCounted();
    void fillBatches();
    void copyNextBatch(qsizetype size);
    qsizetype nextBatchStart() const;

    TextArea &m_output;
    std::function<void()> m_outOfMemory;
    // The recipients of the output's text, once counted, and which text.
    Places m_recipients;
    quint64 m_recipientsRevision = ~quint64(0);
    // The batch after the last one copied, and which text it was taken from.
    qsizetype m_batchEnd = 0;
    quint64 m_batchRevision = 0;

    ListWork m_countingWork;
    std::shared_ptr<Counting> m_counting;
    std::chrono::milliseconds m_countingPatience{20};
    QPointer<QMenu> m_batches; // the entries' submenu on show
};
