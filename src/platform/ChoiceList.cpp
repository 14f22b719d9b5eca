#include "platform/ChoiceList.h"

#include "platform/DialogParts.h"

#include <QDialog>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

std::optional<QList<bool>> ChoiceList::choose(const QString &title, const QString &text, const QStringList &items)
{
    QDialog dialog(m_parent);
    QVBoxLayout *layout = DialogParts::begin(dialog, title, text);
    auto *list = new QListWidget(&dialog);
    list->setUniformItemSizes(true);
    for (const QString &text : items) {
        auto *item = new QListWidgetItem(text, list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    // As wide as its longest row, within the screen.
    const QRect screen = (m_parent ? m_parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const int rows = list->sizeHintForColumn(0) + 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
    list->setMinimumWidth(qMin(rows, screen.width() * 9 / 10));
    layout->addWidget(list);
    DialogParts::end(dialog, layout);
    const bool accepted = m_answerer ? m_answerer(dialog, *list) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
        return std::nullopt;
    QList<bool> chosen;
    chosen.reserve(items.size());
    for (int i = 0; i < list->count(); ++i)
        chosen.append(list->item(i)->checkState() == Qt::Checked);
    return chosen;
}
