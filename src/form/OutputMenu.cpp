#include "form/OutputMenu.h"

#include "addresses/Recipients.h"
#include "core/LineBreaks.h"
#include "textview/TextArea.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>

namespace {

QString number(qsizetype n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

} // namespace

// The recipients of one text of the output, counted on the work's thread and
// read on the window's once the work has ended.
struct OutputMenu::Counting
{
    QString text;
    quint64 revision = 0;
    Places recipients;
};

OutputMenu::OutputMenu(TextArea &output, std::function<void()> outOfMemory)
    : QObject(&output), m_output(output), m_outOfMemory(std::move(outOfMemory))
{
    connect(&m_output, &TextArea::contextMenuAboutToShow, this, &OutputMenu::addEntries);
    connect(&m_countingWork, &ListWork::ended, this, &OutputMenu::takeCounted);
}

// The submenu of batches shows at once: with its entries when the output's
// recipients are known, else with a line saying that they are being
// counted.
void OutputMenu::addEntries(QMenu *menu)
{
    m_batches = menu->addMenu(tr("Copy Next Batch"));
    if (m_recipientsRevision == m_output.revision()) {
        fillBatches();
        return;
    }
    m_batches->addAction(tr("Counting recipients\u2026"))->setEnabled(false);
    startCounting();
    if (m_countingWork.waitFor(m_countingPatience))
        takeCounted();
}

void OutputMenu::startCounting()
{
    if (m_counting && m_counting->revision == m_output.revision() && m_countingWork.isRunning())
        return;
    try {
        m_counting = std::make_shared<Counting>();
        m_counting->text = m_output.text();
        m_counting->revision = m_output.revision();
        m_countingWork.start([counting = m_counting](WorkProgress &) {
            counting->recipients = Recipients::in(counting->text);
        });
    } catch (const std::bad_alloc &) {
        m_counting.reset();
        takeCounted();
    }
}

// The recipients, once the counting has ended: the batch entries follow
// them. Without them (memory ran short), the submenu offers nothing.
void OutputMenu::takeCounted()
{
    if (m_countingWork.isRunning())
        return;
    if (m_counting && !m_countingWork.failure() && m_counting->revision == m_output.revision()) {
        m_recipients = std::move(m_counting->recipients);
        m_recipientsRevision = m_counting->revision;
    }
    m_counting.reset();
    if (!m_batches)
        return;
    if (m_recipientsRevision == m_output.revision()) {
        fillBatches();
    } else {
        m_batches->clear();
        m_batches->setEnabled(false);
    }
}

// The recipient the next batch starts with: the first again after the output
// changed or once the last batch reached the end.
qsizetype OutputMenu::nextBatchStart() const
{
    return m_batchRevision == m_output.revision() && m_batchEnd < m_recipients.size() ? m_batchEnd : 0;
}

// An entry for each size, but none that would copy what a smaller one does.
void OutputMenu::fillBatches()
{
    m_batches->clear();
    const qsizetype count = m_recipients.size();
    const qsizetype first = nextBatchStart();
    m_batches->setEnabled(count > 0);
    for (const qsizetype size : batchSizes) {
        if (count == 0)
            break;
        const qsizetype last = qMin(count, first + size);
        m_batches->addAction(tr("Copy Recipients %1-%2 of %3").arg(number(first + 1), number(last), number(count)),
                             this, [this, size] {
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
    if (m_recipientsRevision != m_output.revision())
        return;
    const qsizetype first = nextBatchStart();
    const qsizetype last = qMin(m_recipients.size(), first + size);
    const QString text = m_output.text();
    QStringList batch;
    for (qsizetype i = first; i < last; ++i)
        batch << text.sliced(m_recipients[i].first, m_recipients[i].second - m_recipients[i].first);
    QGuiApplication::clipboard()->setText(withLfLineBreaks(batch.join(u',')));
    m_batchEnd = last;
    m_batchRevision = m_output.revision();
    m_output.setSelection(m_recipients[first].first, m_recipients[last - 1].second);
}
