#include "platform/CommonDialog.h"

#include "core/Failure.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace {

// The deepest folder that holds every one of the paths.
QString commonFolder(const QStringList &paths)
{
    QString common = QFileInfo(paths.first()).absolutePath();
    for (const QString &path : paths) {
        const QString folder = QFileInfo(path).absolutePath();
        while (folder != common && !folder.startsWith(common + u'/') && !common.endsWith(u'/'))
            common = QFileInfo(common).path();
    }
    return common;
}

// One path for one file. For several, their common folder and each file's
// path from there behind a NUL, so that folder, separator and name lead to
// the chosen file wherever it lies; files of one folder give bare names.
QString answerFor(const QStringList &chosen)
{
    if (chosen.size() == 1)
        return QDir::toNativeSeparators(chosen.first());
    QStringList cleaned;
    for (const QString &path : chosen)
        cleaned << QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString folder = commonFolder(cleaned);
    QString answer = QDir::toNativeSeparators(folder);
    for (const QString &path : std::as_const(cleaned))
        answer += QChar(0) + QDir::toNativeSeparators(QDir(folder).relativeFilePath(path));
    return answer;
}

} // namespace

CommonDialog::CommonDialog(QWidget *parent) : m_parent(parent) {}

// The answer and its terminating NUL must fit the buffer.
QString CommonDialog::answerOf(const QStringList &chosen)
{
    const QString answer = answerFor(chosen);
    if (answer.size() >= FileNameBufferSize)
        throw Failure(QStringLiteral("The file name buffer is too small for the selected files"), BufferTooSmall);
    return answer;
}

bool CommonDialog::ShowOpen()
{
    const QStringList chosen = choose(request(false));
    if (chosen.isEmpty())
        return false;
    m_fileName = answerOf(chosen);
    return true;
}

QString CommonDialog::askOpen(const QString &title, const QString &filter)
{
    const QStringList chosen = choose({false, true, title, qtNameFilters(filter), QString()});
    return chosen.isEmpty() ? QString() : answerOf(chosen);
}

QString CommonDialog::askSave(const QString &title, const QString &filter)
{
    const QStringList chosen = choose({true, false, title, qtNameFilters(filter), QString()});
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen.first());
}

bool CommonDialog::ShowSave()
{
    const QStringList chosen = choose(request(true));
    if (chosen.isEmpty())
        return false;
    m_fileName = QDir::toNativeSeparators(chosen.first());
    return true;
}

CommonDialog::Request CommonDialog::request(bool save) const
{
    Request r;
    r.save = save;
    r.multiple = !save && (m_flags & AllowMultiSelect);
    r.title = m_title;
    r.nameFilters = qtNameFilters(m_filter);
    // After a multiple selection only the folder part names a place.
    r.initialName = m_fileName.section(QChar(0), 0, 0);
    return r;
}

QStringList CommonDialog::qtNameFilters(const QString &filter)
{
    const QStringList fields = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QStringList patterns = fields[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            if (pattern == u"*.*")
                pattern = QStringLiteral("*");
        filters << fields[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

QStringList CommonDialog::choose(const Request &r)
{
    m_chosenFilter.clear();
    const QStringList chosen = chooseFiles(r);
    if (m_chosenFilter.isEmpty())
        m_chosenFilter = std::exchange(m_nextFilter, {});
    return chosen;
}

QStringList CommonDialog::chooseFiles(const Request &r)
{
    if (!m_nextAnswer.isEmpty())
        return std::exchange(m_nextAnswer, {});
    if (m_chooser)
        return m_chooser(r);
    QFileDialog dialog(m_parent, r.title);
    // Our own dialog, so that filters show as named and nothing is asked twice.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails
                      | QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(r.nameFilters);
    dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(r.save ? QFileDialog::AnyFile : r.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!r.initialName.isEmpty())
        dialog.selectFile(r.initialName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    m_chosenFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles();
}
