#include "form/InputWork.h"

#include "join/LineJoiner.h"
#include "platform/ProgressPanel.h"
#include "textview/TextArea.h"

#include <QApplication>

#include <optional>

namespace {

// Whether the lines, with a break between them, spell the text.
bool spell(QStringView text, const QList<QStringView> &lines, QStringView between)
{
    qsizetype at = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            if (!text.sliced(at).startsWith(between))
                return false;
            at += between.size();
        }
        const QStringView line = lines[i];
        // Lines left as they were are views of the text where they stand.
        if (line.size() > text.size() - at || (line.data() != text.data() + at && line != text.sliced(at, line.size())))
            return false;
        at += line.size();
    }
    return at == text.size();
}

// Texts one after the other, each let go once it is in, so that they are
// never held twice.
QString concatenated(QStringList &texts)
{
    if (texts.size() == 1)
        return std::exchange(texts.front(), {});
    qsizetype size = 0;
    for (const QString &text : texts)
        size += text.size();
    QString whole;
    whole.reserve(size);
    for (QString &text : texts)
        whole += std::exchange(text, {});
    return whole;
}

} // namespace

InputWork::Lines InputWork::Lines::following(QStringList texts)
{
    Lines lines = of(std::move(texts));
    lines.between = {};
    return lines;
}

InputWork::Lines InputWork::Lines::of(QStringList made)
{
    Lines lines;
    lines.views.reserve(made.size());
    for (const QString &line : made)
        lines.views.append(line);
    lines.kept = std::move(made);
    return lines;
}

InputWork::Lines InputWork::Lines::chosen(const QList<QStringView> &lines, std::vector<quint32> places)
{
    Lines made;
    made.views.reserve(qsizetype(places.size()));
    for (const quint32 place : places)
        made.views.append(lines[place]);
    made.choice = LineChoice::of(lines, std::move(places));
    return made;
}

// The work under way: the text it started from and what it makes of it;
// for the whole text, a new text the area takes as it is.
struct InputWork::Job
{
    QString text;
    quint64 revision = 0;
    std::pair<qsizetype, qsizetype> scope;
    bool selected = false;
    QString label;
    QString made;
    bool unchanged = false;
    std::optional<TextArea::NewText> whole;
    std::function<void()> afterwards;
};

InputWork::InputWork(TextArea &input, std::function<void()> outOfMemory)
    : QObject(&input), m_input(input), m_outOfMemory(std::move(outOfMemory))
{
    connect(&m_work, &ListWork::ended, this, &InputWork::finish);
    connect(&m_input, &TextArea::textChanged, this, [this] {
        if (m_work.isRunning())
            cancel();
    });
    m_panel = new ProgressPanel(m_input.parentWidget());
    connect(m_panel, &ProgressPanel::cancelled, this, &InputWork::cancel);
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] { m_panel->setPermille(m_work.permille()); });
}

void InputWork::start(const QString &label, std::pair<qsizetype, qsizetype> scope, Make make,
                      std::function<void()> afterwards)
{
    // Work that was stopped may still be winding down: the new work waits
    // for it to end. Only work whose result is still wanted stands in the way.
    if (refusedWhileBusy())
        return;
    try {
        m_job = std::make_shared<Job>();
        m_job->text = m_input.text();
        m_job->revision = m_input.revision();
        m_job->scope = scope;
        m_job->selected = m_input.hasSelection();
        m_job->label = label;
        m_job->afterwards = std::move(afterwards);
        if (scope.first == 0 && scope.second == m_job->text.size())
            m_job->whole.emplace(m_input.newText());
        m_work.start([job = m_job, make = std::move(make)](ListTidying::Progress &progress) {
            const auto [start, end] = job->scope;
            const QStringView lines = QStringView(job->text).sliced(start, end - start);
            Lines made = make(lines, progress);
            job->unchanged = spell(lines, made.views, made.between);
            if (job->unchanged)
                return;
            // Lines made anew may hold line breaks that the buffer makes CR
            // LF; texts one after the other (a load) are not copied again.
            if (job->whole && made.choice)
                job->whole->setLines(made.views, *std::move(made.choice));
            else if (job->whole && made.kept.isEmpty())
                job->whole->setLines(made.views);
            else if (job->whole && made.between.isEmpty())
                job->whole->setText(concatenated(made.kept));
            else if (job->whole)
                job->whole->setText(LineJoiner::joined(made.views, made.between));
            else
                job->made = LineJoiner::joined(made.views, made.between);
        });
    } catch (const std::bad_alloc &) {
        m_job.reset();
        m_outOfMemory();
        return;
    }
    if (m_work.waitFor(m_patience)) {
        finish();
        return;
    }
    m_panel->showOver(m_input.geometry(), label);
    m_progressTimer.start();
}

bool InputWork::refusedWhileBusy() const
{
    if (!m_job)
        return false;
    if (m_tellBusy)
        m_tellBusy(m_job->label);
    return true;
}

void InputWork::hideProgress()
{
    m_progressTimer.stop();
    // The window's focus, even while another window is active: the input
    // takes it back from the panel then too, instead of nothing having it.
    const QWidget *focus = m_panel->window()->focusWidget();
    const bool focused = focus == m_panel || m_panel->isAncestorOf(focus);
    m_panel->hide();
    if (focused)
        m_input.setFocus();
}

void InputWork::finish()
{
    if (!m_job || m_work.isRunning())
        return;
    const std::shared_ptr<Job> job = std::exchange(m_job, nullptr);
    hideProgress();
    try {
        if (m_work.failure())
            std::rethrow_exception(m_work.failure());
    } catch (const ListTidying::Cancelled &) {
        return;
    } catch (const std::bad_alloc &) {
        m_outOfMemory();
        return;
    }
    // A text changed meanwhile is not what the work started from; lines
    // that stay as they were make no step to undo.
    const auto [start, end] = job->scope;
    if (m_input.revision() != job->revision)
        return;
    if (!job->unchanged) {
        qsizetype madeEnd = start + job->made.size();
        if (job->whole) {
            m_input.replaceText(*std::move(job->whole));
            madeEnd = m_input.size();
        } else {
            m_input.replaceRange(start, end, job->made);
        }
        m_input.setSelection(job->selected ? start : madeEnd, madeEnd);
    }
    if (job->afterwards)
        job->afterwards();
}

void InputWork::cancel()
{
    m_work.cancel();
    m_job.reset();
    hideProgress();
}
