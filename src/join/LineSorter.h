#pragma once

#include <QString>
#include <QStringView>

#include <deque>
#include <functional>
#include <vector>

// Lines in the order Sort Lines gives them (by the line without spaces and
// tabs at either end, ignoring case, in the order of code points; equal
// ones in the order they came), in bounded memory: lines are sorted in runs
// that fit a budget, and a list larger than that goes through temporary
// files in the temporary folder ($TMPDIR, else /tmp), merged at most
// sixteen at a time, as sort(1) does. Each file is removed as soon as it is
// made and lives on only while it is open: nothing is left behind, however
// the program ends.
class LineSorter
{
public:
    explicit LineSorter(qsizetype budget = qsizetype(64) << 20);
    ~LineSorter();
    LineSorter(const LineSorter &) = delete;
    LineSorter &operator=(const LineSorter &) = delete;

    void add(QStringView line);
    // Hands on every line in order. Raises a Failure naming the temporary
    // folder when a file there cannot be made, written (a full disk) or
    // read.
    void finish(const std::function<void(QStringView line)> &take);

    static QString temporaryFolder();

private:
    struct Entry
    {
        quint64 prefix; // the first four units of the key, folded and ranked
        qsizetype offset;
        quint32 length;
        quint32 order;
    };
    void sortRun();
    int writeRun();
    void mergeRuns(std::deque<int> runs, const std::function<void(QStringView)> &take);

    qsizetype m_budget;
    QString m_text; // the run's lines one after the other
    std::vector<Entry> m_entries;
    std::deque<int> m_runs; // the files of the runs written, in the order of their lines
};
