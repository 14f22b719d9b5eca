#pragma once

#include "textview/EditHistory.h"
#include "textview/TextBuffer.h"

#include <optional>

// A text area's text with its undo and redo history. Every edit is all or
// nothing: should memory run out, it raises std::bad_alloc and the text and
// history are as they were.
class TextDocument
{
public:
    // What an edit did: at position, removed went and inserted came; the
    // caret and anchor stand where they should after it.
    struct Change
    {
        qsizetype position = 0;
        QString removed;
        QString inserted;
        qsizetype caret = 0;
        qsizetype anchor = 0;
        qsizetype removedBreaks = 0; // line breaks among what went and what came
        qsizetype insertedBreaks = 0;
        bool isEmpty() const { return removed.isEmpty() && inserted.isEmpty(); }
    };

    const TextBuffer &buffer() const { return m_buffer; }

    // New text, with no history; on running out of memory, left empty.
    void setText(QString text);
    // Adds to the end, as the program's own filling of the area: the
    // history goes.
    void append(const QString &text);
    // From beginStep() to endStep(), what setText() and append() do keeps the
    // history and is one step that undo takes back; the caret and anchor
    // given are where undo puts them. Only beginStep() may run out of memory.
    void beginStep(qsizetype caret, qsizetype anchor);
    void endStep();

    // A whole new text, its buffer made beforehand (on another thread, say),
    // as one step; caret and anchor are where they stood before, for undo.
    // With a choice, the new text is the lines it chose of this one.
    Change replaceAll(TextBuffer &&next, qsizetype caret, qsizetype anchor,
                      std::shared_ptr<const LineChoice> choice = nullptr);
    // Replaces length characters at position with text, its line breaks made
    // CR LF; caret and anchor are where they stood before, for undo.
    Change replace(qsizetype position, qsizetype length, const QString &text, EditHistory::Kind kind, qsizetype caret,
                   qsizetype anchor);
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    Change undo();
    Change redo();
    // The next edit starts a step of its own.
    void endRun() { m_history.endRun(); }

private:
    Change apply(const EditHistory::Edit &step, bool undoing);
    Change replaceWhole(TextBuffer &&next, EditHistory::Kind kind, qsizetype caret, qsizetype anchor,
                        std::shared_ptr<const LineChoice> choice = nullptr);
    static TextBuffer bufferOf(const QString &text);
    TextBuffer otherTextOf(const LineChoice &choice, bool undoing) const;
    void swapIn(TextBuffer &&buffer, Change &change);

    TextBuffer m_buffer;
    EditHistory m_history;
    std::optional<EditHistory::Edit> m_step; // the text as a step began
};
