#include "form/InputMenu.h"

#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"
#include "addresses/ContactLines.h"
#include "core/Failure.h"
#include "form/SavedChoices.h"
#include "join/LineJoiner.h"
#include "options/ListedAddresses.h"
#include "textview/TextArea.h"

#include <QLocale>
#include <QMenu>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {

using Operation = ListTidying::Operation;

constexpr qsizetype reportEvery = 1 << 14;

const QString sameMailboxKey = u"input/same-mailbox"_s;

QString number(qsizetype n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

QString counted(qsizetype n, const QString &one, const QString &many)
{
    return number(n) + u' ' + (n == 1 ? one : many);
}

struct Entry
{
    Operation operation;
    QString label;
    QString whyNot; // when it would change nothing
};

const QList<Entry> &tidyEntries()
{
    static const QList<Entry> all = {
        {Operation::RemoveDuplicates, InputMenu::tr("Remove Duplicate Lines"), InputMenu::tr("no duplicates")},
        {Operation::RemoveEmpty, InputMenu::tr("Remove Empty Lines"), InputMenu::tr("no empty lines")},
        {Operation::TrimSpaces, InputMenu::tr("Trim Spaces"), InputMenu::tr("no spaces at either end")},
        {Operation::Sort, InputMenu::tr("By Line"), InputMenu::tr("already sorted")},
        {Operation::SortByAddress, InputMenu::tr("By Address"), QString()},
        {Operation::SortByDomain, InputMenu::tr("By Domain"), QString()},
        {Operation::RemoveNonAddresses, InputMenu::tr("Remove Non-Addresses"), InputMenu::tr("every line is an address")},
    };
    return all;
}

// The step whose removals an operation reports, if it removes lines.
std::optional<RemovalReport::Step> removalStep(Operation operation)
{
    switch (operation) {
    case Operation::RemoveDuplicates:
        return RemovalReport::Step::RemoveDuplicates;
    case Operation::RemoveEmpty:
        return RemovalReport::Step::RemoveEmpty;
    case Operation::RemoveNonAddresses:
        return RemovalReport::Step::RemoveNonAddresses;
    case Operation::TrimSpaces:
    case Operation::Sort:
    case Operation::SortByAddress:
    case Operation::SortByDomain:
        break;
    }
    return std::nullopt;
}

// How the counts line tells what a step removed.
QString removedAs(RemovalReport::Step step)
{
    switch (step) {
    case RemovalReport::Step::RemoveEmpty:
        return InputMenu::tr("; %1 removed as empty");
    case RemovalReport::Step::RemoveDuplicates:
        return InputMenu::tr("; %1 removed as duplicates");
    case RemovalReport::Step::RemoveNonAddresses:
        return InputMenu::tr("; %1 removed as not addresses");
    case RemovalReport::Step::RemoveListed:
        return InputMenu::tr("; %1 removed as listed");
    case RemovalReport::Step::KeepListed:
        return InputMenu::tr("; %1 removed as not listed");
    case RemovalReport::Step::ExtractAddresses:
        break;
    }
    return InputMenu::tr("; %1 removed with no address found");
}

void report(ListTidying::Progress &progress, qsizetype done, qsizetype total)
{
    if (progress.cancelled.load(std::memory_order_relaxed))
        throw ListTidying::Cancelled{};
    progress.permille.store(int(1000 * done / qMax<qsizetype>(1, total)), std::memory_order_relaxed);
}

} // namespace

// The counts of one text of the input, for one scope, made on a thread of
// their own: written there and read on the window's thread, under a lock.
struct InputMenu::Counting
{
    quint64 revision = 0;
    std::pair<qsizetype, qsizetype> scope;
    bool selection = false;
    bool stopped = false; // by an entry's work, before its counts were made
    std::mutex guard;
    std::optional<ListTidying::Counts> early; // all but the duplicates, told while they are counted
    std::optional<ListTidying::Counts> counts;

    void set(std::optional<ListTidying::Counts> Counting::*which, const ListTidying::Counts &made)
    {
        const std::lock_guard lock(guard);
        this->*which = made;
    }
    std::optional<ListTidying::Counts> get(std::optional<ListTidying::Counts> Counting::*which)
    {
        const std::lock_guard lock(guard);
        return this->*which;
    }
};

