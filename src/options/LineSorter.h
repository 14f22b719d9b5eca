#pragma once

#include <QByteArray>
#include <QString>

#include "options/SortKeys.h"

#include <deque>
#include <functional>
#include <vector>

// Lines in the order the Sort Lines entries give them (SortKeys; by the
// line, ignoring case and spaces and tabs at either end, unless told
// otherwise; equal ones in the order they came), in bounded memory: lines are sorted in runs
// that fit a budget, and a list larger than that goes through temporary
// files in the temporary folder ($TMPDIR, else /tmp), merged at most
// sixteen at a time, as sort(1) does. Each file is removed as soon as it is
// made and lives on only while it is open: nothing is left behind, however
// the program ends.
class LineSorter
{
public:
    explicit LineSorter(SortKeys::Order order = SortKeys::Order::Line, qsizetype budget = qsizetype(96) << 20);
    ~LineSorter();
    LineSorter(const LineSorter &) = delete;
    LineSorter &operator=(const LineSorter &) = delete;

    // A line in UTF-8.
    void add(QByteArrayView line);
    // Hands on every line in order. Raises a Failure naming the temporary
    // folder when a file there cannot be made, written (a full disk) or
    // read.
    void finish(const std::function<void(QByteArrayView line)> &take);

    static QString temporaryFolder();

private:
    // A line and its key (the line trimmed and folded, in UTF-8, whose bytes
    // compare as keys compare), one after the other in the run's bytes; the
    // run's keys compare at first by sixteen bytes from where they start to
    // differ, packed into numbers beside them.
    struct Entry
    {
        quint64 high;
        quint64 low;
        qsizetype offset;
        quint32 keyLength;
        quint32 lineLength;
        quint32 order;
    };
    // A run's file: its lines, and how many bytes all its keys share.
    struct Run
    {
        int fd;
        qsizetype shared;
        QByteArray firstKey;
    };
    using Merged = std::function<void(QByteArrayView key, QByteArrayView line)>;
    QByteArrayView keyOf(const Entry &entry) const { return {m_bytes.constData() + entry.offset, entry.keyLength}; }
    QByteArrayView lineOf(const Entry &entry) const
    {
        return {m_bytes.constData() + entry.offset + entry.keyLength, entry.lineLength};
    }
    qsizetype sortRun();
    using EntryIterator = std::vector<Entry>::iterator;
    void sortFrom(EntryIterator begin, EntryIterator end, qsizetype offset) const;
    Run writeRun();
    void mergeRuns(const std::deque<Run> &runs, const Merged &merged);

    SortKeys::Order m_order;
    qsizetype m_budget;
    QByteArray m_bytes; // the run's keys and lines
    std::vector<Entry> m_entries;
    std::deque<Run> m_runs; // the files of the runs written, in the order of their lines
};
