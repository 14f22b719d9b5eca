// The text area and input methods: what they compose and commit, and what
// they may read of the text.
#include "textview/TextArea.h"

#include <QInputMethodEvent>
#include <QTextCharFormat>

#include <algorithm>

void TextArea::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        if (!hasSelection() && event->replacementLength() > 0) {
            // The replaced range never ends inside a line break or a
            // surrogate pair: those go whole or not at all.
            const qsizetype from = qBound<qsizetype>(0, m_caret + event->replacementStart(), m_buffer.size());
            const qsizetype to = qBound<qsizetype>(from, from + event->replacementLength(), m_buffer.size());
            m_anchor = whole(from, false);
            m_caret = whole(to, true);
        }
        insertTyped(event->commitString(), EditHistory::Kind::Other);
    }
    setComposition(event);
    viewport()->update();
    event->accept();
}

// What the input method composes, shown at the caret with the input
// method's own formats (underlined when it gives none).
void TextArea::setComposition(const QInputMethodEvent *event)
{
    m_composition = {};
    if (event->preeditString().isEmpty())
        return;
    m_composition.position = m_caret;
    m_composition.text = event->preeditString();
    m_composition.cursor = int(m_composition.text.size());
    for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            m_composition.cursor = attribute.start;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = attribute.value.value<QTextFormat>().toCharFormat();
            if (format.isValid())
                m_composition.formats.append({attribute.start, attribute.length, format});
        }
    }
    if (m_composition.formats.isEmpty()) {
        QTextCharFormat underlined;
        underlined.setFontUnderline(true);
        m_composition.formats.append({0, int(m_composition.text.size()), underlined});
    }
}

QVariant TextArea::inputMethodQuery(Qt::InputMethodQuery query) const
{
    qsizetype start = 0;
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return m_geometry.font();
    case Qt::ImCursorPosition:
        textAround(m_caret, &start);
        return int(m_caret - start);
    case Qt::ImAnchorPosition:
        textAround(m_caret, &start);
        return int(std::clamp<qsizetype>(m_anchor - start, 0, 1024));
    case Qt::ImSurroundingText:
        return textAround(m_caret, &start);
    case Qt::ImTextBeforeCursor: {
        const QString around = textAround(m_caret, &start);
        return around.left(m_caret - start);
    }
    case Qt::ImTextAfterCursor: {
        const QString around = textAround(m_caret, &start);
        return around.mid(m_caret - start);
    }
    case Qt::ImCurrentSelection:
        return textRange(qMin(m_caret, m_anchor), qMin(qMax(m_caret, m_anchor), qMin(m_caret, m_anchor) + 1024));
    case Qt::ImAbsolutePosition:
        return qlonglong(m_caret);
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
