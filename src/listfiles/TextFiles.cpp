#include "listfiles/TextFiles.h"

#include "listfiles/ListFileDecoding.h"
#include "platform/FileAccess.h"

std::optional<QString> readListFile(const QString &path)
{
    std::optional<QByteArray> bytes = readOrdinaryFile(path);
    if (!bytes)
        return std::nullopt;
    if (bytes->isEmpty())
        return emptyFileMarker;
    QString text = decodeListFile(*bytes);
    bytes.reset();
    return text;
}

QString readWholeFile(const QString &path)
{
    return readListFile(path).value_or(QString());
}

QString linesWithBreaks(QString content)
{
    if (content.isEmpty())
        return {};
    return content.append(QStringLiteral("\r\n"));
}

void writeTextFile(const QString &path, const QString &text)
{
    replaceFile(path, text.toUtf8());
}
