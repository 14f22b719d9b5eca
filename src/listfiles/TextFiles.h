#pragma once

#include <QString>

// What a zero-length file reads as.
inline const QString emptyFileMarker = QStringLiteral("empty file");

// The whole content of a file as text: empty text for a missing file, the
// empty-file marker for a zero-length one. Any other trouble raises a Failure
// with the platform's description.
QString readWholeFile(const QString &path);

// The lines of a file's content, each followed by CR LF: the text the line
// reader appends. Only CR LF separates lines; empty content gives nothing.
QString linesWithBreaks(const QString &content);

// Replaces the file at path with the text as UTF-8, atomically: a write that
// fails raises a Failure and leaves any existing file as it was.
void writeTextFile(const QString &path, const QString &text);
