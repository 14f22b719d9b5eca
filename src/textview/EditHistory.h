#pragma once

#include "textview/LineChoice.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Undo and redo for a text area. Each step replaces, at one position, the
// removed text with the inserted text. A run of typing, of Backspace or of
// Delete is one step, until the caret is moved by other means.
class EditHistory
{
public:
    struct Edit
    {
        qsizetype position = 0;
        QString removed;
        QString inserted;
        qsizetype caretBefore = 0;
        qsizetype anchorBefore = 0;
        // The step replaced the whole text. What it put in is then the text
        // itself until the step is undone, and only then kept here: the
        // history shares no string with the text that an edit would have to
        // copy.
        bool wholeText = false;
        // A whole text made of some of the lines before it: neither text
        // is kept, only which lines it took, and those it left out.
        std::shared_ptr<const LineChoice> choice = nullptr;
    };
    enum class Kind { Other, Typing, Backspace, Delete };

    // Records a step, or adds it to the last one; all or nothing should
    // memory run out.
    void record(Edit edit, Kind kind);
    // Makes room for one more step, so that recording a step of kind Other
    // cannot run out of memory.
    void reserveStep();
    // The next edit starts a step of its own.
    void endRun() { m_lastKind = Kind::Other; }
    void clear();

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_edits.size(); }
    // The step to undo or redo; once the caller has applied it, undone() or
    // redone() moves past it.
    Edit &toUndo() { return m_edits[m_done - 1]; }
    Edit &toRedo() { return m_edits[m_done]; }
    void undone();
    void redone();

private:
    static std::optional<Edit> mergedWith(const Edit &last, const Edit &edit, Kind kind);

    std::vector<Edit> m_edits;
    size_t m_done = 0;
    Kind m_lastKind = Kind::Other;
};
