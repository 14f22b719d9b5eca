#include "platform/WindowPointer.h"

WindowPointer::WindowPointer(QWidget &window) : m_window(window) {}

void WindowPointer::setState(int state)
{
    if (state == m_state)
        return;
    if (m_state == Busy)
        endBusy();
    else if (m_state == Custom)
        showCustom(false);
    m_state = state;
    if (state == Busy)
        showBusy();
    else if (state == Custom)
        showCustom(true);
}

// Every widget of the window gets the hourglass, so that no child's own
// pointer (the text cursor of a text area, say) shows through. Setting a
// widget's cursor reaches the screen at once, before any work starts.
void WindowPointer::showBusy()
{
    QList<QWidget *> widgets = m_window.findChildren<QWidget *>();
    widgets.prepend(&m_window);
    for (QWidget *widget : widgets) {
        SavedCursor saved{widget, std::nullopt};
        if (widget->testAttribute(Qt::WA_SetCursor))
            saved.cursor = widget->cursor();
        m_cursorsBeforeBusy.append(saved);
        widget->setCursor(Qt::WaitCursor);
    }
}

void WindowPointer::endBusy()
{
    for (const SavedCursor &saved : std::as_const(m_cursorsBeforeBusy)) {
        if (!saved.widget)
            continue;
        if (saved.cursor)
            saved.widget->setCursor(*saved.cursor);
        else
            saved.widget->unsetCursor();
    }
    m_cursorsBeforeBusy.clear();
}

void WindowPointer::showCustom(bool on)
{
    QList<QWidget *> widgets = m_handTargets;
    widgets.prepend(&m_window);
    for (QWidget *widget : widgets) {
        if (on && m_customImage)
            widget->setCursor(*m_customImage);
        else
            widget->unsetCursor();
    }
}
