#include "listfiles/TextFiles.h"

#include "app/Failure.h"
#include "listfiles/FileExists.h"
#include "listfiles/ListFileDecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString readWholeFile(const QString &path)
{
    if (!fileExists(path))
        return {};
    if (QFileInfo(path).size() == 0)
        return emptyFileMarker;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString());
    return decodeListFile(bytes);
}

QString linesWithBreaks(const QString &content)
{
    if (content.isEmpty())
        return {};
    return content + QStringLiteral("\r\n");
}

void writeTextFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(file.errorString());
    // A large write may come back short (a full disk, a size limit) without
    // an error; writing on until all is written or a write fails brings the
    // platform's description out.
    const QByteArray bytes = text.toUtf8();
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0) {
            const QString description = file.errorString();
            file.cancelWriting();
            throw Failure(description);
        }
        written += count;
    }
    if (!file.commit())
        throw Failure(file.errorString());
}
