#include "textview/TextAreaAccessible.h"

#include "textview/TextArea.h"

#include <QAccessibleWidget>
#include <QScrollBar>

#include <algorithm>

namespace {

// No answer carries more than this many characters.
constexpr int mostCharacters = 4096;

class TextAreaAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit TextAreaAccessible(TextArea *area) : QAccessibleWidget(area, QAccessible::EditableText) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return area()->textRange(0, mostCharacters);
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && area()->hasSelection()) {
            *startOffset = int(qMin(area()->caretPosition(), area()->anchorPosition()));
            *endOffset = int(qMax(area()->caretPosition(), area()->anchorPosition()));
        }
    }
    int selectionCount() const override { return area()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { area()->setSelection(startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            area()->setSelection(area()->caretPosition(), area()->caretPosition());
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            area()->setSelection(startOffset, endOffset);
    }
    int cursorPosition() const override { return int(area()->caretPosition()); }
    void setCursorPosition(int position) override { area()->setSelection(position, position); }
    QString text(int startOffset, int endOffset) const override
    {
        return area()->textRange(startOffset, qMin(endOffset, startOffset + mostCharacters));
    }
    int characterCount() const override { return int(qMin<qsizetype>(area()->size(), INT_MAX)); }
    QRect characterRect(int offset) const override
    {
        TextArea *a = area();
        QRect rect = a->caretRectAt(std::clamp<qsizetype>(offset, 0, a->size()));
        rect.setWidth(qMax(1, a->fontMetrics().averageCharWidth()));
        return QRect(a->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return int(area()->positionAt(area()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        Q_UNUSED(endIndex);
        area()->setSelection(startIndex, startIndex);
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        Q_UNUSED(offset);
        return QString();
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                         int *endOffset) const override
    {
        return piece(offset, boundary, startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                             int *endOffset) const override
    {
        int start = 0;
        int end = 0;
        piece(offset, boundary, &start, &end);
        return start > 0 ? piece(start - 1, boundary, startOffset, endOffset) : empty(startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                            int *endOffset) const override
    {
        int start = 0;
        int end = 0;
        piece(offset, boundary, &start, &end);
        return end < characterCount() ? piece(end, boundary, startOffset, endOffset) : empty(startOffset, endOffset);
    }

private:
    TextArea *area() const { return static_cast<TextArea *>(widget()); }

    static QString empty(int *startOffset, int *endOffset)
    {
        *startOffset = *endOffset = -1;
        return QString();
    }

    // The character, word or line at an offset; a line no longer than the
    // bound around the offset.
    QString piece(int offset, QAccessible::TextBoundaryType boundary, int *startOffset, int *endOffset) const
    {
        const int count = characterCount();
        offset = qBound(0, offset, count);
        int start = offset;
        int end = qMin(count, offset + 1);
        if (boundary == QAccessible::CharBoundary) {
            // one character
        } else if (boundary == QAccessible::WordBoundary) {
            const QString around = area()->textRange(qMax(0, offset - 256), qMin(count, offset + 256));
            const int at = offset - qMax(0, offset - 256);
            int from = at;
            int to = at;
            while (from > 0 && around[from - 1].isLetterOrNumber())
                --from;
            while (to < around.size() && around[to].isLetterOrNumber())
                ++to;
            start = offset - (at - from);
            end = qMax(start + 1, offset + (to - at));
        } else {
            qsizetype lineStart = 0;
            const QString line = area()->textAround(offset, &lineStart);
            start = int(lineStart);
            end = int(lineStart + line.size());
            if (boundary == QAccessible::NoBoundary) {
                start = 0;
                end = qMin(count, mostCharacters);
            }
        }
        *startOffset = start;
        *endOffset = qMin(end, count);
        return area()->textRange(*startOffset, *endOffset);
    }
};

QAccessibleInterface *textAreaInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("TextArea") && object && object->isWidgetType())
        return new TextAreaAccessible(static_cast<TextArea *>(object));
    return nullptr;
}

} // namespace

void installTextAreaAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(textAreaInterface);
        return true;
    }();
    Q_UNUSED(installed);
}
