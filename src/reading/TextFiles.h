#pragma once

#include <QString>

#include <optional>

// What a zero-length file reads as.
inline const QString emptyFileMarker = QStringLiteral("empty file");

// The whole content of a list file as text, read through one open: nothing
// when no file is at the path, the empty-file marker when the file holds no
// bytes. A path that is not an ordinary file, a file whose start shows it
// is no text ("not a text file (PDF)"), or any other trouble, raises a
// Failure with the description; a file too large to hold raises
// std::bad_alloc. A list compressed with gzip is read decompressed.
std::optional<QString> readListFile(const QString &path);
// The same content appended to text; false, and nothing appended, when no
// file is at the path.
bool appendListFile(const QString &path, QString &text);

// The text of a list file's bytes, as readListFile gives it.
QString listFileText(const QByteArray &bytes);

// The same, with empty text for a missing file.
QString readWholeFile(const QString &path);

// The lines of a file's content, each followed by CR LF: the text the line
// reader appends. Only CR LF separates lines; empty content gives nothing.
QString linesWithBreaks(QString content);

// Replaces the file at path with the text as UTF-8: completely, or, on a
// failure, not at all (see replaceFile), raising a Failure.
void writeTextFile(const QString &path, const QString &text);
