#pragma once

#include "core/ListWork.h"
#include "options/ListTidying.h"
#include "textview/LineChoice.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class ProgressPanel;
class TextArea;

// The work of an entry of the input's menu: new lines for some of the
// input's, made on a thread of their own from the text as it is when the
// work starts. Once done, they replace the lines they were made from in one
// edit that one undo takes back, every line break CR LF, the lines staying
// selected when they were. The window waits for a moment; should the work
// take longer, its progress shows over the input, the window stays
// responsive, and Escape or Cancel stops it, the text and its history left
// as they were. A change to the text meanwhile stops it too.
class InputWork : public QObject
{
    Q_OBJECT

public:
    // New lines for some: views into those, or into lines made anew and kept
    // here, which may hold line breaks of any kind; a line break goes
    // between them, or nothing, for texts that end in their own.
    struct Lines
    {
        QList<QStringView> views;
        QStringList kept;
        QStringView between = u"\r\n";
        // Set when the views are some of the given lines, whole, and the
        // choice is worth keeping for undo.
        std::optional<LineChoice> choice = std::nullopt;
        static Lines of(QStringList made);
        // Texts made anew (files' lines), one right after the other.
        static Lines following(QStringList texts);
        // The given lines at the places, in their order.
        static Lines chosen(const QList<QStringView> &lines, std::vector<quint32> places);
    };
    // The new lines for the given ones.
    using Make = std::function<Lines(QStringView lines, ListTidying::Progress &progress)>;

    // Should the work run out of memory, it changes nothing and outOfMemory
    // tells the user.
    InputWork(TextArea &input, std::function<void()> outOfMemory);

    // How long the work may keep the window waiting before it shows its
    // progress and goes on meanwhile.
    void setPatience(std::chrono::milliseconds patience) { m_patience = patience; }

    // Starts the work on the text between two positions (whole lines), unless
    // other work whose result is still wanted is under way (work that was
    // stopped is waited for): then that is told, and nothing starts.
    // afterwards, once the work is done and its lines are in (or it changed
    // nothing), unless it was stopped.
    void start(const QString &label, std::pair<qsizetype, qsizetype> scope, Make make,
               std::function<void()> afterwards = {});

    // Tells the user what work is under way, when some is, and that the
    // action they asked for must wait for it; answers whether it did.
    bool refusedWhileBusy() const;
    // How the window tells that work is under way: its label.
    void setBusyTeller(std::function<void(const QString &label)> tell) { m_tellBusy = std::move(tell); }

private:
    struct Job;
    void finish();
    void cancel();
    void hideProgress();

    TextArea &m_input;
    std::function<void()> m_outOfMemory;
    std::function<void(const QString &label)> m_tellBusy;
    std::chrono::milliseconds m_patience{500};
    ListWork m_work;
    std::shared_ptr<Job> m_job;
    ProgressPanel *m_panel = nullptr;
    QTimer m_progressTimer;
};
