#include "form/ListMenus.h"

#include "join/LineJoiner.h"
#include "textview/TextArea.h"

#include <QLocale>
#include <QMenu>

#include <optional>
#include <span>

namespace {

using Operation = ListTidying::Operation;

QString number(qsizetype n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

QString counted(qsizetype n, const QString &one, const QString &many)
{
    return number(n) + u' ' + (n == 1 ? one : many);
}

} // namespace

ListMenus::ListMenus(TextArea &input, TextArea &output, std::function<void()> outOfMemory)
    : QObject(&input), m_input(input), m_output(output), m_outOfMemory(std::move(outOfMemory))
{
    connect(&m_input, &TextArea::contextMenuAboutToShow, this, &ListMenus::addTidyEntries);
    connect(&m_output, &TextArea::contextMenuAboutToShow, this, &ListMenus::addBatchEntries);
}

// The entries run from the menu's events, where nothing else would catch a
// failure.
void ListMenus::whileMemoryLasts(const std::function<void()> &action) const
{
    try {
        action();
        return;
    } catch (const std::bad_alloc &) {
    }
    m_outOfMemory();
}

// Tidying -----------------------------------------------------------------------

// The lines the entries act on: the whole lines a selection spans, when it
// spans more than one; otherwise the whole text. A selection that ends at a
// line's start leaves that line out.
std::pair<qsizetype, qsizetype> ListMenus::tidyScope() const
{
    const qsizetype start = qMin(m_input.caretPosition(), m_input.anchorPosition());
    qsizetype end = qMax(m_input.caretPosition(), m_input.anchorPosition());
    if (m_input.lineStartOf(start) == m_input.lineStartOf(end))
        return {0, m_input.size()};
    if (end == m_input.lineStartOf(end))
        end -= 2;
    return {m_input.lineStartOf(start), m_input.lineEndOf(end)};
}

// Under memory pressure the counts may not fit: the entries show without
// them, all offered.
void ListMenus::addTidyEntries(QMenu *menu)
{
    std::optional<ListTidying::Counts> counts;
    try {
        const auto [start, end] = tidyScope();
        const QString text = m_input.text();
        counts = ListTidying(LineJoiner::cutAtLineBreaks(QStringView(text).sliced(start, end - start))).counts();
    } catch (const std::bad_alloc &) {
    }
    menu->addSeparator();
    if (counts)
        menu->addAction(tr("%1: %2, %3 empty")
                            .arg(counted(counts->lines, tr("line"), tr("lines")),
                                 counted(counts->duplicates, tr("duplicate"), tr("duplicates")), number(counts->empty)))
            ->setEnabled(false);
    const std::pair<Operation, QString> entries[] = {{Operation::RemoveDuplicates, tr("Remove Duplicate Lines")},
                                                     {Operation::RemoveEmpty, tr("Remove Empty Lines")},
                                                     {Operation::TrimSpaces, tr("Trim Spaces")},
                                                     {Operation::Sort, tr("Sort Lines")}};
    for (const auto &[operation, label] : entries)
        menu->addAction(label, this, [this, operation] { whileMemoryLasts([&] { tidy(operation); }); })
            ->setEnabled(!counts || counts->wouldChange(operation));
}

// One edit that one undo takes back; every line break stays CR LF. The lines
// acted on stay selected when they were.
void ListMenus::tidy(Operation operation)
{
    const bool selected = m_input.hasSelection();
    const auto [start, end] = tidyScope();
    const QString text = m_input.text();
    const QList<QStringView> lines =
        ListTidying(LineJoiner::cutAtLineBreaks(QStringView(text).sliced(start, end - start))).apply(operation);
    const QString tidied = LineJoiner::joined(lines, u"\r\n");
    m_input.replaceRange(start, end, tidied);
    m_input.setSelection(selected ? start : start + tidied.size(), start + tidied.size());
}

// Batches -----------------------------------------------------------------------

// Whether the next batch follows the last one: not after the output changed
// or when the last batch reached its end.
bool ListMenus::batchesGoOn() const
{
    return m_batchRevision == m_output.revision() && m_batchEndPosition < m_output.size();
}

// The characters of the next batch of items.
std::pair<qsizetype, qsizetype> ListMenus::nextBatch(qsizetype size) const
{
    const QString text = m_output.text();
    const qsizetype start = batchesGoOn() ? m_batchEndPosition : 0;
    qsizetype end = start;
    for (qsizetype items = 0; items < size; ++items) {
        end = text.indexOf(u',', end);
        if (end < 0) {
            end = text.size();
            break;
        }
        if (items + 1 < size)
            ++end;
    }
    return {start, end};
}

void ListMenus::addBatchEntries(QMenu *menu)
{
    const QString text = m_output.text();
    const qsizetype items = text.isEmpty() ? 0 : text.count(u',') + 1;
    const qsizetype first = batchesGoOn() ? m_batchEnd + 1 : 1;
    QMenu *batches = menu->addMenu(tr("Copy Next Batch"));
    batches->setEnabled(items > 0);
    for (const qsizetype size : items > 0 ? batchSizes : std::span<const qsizetype>()) {
        const QString label = tr("Copy Items %1-%2 of %3")
                                  .arg(number(first), number(qMin(items, first + size - 1)), number(items));
        batches->addAction(label, this, [this, size] { whileMemoryLasts([&] { copyNextBatch(size); }); });
    }
}

// Selects the batch, so that it shows where it lies, and copies it without a
// comma before or after it.
void ListMenus::copyNextBatch(qsizetype size)
{
    const auto [start, end] = nextBatch(size);
    const QString text = m_output.text();
    m_batchEnd = (batchesGoOn() ? m_batchEnd : 0) + QStringView(text).sliced(start, end - start).count(u',') + 1;
    m_batchEndPosition = end + 1;
    m_batchRevision = m_output.revision();
    m_output.setSelection(start, end);
    m_output.copy();
}
