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
            const qsizetype from = m_editor.caret() + event->replacementStart();
            m_editor.selectOutwards(from, from + event->replacementLength());
        }
        edit([&] { return m_editor.type(event->commitString(), EditHistory::Kind::Other); });
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
    m_composition.position = m_editor.caret();
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
    const qsizetype caret = m_editor.caret();
    const qsizetype anchor = m_editor.anchor();
    qsizetype start = 0;
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return m_geometry.font();
    case Qt::ImCursorPosition:
        textAround(caret, &start);
        return int(caret - start);
    case Qt::ImAnchorPosition:
        textAround(caret, &start);
        return int(std::clamp<qsizetype>(anchor - start, 0, 1024));
    case Qt::ImSurroundingText:
        return textAround(caret, &start);
    case Qt::ImTextBeforeCursor: {
        const QString around = textAround(caret, &start);
        return around.left(caret - start);
    }
    case Qt::ImTextAfterCursor: {
        const QString around = textAround(caret, &start);
        return around.mid(caret - start);
    }
    case Qt::ImCurrentSelection:
        return textRange(qMin(caret, anchor), qMin(qMax(caret, anchor), qMin(caret, anchor) + 1024));
    case Qt::ImAbsolutePosition:
        return qlonglong(caret);
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
