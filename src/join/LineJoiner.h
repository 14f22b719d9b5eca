#pragma once

#include <QString>
#include <QStringList>

// Joins the lines of a text into one comma-delimited line. Literal: every
// line passes through unchanged, and only CR LF separates lines.
namespace LineJoiner {

// The pieces of a text cut at every CR LF; empty text gives no pieces.
QStringList cutAtLineBreaks(const QString &text);

// Appends one piece and the comma that follows it.
void appendPiece(QString &result, const QString &piece);

// Removes the comma appended after the last piece, if there is one.
void dropTrailingComma(QString &result);

QString join(const QString &text);

} // namespace LineJoiner
