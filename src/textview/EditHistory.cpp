#include "textview/EditHistory.h"

void EditHistory::record(Edit edit, Kind kind)
{
    m_edits.resize(m_done);
    if (kind == Kind::Other || kind != m_lastKind || !merge(edit, kind)) {
        m_edits.push_back(std::move(edit));
        m_done = m_edits.size();
    }
    m_lastKind = kind;
}

bool EditHistory::merge(const Edit &edit, Kind kind)
{
    if (m_edits.empty())
        return false;
    Edit &last = m_edits.back();
    switch (kind) {
    case Kind::Typing:
        if (!edit.removed.isEmpty() || edit.position != last.position + last.inserted.size())
            return false;
        last.inserted += edit.inserted;
        return true;
    case Kind::Backspace:
        if (edit.position + edit.removed.size() != last.position || !last.inserted.isEmpty())
            return false;
        last.removed.prepend(edit.removed);
        last.position = edit.position;
        return true;
    case Kind::Delete:
        if (edit.position != last.position || !last.inserted.isEmpty())
            return false;
        last.removed += edit.removed;
        return true;
    case Kind::Other:
        break;
    }
    return false;
}

void EditHistory::clear()
{
    m_edits.clear();
    m_done = 0;
    m_lastKind = Kind::Other;
}

const EditHistory::Edit &EditHistory::undo()
{
    m_lastKind = Kind::Other;
    return m_edits[--m_done];
}

const EditHistory::Edit &EditHistory::redo()
{
    m_lastKind = Kind::Other;
    return m_edits[m_done++];
}
