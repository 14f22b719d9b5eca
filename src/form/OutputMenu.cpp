#include "form/OutputMenu.h"

#include "addresses/MailtoLinks.h"
#include "addresses/Recipients.h"
#include "core/LineBreaks.h"
#include "form/SavedChoices.h"
#include "textview/TextArea.h"

#include <QActionGroup>
#include <QLocale>
#include <QMenu>

#include <algorithm>

namespace {

const QString separatorKey = QStringLiteral("output/separator");
const QString batchSizeKey = QStringLiteral("output/batch-size");
constexpr qsizetype largestBatch = 10'000;

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
    Separators::Kind separator = Separators::Kind::Comma;
    Recipients::Places recipients;
};

OutputMenu::OutputMenu(TextArea &output, Services services)
    : QObject(&output), m_output(output), m_services(std::move(services)),
      m_separator(Separators::named(SavedChoices::value(separatorKey)))
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
    m_writes = menu->addMenu(tr("Write to Next Batch"));
    addSeparatorEntries(menu);
    if (m_recipientsRevision == m_output.revision()) {
        fillBatches();
        return;
    }
    for (QMenu *batches : {m_batches.get(), m_writes.get()})
        batches->addAction(tr("Counting recipients\u2026"))->setEnabled(false);
    startCounting();
    if (m_countingWork.waitFor(m_countingPatience))
        takeCounted();
}

// One entry for each separator, the one in use checked. Another chosen is
// remembered, and the output's recipients are counted again by it.
void OutputMenu::addSeparatorEntries(QMenu *menu)
{
    QMenu *separators = menu->addMenu(tr("Separate With"));
    auto *group = new QActionGroup(separators);
    const std::pair<Separators::Kind, QString> entries[] = {
        {Separators::Kind::Comma, tr("Comma")},
        {Separators::Kind::Semicolon, tr("Semicolon")},
        {Separators::Kind::CommaAndSpace, tr("Comma and Space")},
        {Separators::Kind::OnePerLine, tr("One per Line")},
    };
    for (const auto &[kind, label] : entries) {
        QAction *entry = separators->addAction(label);
        entry->setCheckable(true);
        entry->setChecked(kind == m_separator);
        group->addAction(entry);
        connect(entry, &QAction::triggered, this, [this, kind = kind] {
            m_separator = kind;
            SavedChoices::setValue(separatorKey, Separators::name(kind));
            m_recipientsRevision = ~quint64(0);
        });
    }
}

