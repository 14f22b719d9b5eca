#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The Open and Save dialogs. After a dialog closes, FileName holds one full
// path, or for several files the folder followed by each chosen name behind
// one NUL; a cancel leaves it as it was.
class CommonDialog
{
public:
    static constexpr int AllowMultiSelect = 0x200;
    static constexpr int FileNameBufferSize = 30000;
    // Raised by ShowOpen when the answer does not fit the file-name buffer.
    static constexpr int BufferTooSmall = 20476;

    struct Request
    {
        bool save = false;
        bool multiple = false;
        QString title;
        QStringList nameFilters; // in Qt's "Name (patterns)" form
        QString initialName;
    };
    // Picks the files; an empty list is a cancel. Tests replace the real
    // dialog with a scripted one.
    using Chooser = std::function<QStringList(const Request &)>;

    explicit CommonDialog(QWidget *parent);

    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }
    int Flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }
    QString DialogTitle() const { return m_title; }
    void setDialogTitle(const QString &title) { m_title = title; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }

    // Both answer false when the user cancelled.
    bool ShowOpen();
    bool ShowSave();

    // Another use of the Open dialog, with a request of its own: several
    // files, the title and filter given, no name at first. Answers as
    // ShowOpen leaves FileName, empty for a cancel, and leaves FileName and
    // the rest as they were.
    QString askOpen(const QString &title, const QString &filter);
    // The same for the Save dialog: one path, empty for a cancel.
    QString askSave(const QString &title, const QString &filter);

    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    // The filter the last dialog ended in, in Qt's form: the user's choice,
    // or for an answer given otherwise, the one set here before (none
    // unless set).
    QString chosenFilter() const { return m_chosenFilter; }
    void setNextFilter(const QString &filter) { m_nextFilter = filter; }
    // The next dialog answers with these files at once, as if the user had
    // chosen them (files given on the command line or dropped on the window).
    void answerNextWith(const QStringList &files) { m_nextAnswer = files; }

    // "Name|pattern|Name|pattern|" as Qt name filters, in the same order;
    // "*.*" matches every file, names without a dot included.
    static QStringList qtNameFilters(const QString &filter);

private:
    QStringList choose(const Request &request);
    QStringList chooseFiles(const Request &request);
    static QString answerOf(const QStringList &chosen);
    Request request(bool save) const;

    QWidget *m_parent;
    QString m_fileName;
    int m_flags = 0;
    QString m_title;
    QString m_filter;
    Chooser m_chooser;
    QStringList m_nextAnswer;
    QString m_nextFilter;
    QString m_chosenFilter;
};
