#pragma once

#include <QString>

#include <functional>

class QAccessibleEvent;
class TextArea;

// Lets screen readers and the accessibility bus read, follow and edit a text
// area through text interfaces of its own. Offsets count a line break as one
// character, as Qt's own text boxes do.
void installTextAreaAccessibility();

namespace TextAreaAccessibility {

// Tells screen readers that text was replaced at a position, that the caret
// moved, or that the selection changed.
void textChanged(TextArea *area, qsizetype position, const QString &removed, const QString &inserted);
void caretMoved(TextArea *area);
void selectionChanged(TextArea *area);

// Hears every event told, whether or not a screen reader listens (tests).
using Listener = std::function<void(const QAccessibleEvent &)>;
void setListener(Listener listener);

} // namespace TextAreaAccessibility
