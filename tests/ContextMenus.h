#pragma once

#include "textview/TextArea.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

// The entries of a text area's menu, as its context menu shows them: each
// entry's text (and those of submenus), "-" after it when disabled, and
// "--" for a separator.
inline QStringList menuEntries(TextArea *area, const std::function<void(QMenu *)> &act = {})
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), area->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(area->viewport(), &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QStringList entries;
    const std::function<void(QMenu *)> list = [&](QMenu *shown) {
        for (QAction *action : shown->actions()) {
            entries << (action->isSeparator() ? u"--"_s : action->text() + (action->isEnabled() ? QString() : u"-"_s));
            if (action->menu())
                list(action->menu());
        }
    };
    if (menu) {
        list(menu);
        if (act)
            act(menu);
        menu->close();
    }
    return entries;
}

// Chooses the entry of a text area's menu whose text starts so.
inline void choose(TextArea *area, const QString &entry)
{
    menuEntries(area, [&](QMenu *menu) {
        const std::function<bool(QMenu *)> find = [&](QMenu *shown) {
            for (QAction *action : shown->actions()) {
                if ((action->menu() && find(action->menu())) || (!action->menu() && action->text().startsWith(entry))) {
                    if (!action->menu())
                        action->trigger();
                    return true;
                }
            }
            return false;
        };
        QVERIFY2(find(menu), qPrintable(entry));
    });
}

