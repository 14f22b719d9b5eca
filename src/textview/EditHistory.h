#pragma once

#include <QString>

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
    };
    enum class Kind { Other, Typing, Backspace, Delete };

    void record(Edit edit, Kind kind);
    // The next edit starts a step of its own.
    void endRun() { m_lastKind = Kind::Other; }
    void clear();

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_edits.size(); }
    // The step to undo or redo; the caller applies it.
    const Edit &undo();
    const Edit &redo();

private:
    bool merge(const Edit &edit, Kind kind);

    std::vector<Edit> m_edits;
    size_t m_done = 0;
    Kind m_lastKind = Kind::Other;
};
