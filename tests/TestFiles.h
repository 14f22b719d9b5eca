#pragma once

#include <QDir>
#include <QFile>

// Writes bytes to name inside folder, making folders on the way; answers the path.
inline QString putFile(const QString &folder, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(folder).filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A file's bytes, or a marker that no file's bytes can be mistaken for.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A file of size bytes that takes almost no room on disk (addresses for 8
// kB, then zeros: a hole);
// answers the path.
inline QString putSparseFile(const QString &folder, const QString &name, qint64 size)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    // Text where a reader looks to tell a list from other files.
    const QByteArray start = QByteArray("a@x.org\n").repeated(1024);
    if (!file.open(QIODevice::WriteOnly) || file.write(start) != start.size() || !file.resize(size))
        qFatal("cannot make %s", qPrintable(path));
    return path;
}
