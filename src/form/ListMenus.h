#pragma once

#include "join/ListTidying.h"

#include <QObject>

#include <functional>

class QMenu;
class TextArea;

// What the text areas' menus offer beyond editing: tidying the input's lines
// (duplicates, empty lines, spaces, order) and copying the output a batch of
// items at a time, for mail services that take so many recipients.
class ListMenus : public QObject
{
    Q_OBJECT

public:
    // Should an entry run out of memory, it changes nothing and outOfMemory
    // tells the user.
    ListMenus(TextArea &input, TextArea &output, std::function<void()> outOfMemory);

    // The entries of the output's menu copy these many items.
    static constexpr qsizetype batchSizes[] = {50, 100, 500};

private:
    void addTidyEntries(QMenu *menu);
    void tidy(ListTidying::Operation operation);
    std::pair<qsizetype, qsizetype> tidyScope() const;

    void addBatchEntries(QMenu *menu);
    void copyNextBatch(qsizetype size);
    std::pair<qsizetype, qsizetype> nextBatch(qsizetype size) const;
    bool batchesGoOn() const;

    void whileMemoryLasts(const std::function<void()> &action) const;

    TextArea &m_input;
    TextArea &m_output;
    std::function<void()> m_outOfMemory;
    // Where the last batch copied from the output ended, in items and
    // characters, and which text of the output it was taken from.
    qsizetype m_batchEnd = 0;
    qsizetype m_batchEndPosition = 0;
    quint64 m_batchRevision = 0;
};