InputMenu::InputMenu(TextArea &input, InputWork &work, std::function<void()> outOfMemory, ChooseListed listedAddresses,
                     ChooseCorrections corrections, std::function<void()> saveAddressBook,
                     std::function<bool(const QString &)> copy)
    : QObject(&input), m_input(input), m_outOfMemory(outOfMemory), m_listedAddresses(std::move(listedAddresses)),
      m_corrections(std::move(corrections)), m_saveAddressBook(std::move(saveAddressBook)), m_copy(std::move(copy)),
      m_work(work)
{
    connect(&m_input, &TextArea::contextMenuAboutToShow, this, &InputMenu::addEntries);
    // Counting that ended without its counts (memory ran short): the menu
    // shows without them.
    connect(&m_countingWork, &ListWork::ended, this, [this] {
        if (!m_countingWork.isRunning())
            showCounts();
    });
}

// The lines the entries act on: the whole lines a selection spans, when it
// spans more than one; otherwise the whole text. A selection that ends at a
// line's start leaves that line out.
std::pair<qsizetype, qsizetype> InputMenu::scope() const
{
    const qsizetype start = qMin(m_input.caretPosition(), m_input.anchorPosition());
    qsizetype end = qMax(m_input.caretPosition(), m_input.anchorPosition());
    if (m_input.lineStartOf(start) == m_input.lineStartOf(end))
        return {0, m_input.size()};
    if (end == m_input.lineStartOf(end))
        end -= 2;
    return {m_input.lineStartOf(start), m_input.lineEndOf(end)};
}

// Counts -------------------------------------------------------------------------

// The entries run from the menu's events, where nothing would catch a
// failure: running out of memory is caught here.
template<typename Action>
std::function<void()> InputMenu::guarded(Action action)
{
    return [this, action] {
        if (m_work.refusedWhileBusy())
            return;
        try {
            action();
        } catch (const std::bad_alloc &) {
            m_outOfMemory();
        }
    };
}

void InputMenu::addTidyEntry(QMenu *menu, Operation operation)
{
    for (const Entry &entry : tidyEntries())
        if (entry.operation == operation)
            m_entries.append({operation, menu->addAction(entry.label, this, guarded([this, operation] { tidy(operation); }))});
}

void InputMenu::addTidyEntries(QMenu *menu)
{
    addTidyEntry(menu, Operation::RemoveDuplicates);
    addTidyEntry(menu, Operation::RemoveEmpty);
    addTidyEntry(menu, Operation::TrimSpaces);
    QMenu *sort = menu->addMenu(tr("Sort Lines"));
    for (const Operation order : {Operation::Sort, Operation::SortByAddress, Operation::SortByDomain})
        addTidyEntry(sort, order);
    menu->addSeparator();
    QAction *aliases = menu->addAction(tr("Count Provider Aliases as One"));
    aliases->setCheckable(true);
    aliases->setChecked(sameMailbox());
    connect(aliases, &QAction::toggled, this, [this](bool checked) {
        SavedChoices::setValue(sameMailboxKey, checked ? u"true"_s : u"false"_s);
        stopCounting();
        m_counting.reset();
    });
}

void InputMenu::addAddressEntries(QMenu *menu)
{
    menu->addAction(tr("Extract Addresses"), this, guarded([this] { extractAddresses(); }));
    m_nextNonAddress = menu->addAction(tr("Select Next Non-Address"), this, guarded([this] { selectNextNonAddress(); }));
    addTidyEntry(menu, Operation::RemoveNonAddresses);
    menu->addSeparator();
    m_correctDomains = menu->addAction(tr("Correct Mistyped Domains\u2026"), this, guarded([this] { correctMistypedDomains(); }));
    QAction *lookUp = menu->addAction(tr("Look Up Domains"));
    lookUp->setCheckable(true);
    lookUp->setChecked(m_lookUpDomains);
    connect(lookUp, &QAction::toggled, this, [this](bool checked) { m_lookUpDomains = checked; });
}

// Whether a provider's aliases of one mailbox count as one address, as the
// user last chose.
bool InputMenu::sameMailbox() const
{
    return SavedChoices::value(sameMailboxKey) == u"true";
}

