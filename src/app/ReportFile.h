#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdio>

// The --report file. Its lines are gathered in a temporary file (in the
// temporary folder, without a name) and put in its place only when the run
// has ended well: a run that fails, or is interrupted, leaves an existing
// report as it was. A device or pipe (/dev/stderr) is written as the lines
// come. Trouble is told once, naming the report, and makes the run fail.
class ReportFile
{
public:
    explicit ReportFile(const QString &path);
    ~ReportFile();
    ReportFile(const ReportFile &) = delete;
    ReportFile &operator=(const ReportFile &) = delete;

    void write(QByteArrayView lines);
    // Puts the report in its place; answers whether all of it was written.
    bool commit();

    // Whether the report would be written over one of the files the run
    // reads (by device and inode, links followed) or over standard output:
    // which one, or an empty text.
    static QString overwrittenInput(const QString &path, const QStringList &inputs);

private:
    void fail(const QString &description);

    QString m_path;
    std::FILE *m_file = nullptr;
    bool m_spooled = false; // gathered in a temporary file, to replace the report at the end
    bool m_failed = false;
};
