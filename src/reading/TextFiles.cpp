#include "reading/TextFiles.h"

#include "reading/BinaryFiles.h"
#include "reading/ListFileDecoding.h"
#include "core/Failure.h"
#include "core/FileAccess.h"

std::optional<QString> readListFile(const QString &path)
{
    QString text;
    if (!appendListFile(path, text))
        return std::nullopt;
    return text;
}

bool appendListFile(const QString &path, QString &text)
{
    std::optional<QByteArray> bytes = readOrdinaryFile(path);
    if (!bytes)
        return false;
    if (BinaryFiles::isGzip(*bytes))
        bytes = BinaryFiles::gunzip(*bytes);
    const QString kind = BinaryFiles::kindOf(*bytes);
    if (!kind.isEmpty())
        throw Failure(QStringLiteral("not a text file (%1)").arg(kind));
    if (bytes->isEmpty())
        text += emptyFileMarker;
    else
        appendDecodedListFile(*bytes, text);
    return true;
}

QString listFileText(const QByteArray &bytes)
{
    return bytes.isEmpty() ? emptyFileMarker : decodeListFile(bytes);
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
    // Encoded a megabyte at a time, so that a large list is not held twice;
    // a piece never ends between the halves of a surrogate pair.
    constexpr qsizetype pieceLength = 1 << 20;
    qsizetype from = 0;
    replaceFile(path, [&] {
        qsizetype length = qMin(pieceLength, text.size() - from);
        if (from + length < text.size() && text[from + length - 1].isHighSurrogate())
            --length;
        const QByteArray piece = QStringView(text).sliced(from, length).toUtf8();
        from += length;
        return piece;
    });
}