// The menu shows with the counts of this text when they are known, or a line
// that says they are being made; the entries are all offered until then.
// They come in groups, each a submenu the keyboard reaches by its letter:
// tidying, addresses, and address books and files.
void InputMenu::addEntries(QMenu *menu)
{
    m_menu = menu;
    menu->addSeparator();
    m_countsEntry = menu->addAction(tr("Counting lines\u2026") + aboutTheCaretsLine());
    m_countsEntry->setEnabled(false);
    m_entries.clear();
    if (hasReport())
        menu->addAction(tr("Copy Report of Removed Lines"), this, guarded([this] { copyReport(); }));
    addTidyEntries(menu->addMenu(tr("T&idy")));
    addAddressEntries(menu->addMenu(tr("&Addresses")));
    QMenu *files = menu->addMenu(tr("Address &Book and Files"));
    files->addAction(tr("Remove Addresses Listed in File\u2026"), this, guarded([this] { removeListedAddresses(); }));
    files->addAction(tr("Keep Only Addresses Listed in File\u2026"), this, guarded([this] { keepListedAddresses(); }));
    files->addAction(tr("Save as Address Book\u2026"), this, guarded([this] { m_saveAddressBook(); }));
    startCounting();
    if (!m_counting) {
        menu->removeAction(m_countsEntry);
        return;
    }
    keepWidthForCounts(menu);
    if (m_countingWork.waitFor(m_countingPatience))
        showCounts();
}

// The menu is as wide from the start as its counts will make it: each count
// takes at most as many digits as the lines do.
void InputMenu::keepWidthForCounts(QMenu *menu)
{
    const QString waiting = m_countsEntry->text();
    ListTidying::Counts widest;
    widest.lines = widest.duplicates = widest.empty = widest.notAddresses = widest.mistyped = widest.unread =
        widest.throwaway = m_input.lineCount();
    int width = 0;
    for (const bool counting : {true, false}) {
        m_countsEntry->setText(countsText(widest, m_counting->selection, counting));
        width = qMax(width, menu->sizeHint().width());
    }
    m_countsEntry->setText(waiting);
    menu->setMinimumWidth(width);
}

// Which line the caret is on and why it is no address, when it is none.
QString InputMenu::aboutTheCaretsLine() const
{
    const qsizetype caret = m_input.caretPosition();
    const QString line = m_input.textRange(m_input.lineStartOf(caret), m_input.lineEndOf(caret));
    const AddressCheck::Verdict verdict = AddressCheck::check(line);
    if (verdict.empty || verdict.isAddress())
        return {};
    return tr("; line %1 is not an address: %2").arg(number(m_input.lineOf(caret) + 1), verdict.reason);
}

void InputMenu::startCounting()
{
    const std::pair<qsizetype, qsizetype> scope = this->scope();
    if (m_counting && !m_counting->stopped && m_counting->revision == m_input.revision() && m_counting->scope == scope)
        return;
    try {
        m_counting = std::make_shared<Counting>();
        m_counting->revision = m_input.revision();
        m_counting->scope = scope;
        m_counting->selection = m_input.hasSelection() && scope.second - scope.first < m_input.size();
        // The work holds the text it counts, and lets it go as it ends: the
        // counts outlive it, an old text should not.
        m_countingWork.start([this, counting = m_counting, text = m_input.text(),
                              sameMailbox = sameMailbox()](ListTidying::Progress &progress) {
            const auto [start, end] = counting->scope;
            const ListTidying tidying(LineJoiner::cutAtLineBreaks(QStringView(text).sliced(start, end - start)),
                                      &progress, sameMailbox);
            ListTidying::Counts counts = tidying.lineCounts();
            counting->set(&Counting::early, counts);
            QMetaObject::invokeMethod(
                this, [this, counting] { if (counting == m_counting) showCounts(); }, Qt::QueuedConnection);
            counts.duplicates = tidying.duplicates();
            counting->set(&Counting::counts, counts);
        });
    } catch (const std::bad_alloc &) {
        m_counting.reset();
    }
}

// Stops the counting for the entry about to change the text; a menu shown
// before the text changes counts again.
void InputMenu::stopCounting()
{
    m_countingWork.cancel();
    if (m_counting && !m_counting->get(&Counting::counts))
        m_counting->stopped = true;
}

// The counts line: the lines, the duplicates (or that they are being
// counted), the empty lines and those that are no addresses, what the last
// removal took, and what is wrong with the caret's line.
QString InputMenu::countsText(const ListTidying::Counts &counts, bool selection, bool counting) const
{
    QString text = tr("%1%2: %3, %4 empty, %5")
                       .arg(counted(counts.lines, tr("line"), tr("lines")), selection ? tr(" in the selection") : QString(),
                            counting ? tr("counting duplicates\u2026")
                                     : counted(counts.duplicates, tr("duplicate"), tr("duplicates")),
                            number(counts.empty), counted(counts.notAddresses, tr("not an address"), tr("not addresses")));
    if (counts.mistyped > 0)
        text += u", "_s + counted(counts.mistyped, tr("looks mistyped"), tr("look mistyped"));
    if (counts.unread > 0)
        text += u", "_s + counted(counts.unread, tr("no-reply or role address"), tr("no-reply or role addresses"));
    if (counts.throwaway > 0)
        text += u", "_s + counted(counts.throwaway, tr("throwaway"), tr("throwaway"));
    if (m_report && m_reportRevision == m_counting->revision)
        text += removedAs(m_report->step()).arg(number(m_report->removedCount()));
    return text + aboutTheCaretsLine();
}

