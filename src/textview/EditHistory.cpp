#include "textview/EditHistory.h"

// Everything that may run out of memory comes first: should it, the history
// is as it was.
void EditHistory::record(Edit edit, Kind kind)
{
    if (kind != Kind::Other && kind == m_lastKind && m_done == m_edits.size() && !m_edits.empty()) {
        if (std::optional<Edit> merged = mergedWith(m_edits.back(), edit, kind)) {
            m_edits.back() = *std::move(merged);
            return;
        }
    }
    // Dropping what could be redone leaves room for one more step; where
    // there was nothing to drop, growing for it gives all or nothing.
    m_edits.resize(m_done);
    m_edits.push_back(std::move(edit));
    m_done = m_edits.size();
    m_lastKind = kind;
}

void EditHistory::reserveStep()
{
    if (m_edits.capacity() <= m_done)
        m_edits.reserve(qMax<size_t>(16, 2 * m_done));
}

// The last step and a new one of the same run as one step, when they touch.
std::optional<EditHistory::Edit> EditHistory::mergedWith(const Edit &last, const Edit &edit, Kind kind)
{
    if (last.wholeText)
        return std::nullopt;
    Edit merged = last;
    switch (kind) {
    case Kind::Typing:
        if (!edit.removed.isEmpty() || edit.position != last.position + last.inserted.size())
            return std::nullopt;
        merged.inserted += edit.inserted;
        return merged;
    case Kind::Backspace:
        if (edit.position + edit.removed.size() != last.position || !last.inserted.isEmpty())
            return std::nullopt;
        merged.removed.prepend(edit.removed);
        merged.position = edit.position;
        return merged;
    case Kind::Delete:
        if (edit.position != last.position || !last.inserted.isEmpty())
            return std::nullopt;
        merged.removed += edit.removed;
        return merged;
    case Kind::Other:
        break;
    }
    return std::nullopt;
}

void EditHistory::clear()
{
    m_edits.clear();
    m_done = 0;
    m_lastKind = Kind::Other;
}

void EditHistory::undone()
{
    --m_done;
    m_lastKind = Kind::Other;
}

void EditHistory::redone()
{
    ++m_done;
    m_lastKind = Kind::Other;
}
