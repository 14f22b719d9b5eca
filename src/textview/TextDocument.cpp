#include "textview/TextDocument.h"

#include "core/LineBreaks.h"

#include <utility>

void TextDocument::setText(QString text)
{
    if (!m_step)
        m_history.clear();
    m_buffer.setText(std::move(text));
}

void TextDocument::append(const QString &text)
{
    m_buffer.insert(m_buffer.size(), text);
    if (!m_step)
        m_history.clear();
}

// The old text is shared, not copied; room for the step is made now, so
// that recording it at the end needs no memory.
void TextDocument::beginStep(qsizetype caret, qsizetype anchor)
{
    m_history.reserveStep();
    m_step = EditHistory::Edit{0, m_buffer.text(), QString(), caret, anchor, true};
}

void TextDocument::endStep()
{
    EditHistory::Edit step = *std::exchange(m_step, std::nullopt);
    if (m_buffer.text() != step.removed)
        m_history.record(std::move(step), EditHistory::Kind::Other);
}

// The new text goes in before the old goes out, and is recorded in between:
// each step gives strong guarantees and removing needs no memory, so a
// failure undoes what was done and leaves all as it was.
TextDocument::Change TextDocument::replace(qsizetype position, qsizetype length, const QString &text,
                                           EditHistory::Kind kind, qsizetype caret, qsizetype anchor)
{
    // A whole new text takes a buffer of its own; typed into an empty text,
    // it stays a run of typing that goes on with the next key.
    if (position == 0 && length == m_buffer.size() && (length > 0 || kind == EditHistory::Kind::Other))
        return replaceWhole(bufferOf(text), kind, caret, anchor);
    Change change{position, m_buffer.mid(position, length), withCrLfLineBreaks(text)};
    if (change.isEmpty())
        return change;
    change.caret = change.anchor = position + change.inserted.size();
    const qsizetype lines = m_buffer.lineCount();
    m_buffer.insert(position + length, change.inserted);
    try {
        m_history.record({position, change.removed, change.inserted, caret, anchor}, kind);
    } catch (...) {
        m_buffer.remove(position + length, change.inserted.size());
        throw;
    }
    change.removedBreaks = m_buffer.lineOf(position + length) - m_buffer.lineOf(position);
    m_buffer.remove(position, length);
    change.insertedBreaks = m_buffer.lineCount() - lines + change.removedBreaks;
    return change;
}

TextDocument::Change TextDocument::undo()
{
    EditHistory::Edit &step = m_history.toUndo();
    const bool keepsInserted = step.wholeText && !step.choice;
    if (keepsInserted)
        step.inserted = m_buffer.text();
    try {
        Change change = apply(step, true);
        m_history.undone();
        return change;
    } catch (...) {
        if (keepsInserted)
            step.inserted = QString();
        throw;
    }
}

TextDocument::Change TextDocument::redo()
{
    EditHistory::Edit &step = m_history.toRedo();
    Change change = apply(step, false);
    if (step.wholeText)
        step.inserted = QString();
    m_history.redone();
    return change;
}

// Undoing puts back what the step removed and the caret and anchor as they
// were; redoing does the step again and puts the caret after it.
TextDocument::Change TextDocument::apply(const EditHistory::Edit &step, bool undoing)
{
    std::optional<TextBuffer> chosen;
    Change change;
    if (step.choice) {
        chosen = otherTextOf(*step.choice, undoing);
        change = {0, m_buffer.text(), chosen->text()};
    } else {
        change = {step.position, undoing ? step.inserted : step.removed, undoing ? step.removed : step.inserted};
    }
    const qsizetype after = step.position + change.inserted.size();
    change.caret = undoing ? step.caretBefore : after;
    change.anchor = undoing ? step.anchorBefore : after;
    if (step.position == 0 && change.removed.size() == m_buffer.size()) {
        swapIn(chosen ? *std::move(chosen) : bufferOf(change.inserted), change);
        return change;
    }
    const qsizetype lines = m_buffer.lineCount();
    m_buffer.insert(step.position + change.removed.size(), change.inserted);
    change.removedBreaks = m_buffer.lineOf(step.position + change.removed.size()) - m_buffer.lineOf(step.position);
    m_buffer.remove(step.position, change.removed.size());
    change.insertedBreaks = m_buffer.lineCount() - lines + change.removedBreaks;
    return change;
}

// A whole new text is shared with the history rather than copied in through
// the gap; the new buffer is complete before anything changes.
TextDocument::Change TextDocument::replaceAll(TextBuffer &&next, qsizetype caret, qsizetype anchor,
                                              std::shared_ptr<const LineChoice> choice)
{
    return replaceWhole(std::move(next), EditHistory::Kind::Other, caret, anchor, std::move(choice));
}

TextDocument::Change TextDocument::replaceWhole(TextBuffer &&next, EditHistory::Kind kind, qsizetype caret,
                                                qsizetype anchor, std::shared_ptr<const LineChoice> choice)
{
    Change change{0, m_buffer.text(), next.text()};
    if (change.isEmpty())
        return change;
    change.caret = change.anchor = change.inserted.size();
    m_history.record({0, choice ? QString() : change.removed, QString(), caret, anchor, true, std::move(choice)}, kind);
    swapIn(std::move(next), change);
    return change;
}

TextBuffer TextDocument::bufferOf(const QString &text)
{
    TextBuffer buffer;
    buffer.setText(text);
    return buffer;
}

// The text a step of chosen lines made, out of the one it was made from
// (redoing), or that one out of the text made (undoing).
TextBuffer TextDocument::otherTextOf(const LineChoice &choice, bool undoing) const
{
    const QString text = m_buffer.text();
    const auto line = [&](quint32 i) { return QStringView(text).sliced(m_buffer.lineStart(i), m_buffer.lineLength(i)); };
    TextBuffer other;
    other.setLines(undoing ? choice.restoredFrom(line) : choice.madeFrom(line), [](qsizetype, QStringView) {});
    return other;
}

void TextDocument::swapIn(TextBuffer &&buffer, Change &change)
{
    change.removedBreaks = m_buffer.lineCount() - 1;
    change.insertedBreaks = buffer.lineCount() - 1;
    m_buffer = std::move(buffer);
}
