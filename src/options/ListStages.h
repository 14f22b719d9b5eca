#pragma once

#include "addresses/AddressBookWriter.h"
#include "core/KeySet.h"
#include "options/LineSorter.h"
#include "options/ListCommand.h"

#include <QByteArray>

#include <functional>
#include <vector>

// The steps of the option chain after sifting (ListCommand::Run): each takes
// lines and hands on what it gives to the next. A line too long to hold
// whole comes a piece at a time; only the last steps, which keep no line,
// take pieces.
namespace ListStages {

class Stage
{
public:
    virtual ~Stage() = default;
    void setNext(Stage *next) { m_next = next; }
    virtual void take(QByteArrayView line) = 0;
    virtual void takeAll(const std::vector<QByteArrayView> &lines);
    // A piece of a long line: first for its first, last for its last.
    virtual void takePiece(QByteArrayView piece, bool first, bool last);
    virtual void finish() { m_next->finish(); }

protected:
    Stage *m_next = nullptr;
};

// The first of the lines with the same key goes on; only the keys are kept.
// Many lines at a time, the slots of the keys a little ahead asked for
// while one is looked up: most keys of a long list lie far out of the
// processor's caches.
class Unique : public Stage
{
public:
    // Told of each line left out as a duplicate: its index among those
    // taken, and the number given with the first of its kind.
    using Duplicate = std::function<void(std::size_t index, quint64 first)>;
    // Numbers for the lines taken (none: 0 for each), and whom to tell;
    // sameMailbox: a provider's aliases of one mailbox are one key.
    explicit Unique(const std::vector<quint64> *numbers = nullptr, Duplicate duplicate = {}, bool sameMailbox = false);

    void take(QByteArrayView line) override { takeAll({line}); }
    void takeAll(const std::vector<QByteArrayView> &lines) override;

private:
    KeySet m_keys;
    QByteArray m_folded;           // the keys of the lines at hand, one after the other
    std::vector<qsizetype> m_ends; // where each line's key ends; -1 for an empty line
    std::vector<quint64> m_hashes;
    std::vector<QByteArrayView> m_first;
    const std::vector<quint64> *m_numbers = nullptr;
    Duplicate m_duplicate;
    bool m_sameMailbox = false;
};

class Sorting : public Stage
{
public:
    explicit Sorting(SortKeys::Order order) : m_sorter(order) {}
    void take(QByteArrayView line) override { m_sorter.add(line); }
    void finish() override;

private:
    LineSorter m_sorter;
};

// The lines joined with the separator, all on one line or so many items to
// a line (a batch is so many recipients: empty items are none), written a
// megabyte at a time.
class Joining : public Stage
{
public:
    Joining(const ListCommand::Options &options, const ListCommand::Output &output);
    void take(QByteArrayView line) override;
    void takePiece(QByteArrayView piece, bool first, bool last) override;
    void finish() override;

private:
    void makeRoom(qsizetype needed);
    void endItem(char *out);

    const QByteArray m_separator;
    const qsizetype m_batch;
    const ListCommand::Output &m_output;
    QByteArray m_bytes; // written up to m_used, a megabyte at a time
    qsizetype m_used = 0;
    qsizetype m_items = 0;
};

// The lines that are addresses written as an address book; the others
// (empty lines aside) counted.
class Exporting : public Stage
{
public:
    Exporting(const ListCommand::Options &options, const ListCommand::Output &output);
    void take(QByteArrayView line) override;
    void takePiece(QByteArrayView piece, bool first, bool last) override;
    void finish() override;
    qsizetype leftOut() const { return m_leftOut; }

private:
    AddressBookWriter m_writer;
    const ListCommand::Output &m_output;
    QByteArray m_bytes;
    qsizetype m_leftOut = 0;
};

} // namespace ListStages