// Fills in the counts when they are made, and says why an entry that would
// change nothing is not offered. Without them (memory ran short), the menu
// stays as it is, every entry offered.
void InputMenu::showCounts()
{
    if (!m_counting || !m_menu || !m_countsEntry)
        return;
    const std::optional<ListTidying::Counts> finished = m_counting->get(&Counting::counts);
    const bool counting = !finished && m_countingWork.isRunning();
    const std::optional<ListTidying::Counts> known = counting ? m_counting->get(&Counting::early) : finished;
    if (!known) {
        if (!counting)
            m_menu->removeAction(m_countsEntry);
        return;
    }
    const ListTidying::Counts &counts = *known;
    m_countsEntry->setText(countsText(counts, m_counting->selection, counting));
    for (const auto &[operation, action] : std::as_const(m_entries)) {
        if (!action || counts.wouldChange(operation) || (counting && operation == Operation::RemoveDuplicates))
            continue;
        for (const Entry &entry : tidyEntries())
            if (entry.operation == operation)
                action->setText(QStringLiteral("%1 (%2)").arg(entry.label, entry.whyNot));
        action->setEnabled(false);
    }
    if (m_nextNonAddress && counts.notAddresses == 0 && !m_counting->selection) {
        m_nextNonAddress->setText(tr("Select Next Non-Address (every line is an address)"));
        m_nextNonAddress->setEnabled(false);
    }
    if (m_correctDomains && counts.mistyped == 0 && !m_lookUpDomains) {
        m_correctDomains->setText(tr("Correct Mistyped Domains (none look mistyped)"));
        m_correctDomains->setEnabled(false);
    }
}

// Entries ------------------------------------------------------------------------

void InputMenu::tidy(Operation operation)
{
    stopCounting();
    QString label;
    for (const Entry &entry : tidyEntries())
        if (entry.operation == operation)
            label = entry.label;
    // The progress panel names the sort by its submenu too.
    if (operation == Operation::Sort || operation == Operation::SortByAddress || operation == Operation::SortByDomain)
        label = tr("Sort Lines %1").arg(label);
    const std::optional<RemovalReport::Step> step = removalStep(operation);
    const bool sameMailbox = this->sameMailbox();
    auto report = step ? std::make_shared<RemovalReport>(*step, sameMailbox) : nullptr;
    const std::pair<qsizetype, qsizetype> scope = this->scope();
    m_work.start(
        label, scope,
        [operation, report, sameMailbox](QStringView text, ListTidying::Progress &progress) {
            const QList<QStringView> lines = LineJoiner::cutAtLineBreaks(text);
            const ListTidying tidying(lines, &progress, sameMailbox);
            InputWork::Lines made = ListTidying::choosesLines(operation)
                                        ? InputWork::Lines::chosen(lines, tidying.chosen(operation))
                                        : InputWork::Lines{tidying.apply(operation), {}};
            if (report)
                report->noteRemoved(lines, made.views);
            return made;
        },
        keepReport(report, scope));
}

// Once a step is done: its report, for the lines it left.
std::function<void()> InputMenu::keepReport(std::shared_ptr<const RemovalReport> report,
                                            std::pair<qsizetype, qsizetype> scope)
{
    return [this, report, scope] {
        m_report = report;
        m_reportRevision = m_input.revision();
        m_reportScope = {scope.first, qMax(m_input.caretPosition(), m_input.anchorPosition())};
    };
}

bool InputMenu::hasReport() const
{
    return m_report && m_reportRevision == m_input.revision();
}

// The report goes to the clipboard, a line each: number, reason, text.
void InputMenu::copyReport()
{
    if (!hasReport())
        return;
    const auto [start, end] = m_reportScope;
    const QString kept = m_input.textRange(start, end);
    m_copy(m_report->text(m_input.lineOf(start), LineJoiner::cutAtLineBreaks(kept)));
}

