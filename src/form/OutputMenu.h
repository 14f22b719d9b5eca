#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <utility>

class QMenu;
class TextArea;

// What the output's menu offers beyond editing: copying the joined line a
// batch of recipients at a time, for mail services that take only so many.
// Each batch follows the last, until the end or a change of the output.
class OutputMenu : public QObject
{
    Q_OBJECT

public:
    // Should an entry run out of memory, it changes nothing and outOfMemory
    // tells the user.
    OutputMenu(TextArea &output, std::function<void()> outOfMemory);

    // The entries copy these many recipients.
    static constexpr qsizetype batchSizes[] = {50, 100, 500};

private:
    void addEntries(QMenu *menu);
    void copyNextBatch(qsizetype size);
    const QList<std::pair<qsizetype, qsizetype>> &recipients();
    qsizetype nextBatchStart();

    TextArea &m_output;
    std::function<void()> m_outOfMemory;
    // The recipients after the last batch copied, and which text of the
    // output it was taken from.
    qsizetype m_batchEnd = 0;
    quint64 m_batchRevision = 0;
    QList<std::pair<qsizetype, qsizetype>> m_recipients;
    quint64 m_recipientsRevision = ~quint64(0);
};