void OutputMenu::startCounting()
{
    if (m_counting && m_counting->revision == m_output.revision() && m_counting->separator == m_separator
        && m_countingWork.isRunning())
        return;
    try {
        m_counting = std::make_shared<Counting>();
        m_counting->text = m_output.text();
        m_counting->revision = m_output.revision();
        m_counting->separator = m_separator;
        m_countingWork.start([counting = m_counting, cut = Separators::cut(m_separator)](WorkProgress &) {
            counting->recipients = Recipients::placesIn(counting->text, cut);
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
    if (m_counting && !m_countingWork.failure() && m_counting->revision == m_output.revision()
        && m_counting->separator == m_separator) {
        m_recipients = std::move(m_counting->recipients);
        m_recipientsRevision = m_counting->revision;
    }
    m_counting.reset();
    if (!m_batches || !m_writes)
        return;
    if (m_recipientsRevision == m_output.revision()) {
        fillBatches();
        return;
    }
    for (QMenu *batches : {m_batches.get(), m_writes.get()}) {
        batches->clear();
        batches->setEnabled(false);
    }
}

// The recipient the next batch starts with: the first again after the output
// changed or once the last batch reached the end.
qsizetype OutputMenu::nextBatchStart() const
{
    return m_batchRevision == m_output.revision() && m_batchEnd < m_recipients.size() ? m_batchEnd : 0;
}

void OutputMenu::fillBatches()
{
    fillBatches(m_batches, false);
    fillBatches(m_writes, true);
}

// The sizes offered: 50, 100 and 500, and the one last asked for.
QList<qsizetype> OutputMenu::sizes() const
{
    QList<qsizetype> sizes(std::begin(batchSizes), std::end(batchSizes));
    const qsizetype other = SavedChoices::value(batchSizeKey).toLongLong();
    if (other >= 1 && other <= largestBatch && !sizes.contains(other)) {
        sizes.append(other);
        std::sort(sizes.begin(), sizes.end());
    }
    return sizes;
}

// How many of the list's recipients a batch of this size holds: when
// writing with an address in To, that address is one of them.
qsizetype OutputMenu::listRecipientsOf(qsizetype size, bool writing) const
{
    const bool withTo = writing && m_messageRevision == m_output.revision() && !m_message.to.trimmed().isEmpty();
    return qMax<qsizetype>(1, size - (withTo ? 1 : 0));
}

// An entry for each size, but none that would take what a smaller one does;
// a batch that needs more than one message says so.
void OutputMenu::fillBatches(QMenu *menu, bool writing)
{
    menu->clear();
    const qsizetype count = m_recipients.size();
    const qsizetype first = nextBatchStart();
    menu->setEnabled(count > 0);
    for (const qsizetype size : sizes()) {
        if (count == 0)
            break;
        const qsizetype last = qMin(count, first + listRecipientsOf(size, writing));
        QString label = (writing ? tr("Write to Recipients %1-%2 of %3") : tr("Copy Recipients %1-%2 of %3"))
                            .arg(number(first + 1), number(last), number(count));
        const qsizetype messages = writing ? MailtoLinks::of(nextBatch(listRecipientsOf(size, writing)),
                                                             MailtoLinks::Field::Bcc, MailtoLinks::longestArgument,
                                                             m_message)
                                                 .size()
                                           : 1;
        if (messages > 1)
            label += tr(" (in %1 messages)").arg(messages);
        menu->addAction(label, this, [this, size, writing] {
            try {
                writing ? writeToNextBatch(size) : copyNextBatch(size);
            } catch (const std::bad_alloc &) {
                m_services.outOfMemory();
            }
        });
        if (last == count)
            break;
    }
    if (count == 0)
        return;
    menu->addAction(tr("Other Size\u2026"), this, [this, writing] { chooseOtherSize(writing); });
    if (!writing)
        return;
    menu->addSeparator();
    menu->addAction(tr("Message for Every Batch\u2026"), this, [this] {
        m_messageRevision = ~quint64(0);
        knowTheMessage();
    });
    QAction *toField = menu->addAction(tr("Recipients in To, Not Bcc"));
    toField->setCheckable(true);
    toField->setChecked(m_writeToTo);
    connect(toField, &QAction::toggled, this, [this](bool checked) { m_writeToTo = checked; });
}

// Asks for a size, remembers it across starts, and copies or writes a
// batch of it.
void OutputMenu::chooseOtherSize(bool writing)
{
    const std::optional<qsizetype> size = m_services.askSize();
    if (!size)
        return;
    SavedChoices::setValue(batchSizeKey, QString::number(*size));
    try {
        writing ? writeToNextBatch(*size) : copyNextBatch(*size);
    } catch (const std::bad_alloc &) {
        m_services.outOfMemory();
    }
}

// The message every batch of this output carries, asked for the first
// time a batch is written; false when the user cancelled.
bool OutputMenu::knowTheMessage()
{
    if (m_messageRevision == m_output.revision())
        return true;
    const std::optional<MailtoLinks::Message> message = m_services.askMessage(m_message);
    if (!message)
        return false;
    m_message = *message;
    m_messageRevision = m_output.revision();
    return true;
}

// The recipients of the next batch, read from the output's text where the
// batch lies.
QStringList OutputMenu::nextBatch(qsizetype size) const
{
    const qsizetype first = nextBatchStart();
    const qsizetype last = qMin(m_recipients.size(), first + size);
    if (first >= last)
        return {};
    const qsizetype from = m_recipients.start(first);
    const QString lying = m_output.textRange(from, m_recipients.end(last - 1));
    QStringList batch;
    batch.reserve(last - first);
    for (qsizetype i = first; i < last; ++i)
        batch << lying.sliced(m_recipients.start(i) - from, m_recipients.end(i) - m_recipients.start(i));
    return batch;
}

// The next batch is the one after this one, which shows selected.
void OutputMenu::takeBatch(qsizetype size)
{
    const qsizetype first = nextBatchStart();
    const qsizetype last = qMin(m_recipients.size(), first + size);
    m_batchEnd = last;
    m_batchRevision = m_output.revision();
    m_output.setSelection(m_recipients.start(first), m_recipients.end(last - 1));
}

// Selects the batch, so that it shows where it lies, and copies its
// recipients with the separator between them, none before or after.
void OutputMenu::copyNextBatch(qsizetype size)
{
    if (m_recipientsRevision != m_output.revision())
        return;
    const QString between = m_separator == Separators::Kind::OnePerLine ? QStringLiteral("\r\n")
                                                                          : QString(QChar(Separators::cut(m_separator)));
    if (m_services.copy(withLfLineBreaks(nextBatch(size).join(between))))
        takeBatch(size);
}

// Opens a composer for each message the batch needs. Should one fail, the
// recipients of the messages already opened are taken, and said to be, so
// that the next batch starts with the first not yet handed over.
void OutputMenu::writeToNextBatch(qsizetype size)
{
    if (m_recipientsRevision != m_output.revision() || !knowTheMessage())
        return;
    size = listRecipientsOf(size, true);
    const MailtoLinks::Field field = m_writeToTo ? MailtoLinks::Field::To : MailtoLinks::Field::Bcc;
    const qsizetype first = nextBatchStart();
    qsizetype handed = 0;
    for (const QString &link : MailtoLinks::of(nextBatch(size), field, MailtoLinks::longestArgument, m_message)) {
        const QString handedOver = handed == 0 ? QString()
                                               : tr("Recipients %1-%2 are in a message already; the next batch "
                                                    "starts with recipient %3.")
                                                     .arg(number(first + 1), number(first + handed), number(first + handed + 1));
        if (!m_services.compose(link, handedOver)) {
            if (handed > 0)
                takeBatch(handed);
            return;
        }
        handed += MailtoLinks::recipientsIn(link);
    }
    takeBatch(size);
}
