#include "form/OutputMenu.h"

#include "core/LineBreaks.h"
#include "addresses/Recipients.h"
#include "textview/TextArea.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>

#include <span>

namespace {

QString number(qsizetype n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

} // namespace

OutputMenu::OutputMenu(TextArea &output, std::function<void()> outOfMemory)
    : QObject(&output), m_output(output), m_outOfMemory(std::move(outOfMemory))
{
    connect(&m_output, &TextArea::contextMenuAboutToShow, this, &OutputMenu::addEntries);
}

// The output's recipients, worked out once for each of its texts.
const QList<std::pair<qsizetype, qsizetype>> &OutputMenu::recipients()
{
    if (m_recipientsRevision != m_output.revision()) {
        m_recipients = Recipients::in(m_output.text());
        m_recipientsRevision = m_output.revision();
    }
    return m_recipients;
}

// The recipient the next batch starts with: the first again after the output
// changed or once the last batch reached the end.
qsizetype OutputMenu::nextBatchStart()
{
    const qsizetype count = recipients().size();
    return m_batchRevision == m_output.revision() && m_batchEnd < count ? m_batchEnd : 0;
}

// An entry for each size, but none that would copy what a smaller one does.
void OutputMenu::addEntries(QMenu *menu)
{
    const qsizetype count = recipients().size();
    const qsizetype first = nextBatchStart();
    QMenu *batches = menu->addMenu(tr("Copy Next Batch"));
    batches->setEnabled(count > 0);
    for (const qsizetype size : count > 0 ? batchSizes : std::span<const qsizetype>()) {
        const qsizetype last = qMin(count, first + size);
        batches->addAction(tr("Copy Recipients %1-%2 of %3").arg(number(first + 1), number(last), number(count)), this,
                           [this, size] {
                               try {
                                   copyNextBatch(size);
                               } catch (const std::bad_alloc &) {
                                   m_outOfMemory();
                               }
                           });
        if (last == count)
            break;
    }
}

// Selects the batch, so that it shows where it lies, and copies its
// recipients with a comma between them, none before or after.
void OutputMenu::copyNextBatch(qsizetype size)
{
    const QList<std::pair<qsizetype, qsizetype>> &all = recipients();
    const qsizetype first = nextBatchStart();
    const qsizetype last = qMin(all.size(), first + size);
    const QString text = m_output.text();
    QStringList batch;
    for (qsizetype i = first; i < last; ++i)
        batch << text.sliced(all[i].first, all[i].second - all[i].first);
    QGuiApplication::clipboard()->setText(withLfLineBreaks(batch.join(u',')));
    m_batchEnd = last;
    m_batchRevision = m_output.revision();
    m_output.setSelection(all[first].first, all[last - 1].second);
}
