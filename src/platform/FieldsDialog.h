#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QDialog;
class QWidget;

// A modal dialog of labelled text fields to fill in, with OK and Cancel.
class FieldsDialog
{
public:
    struct Field
    {
        QString name;  // the field's object name, by which tests find it
        QString label;
        QString value; // what it starts with
        bool multiline = false;
    };
    // Test seam: given the fully built dialog instead of showing it; fills
    // its fields and answers whether OK was pressed.
    using Answerer = std::function<bool(QDialog &)>;

    explicit FieldsDialog(QWidget *parent) : m_parent(parent) {}

    // The fields' values, in their order; nothing when cancelled.
    std::optional<QStringList> ask(const QString &title, const QString &text, const QList<Field> &fields);

    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

private:
    QWidget *m_parent;
    Answerer m_answerer;
};
