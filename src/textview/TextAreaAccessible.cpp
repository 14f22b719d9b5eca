#include "textview/TextAreaAccessible.h"

#include "core/LineBreaks.h"
#include "textview/TextArea.h"
#include "textview/Words.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace {

// No answer carries more than this many characters: a list of a few
// thousand addresses is read whole, a joined million is read in pieces.
constexpr qsizetype mostCharacters = 1 << 20;
// Nor does an event.
constexpr qsizetype mostInEvent = 1000;

TextAreaAccessibility::Listener &listener()
{
    static TextAreaAccessibility::Listener heard;
    return heard;
}

bool anyoneListens()
{
    return QAccessible::isActive() || listener();
}

void tell(QAccessibleEvent &event)
{
    if (listener())
        listener()(event);
    if (QAccessible::isActive())
        QAccessible::updateAccessibility(&event);
}

class TextAreaAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit TextAreaAccessible(TextArea *area) : QAccessibleWidget(area, QAccessible::EditableText) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
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
            return text(0, characterCount());
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && area()->hasSelection()) {
            *startOffset = offset(qMin(area()->caretPosition(), area()->anchorPosition()));
            *endOffset = offset(qMax(area()->caretPosition(), area()->anchorPosition()));
        }
    }
    int selectionCount() const override { return area()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { select(startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            area()->setSelection(area()->caretPosition(), area()->caretPosition());
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            select(startOffset, endOffset);
    }
    int cursorPosition() const override { return offset(area()->caretPosition()); }
    void setCursorPosition(int position) override { select(position, position); }
    QString text(int startOffset, int endOffset) const override
    {
        return area()->textBetweenOffsets(startOffset, qMin<qsizetype>(endOffset, qsizetype(startOffset) + mostCharacters));
    }
    int characterCount() const override { return int(qMin<qsizetype>(area()->offsetCount(), INT_MAX)); }
    QRect characterRect(int offset) const override
    {
        TextArea *a = area();
        QRect rect = a->caretRectAt(a->positionOfOffset(offset));
        rect.setWidth(qMax(1, a->fontMetrics().averageCharWidth()));
        return QRect(a->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return offset(area()->positionAt(area()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        Q_UNUSED(endIndex);
        select(startIndex, startIndex);
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        Q_UNUSED(offset);
        *startOffset = 0;
        *endOffset = characterCount();
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
        return start > 0 ? piece(start - 1, boundary, startOffset, endOffset) : nothing(startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int *startOffset,
                            int *endOffset) const override
    {
        int start = 0;
        int end = 0;
        piece(offset, boundary, &start, &end);
        return end < characterCount() ? piece(end, boundary, startOffset, endOffset) : nothing(startOffset, endOffset);
    }

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, QString()); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        area()->replaceRange(area()->positionOfOffset(qMin(startOffset, endOffset)),
                             area()->positionOfOffset(qMax(startOffset, endOffset)), text);
    }

private:
    TextArea *area() const { return static_cast<TextArea *>(widget()); }
    int offset(qsizetype position) const { return int(qMin<qsizetype>(area()->offsetOf(position), INT_MAX)); }
    void select(int startOffset, int endOffset)
    {
        area()->setSelection(area()->positionOfOffset(startOffset), area()->positionOfOffset(endOffset));
    }

    static QString nothing(int *startOffset, int *endOffset)
    {
        *startOffset = *endOffset = -1;
        return QString();
    }

    // The character, word or line at an offset; a line no longer than the
    // bound around the offset.
    QString piece(int offset, QAccessible::TextBoundaryType boundary, int *startOffset, int *endOffset) const
    {
        const qsizetype count = characterCount();
        const qsizetype at = std::clamp<qsizetype>(offset, 0, count);
        qsizetype start = at;
        qsizetype end = qMin(count, at + 1);
        if (boundary == QAccessible::NoBoundary) {
            start = 0;
            end = qMin(count, mostCharacters);
        } else if (boundary != QAccessible::CharBoundary) {
            // The line around the offset, as far as the bound reaches.
            const qsizetype position = area()->positionOfOffset(at);
            const qsizetype lineStart = area()->offsetOf(area()->lineStartOf(position));
            const qsizetype lineEnd = area()->offsetOf(area()->lineEndOf(position));
            start = qMax(lineStart, at - mostCharacters / 2);
            end = qMin(lineEnd, start + mostCharacters);
            if (boundary == QAccessible::WordBoundary) {
                const QString line = area()->textBetweenOffsets(start, end);
                const auto [from, to] = Words::around(line, at - start);
                end = start + to;
                start += from;
            }
        }
        *startOffset = int(start);
        *endOffset = int(end);
        return area()->textBetweenOffsets(start, end);
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

namespace TextAreaAccessibility {

void setListener(Listener heard)
{
    listener() = std::move(heard);
}

void textChanged(TextArea *area, qsizetype position, const QString &removed, const QString &inserted)
{
    if (!anyoneListens())
        return;
    const auto forEvent = [](const QString &text) { return withLfLineBreaks(text.left(mostInEvent)); };
    QAccessibleTextUpdateEvent update(area, int(area->offsetOf(position)), forEvent(removed), forEvent(inserted));
    tell(update);
    caretMoved(area);
}

void caretMoved(TextArea *area)
{
    if (!anyoneListens())
        return;
    QAccessibleTextCursorEvent moved(area, int(area->offsetOf(area->caretPosition())));
    tell(moved);
}

void selectionChanged(TextArea *area)
{
    if (!anyoneListens())
        return;
    const qsizetype start = qMin(area->caretPosition(), area->anchorPosition());
    const qsizetype end = qMax(area->caretPosition(), area->anchorPosition());
    QAccessibleTextSelectionEvent selected(area, int(area->offsetOf(start)), int(area->offsetOf(end)));
    tell(selected);
}

} // namespace TextAreaAccessibility
