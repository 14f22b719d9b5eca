#include "platform/FieldsDialog.h"

#include "platform/DialogParts.h"

#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

std::optional<QStringList> FieldsDialog::ask(const QString &title, const QString &text, const QList<Field> &fields)
{
    QDialog dialog(m_parent);
    QVBoxLayout *layout = DialogParts::begin(dialog, title, text);
    auto *form = new QFormLayout;
    QList<QWidget *> editors;
    for (const Field &field : fields) {
        QWidget *editor = nullptr;
        if (field.multiline) {
            auto *lines = new QPlainTextEdit(field.value, &dialog);
            lines->setTabChangesFocus(true);
            editor = lines;
        } else {
            editor = new QLineEdit(field.value, &dialog);
        }
        editor->setObjectName(field.name);
        form->addRow(field.label, editor);
        editors.append(editor);
    }
    layout->addLayout(form);
    DialogParts::end(dialog, layout);
    const bool accepted = m_answerer ? m_answerer(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
        return std::nullopt;
    QStringList values;
    for (QWidget *editor : editors) {
        if (auto *lines = qobject_cast<QPlainTextEdit *>(editor))
            values.append(lines->toPlainText());
        else
            values.append(static_cast<QLineEdit *>(editor)->text());
    }
    return values;
}
