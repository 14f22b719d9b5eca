#pragma once

#include "form/InputWork.h"
#include "core/ListWork.h"
#include "options/DomainCorrections.h"
#include "options/ListTidying.h"
#include "options/RemovalReport.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class TextArea;

// What the input's menu offers beyond editing: a line that counts its lines,
// duplicates, empty lines and lines that are no e-mail addresses, and says
// why the line of the caret is none; entries that tidy the lines (duplicates,
// empty lines, spaces, order); and entries for addresses (extract them from
// text, select the next line that is none, remove such lines, remove the
// addresses that files list, correct the domains that look mistyped once
// the user has seen each change). Each change is one step that undo takes
// back. After a step that removes lines, the counts line says how many it
// removed, and an entry copies the report of each line removed, and why.
//
// The menu shows at once: the counts are made on a thread of their own and
// fill in when ready. The entries' work is InputWork's.
class InputMenu : public QObject
{
    Q_OBJECT

public:
    // The files the user picks for "Remove Addresses Listed in File": each
    // one's name and its lines; nothing when none was picked.
    using ListedFile = std::pair<QString, QString>;
    using ChooseListed = std::function<std::optional<QList<ListedFile>>(const QString &title)>;
    // Which of the proposed corrections ("line 3: ann@gmial.com \u2192
    // ann@gmail.com") the user accepts; nothing when none is to be made.
    using ChooseCorrections = std::function<std::optional<QList<bool>>(const QStringList &changes)>;

    // The entries' work goes through work, which the window shares with
    // loading. Should an entry run out of memory, it changes nothing and
    // outOfMemory tells the user.
    // saveAddressBook saves the input's lines as an address book.
    // copy places a text on the clipboard, telling the user when it cannot.
    InputMenu(TextArea &input, InputWork &work, std::function<void()> outOfMemory, ChooseListed listedAddresses,
              ChooseCorrections corrections, std::function<void()> saveAddressBook,
              std::function<bool(const QString &)> copy);

    // How long an entry's work may keep the window waiting before it shows
    // its progress and goes on meanwhile.
    void setPatience(std::chrono::milliseconds patience) { m_work.setPatience(patience); }
    // How long the menu waits for its counts before it shows without them.
    void setCountingPatience(std::chrono::milliseconds patience) { m_countingPatience = patience; }

private:
    using Operation = ListTidying::Operation;
    struct Counting;

    std::pair<qsizetype, qsizetype> scope() const;
    template<typename Action>
    std::function<void()> guarded(Action action);
    void addEntries(QMenu *menu);
    void addTidyEntry(QMenu *menu, Operation operation);
    void addTidyEntries(QMenu *menu);
    void addAddressEntries(QMenu *menu);
    bool sameMailbox() const;
    void startCounting();
    void stopCounting();
    void keepWidthForCounts(QMenu *menu);
    QString countsText(const ListTidying::Counts &counts, bool selection, bool counting) const;
    void showCounts();
    QString aboutTheCaretsLine() const;

    void tidy(Operation operation);
    std::function<void()> keepReport(std::shared_ptr<const RemovalReport> report, std::pair<qsizetype, qsizetype> scope);
    bool hasReport() const;
    void copyReport();
    void extractAddresses();
    void selectNextNonAddress();
    void removeListedAddresses();
    void keepListedAddresses();
    using KeepListed = std::function<ListTidying::Places(const QList<QStringView> &lines, const QList<ListedFile> &listed,
                                                         ListTidying::Progress &progress, RemovalReport &report)>;
    void workOnListed(RemovalReport::Step step, const QString &title, const KeepListed &keep);
    void correctMistypedDomains();
    void offerCorrections(const QList<DomainCorrections::Correction> &found, std::pair<qsizetype, qsizetype> scope);

    TextArea &m_input;
    std::function<void()> m_outOfMemory;
    ChooseListed m_listedAddresses;
    ChooseCorrections m_corrections;
    std::function<void()> m_saveAddressBook;
    std::function<bool(const QString &)> m_copy;
    InputWork &m_work;

    // The menu on show, its counts line and the entries counts may disable.
    QPointer<QMenu> m_menu;
    QPointer<QAction> m_countsEntry;
    QList<std::pair<Operation, QPointer<QAction>>> m_entries;
    QPointer<QAction> m_nextNonAddress;
    QPointer<QAction> m_correctDomains;
    bool m_lookUpDomains = false; // Correct Mistyped Domains asks the mail system

    ListWork m_countingWork;
    std::chrono::milliseconds m_countingPatience{20};
    std::shared_ptr<Counting> m_counting;
    // What the last step that removes lines removed, the text it left, and
    // where the lines it kept stand.
    std::shared_ptr<const RemovalReport> m_report;
    quint64 m_reportRevision = ~quint64(0);
    std::pair<qsizetype, qsizetype> m_reportScope;
};