// Each line's addresses in its place, one to a line.
void InputMenu::extractAddresses()
{
    stopCounting();
    auto removals = std::make_shared<RemovalReport>(RemovalReport::Step::ExtractAddresses);
    const std::pair<qsizetype, qsizetype> scope = this->scope();
    m_work.start(tr("Extract Addresses"), scope, [removals](QStringView text, ListTidying::Progress &progress) {
        const QList<QStringView> lines = LineJoiner::cutAtLineBreaks(text);
        std::vector<qsizetype> counts(size_t(lines.size()));
        // The addresses one after the other in one text, and each where it lies.
        QString found;
        QList<std::pair<qsizetype, qsizetype>> places;
        const auto add = [&](QStringView address) {
            places.append({found.size(), address.size()});
            found += address;
        };
        ContactLines contacts;
        const auto search = [&](QStringView text, qsizetype line) {
            AddressExtraction::each(text, [&](QStringView address) {
                ++counts[size_t(line)];
                add(address);
            });
        };
        for (qsizetype line = 0; line < lines.size(); ++line) {
            if (line % reportEvery == 0)
                report(progress, line, lines.size());
            contacts.feed(lines[line], line, search);
        }
        contacts.finish(search);
        for (qsizetype line = 0; line < lines.size(); ++line)
            removals->noteFound(line, lines[line], counts[size_t(line)]);
        InputWork::Lines made;
        made.views.reserve(places.size());
        for (const auto &[start, length] : std::as_const(places))
            made.views.append(QStringView(found).sliced(start, length));
        made.kept = QStringList{std::move(found)};
        return made;
    }, keepReport(removals, scope));
}

// The next line after the caret's that is no address, wrapping at the end.
void InputMenu::selectNextNonAddress()
{
    const qsizetype lines = m_input.lineCount();
    const qsizetype from = m_input.lineOf(m_input.caretPosition());
    for (qsizetype step = 1; step <= lines; ++step) {
        const qsizetype line = (from + step) % lines;
        const QStringView text = m_input.lineView(line);
        if (!ListTidying::isEmpty(text) && !AddressCheck::isAddress(text)) {
            const qsizetype start = m_input.lineStart(line);
            m_input.setFocus();
            m_input.setSelection(start, start + text.size());
            return;
        }
    }
}

// The domains that look mistyped are found, each change is shown for the
// user to accept or leave, and those accepted are made in one step.
void InputMenu::correctMistypedDomains()
{
    stopCounting();
    const std::pair<qsizetype, qsizetype> scope = this->scope();
    auto found = std::make_shared<QList<DomainCorrections::Correction>>();
    m_work.start(
        tr("Correct Mistyped Domains"), scope,
        [found, lookUp = m_lookUpDomains](QStringView text, ListTidying::Progress &progress) {
            const QList<QStringView> lines = LineJoiner::cutAtLineBreaks(text);
            // The mail system, asked when the user allows it; a resolver
            // that cannot be had leaves the advice as it is without.
            std::optional<AddressAdvice::Answers> answers;
            try {
                if (lookUp)
                    answers = DomainCorrections::lookUp(lines, &progress);
            } catch (const Failure &) {
            }
            *found = DomainCorrections::find(lines, &progress, answers ? &*answers : nullptr);
            return InputWork::Lines{lines, {}};
        },
        [this, found, scope] { offerCorrections(*found, scope); });
}

void InputMenu::offerCorrections(const QList<DomainCorrections::Correction> &found, std::pair<qsizetype, qsizetype> scope)
{
    const qsizetype firstLine = m_input.lineOf(scope.first);
    QStringList changes;
    for (const DomainCorrections::Correction &correction : found)
        changes << tr("line %1: %2 \u2192 %3").arg(number(firstLine + correction.line + 1), correction.address, correction.meant);
    const std::optional<QList<bool>> chosen = m_corrections(changes);
    if (!chosen)
        return;
    QList<DomainCorrections::Correction> accepted;
    for (qsizetype i = 0; i < found.size(); ++i)
        if (chosen->value(i))
            accepted.append(found[i]);
    if (accepted.isEmpty())
        return;
    m_work.start(tr("Correct Mistyped Domains"), scope, [accepted](QStringView text, ListTidying::Progress &) {
        DomainCorrections::Corrected corrected = DomainCorrections::apply(LineJoiner::cutAtLineBreaks(text), accepted);
        return InputWork::Lines{std::move(corrected.lines), std::move(corrected.made)};
    });
}
