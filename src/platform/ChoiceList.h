#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QDialog;
class QListWidget;
class QWidget;

// A modal list of proposed changes, each with a check box, to accept or
// leave: OK makes those checked, Cancel none. All start checked; nothing is
// applied before the user says so.
class ChoiceList
{
public:
    // Test seam: given the fully built dialog and its list instead of
    // showing them; checks or clears items and answers whether OK was pressed.
    using Answerer = std::function<bool(QDialog &, QListWidget &)>;

    explicit ChoiceList(QWidget *parent) : m_parent(parent) {}

    // For each item, whether it was accepted; nothing when cancelled.
    std::optional<QList<bool>> choose(const QString &title, const QString &text, const QStringList &items);

    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

private:
    QWidget *m_parent;
    Answerer m_answerer;
};
