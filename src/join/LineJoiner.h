#pragma once

#include <QString>
#include <QStringList>

// Joins the lines of a text into one comma-delimited line. Literal: every
// line passes through unchanged, and only CR LF separates lines.
namespace LineJoiner {

// The pieces of a text cut at every CR LF, as views into the text, which must
// outlive them; empty text gives no pieces.
QList<QStringView> cutAtLineBreaks(QStringView text);

// Appends one piece and the separator that follows it.
void appendPiece(QString &result, QStringView piece, QStringView separator = u",");

// Removes the separator appended after the last piece, if there is one.
void dropTrailingComma(QString &result, QStringView separator = u",");

QString join(QStringView text);

// The pieces with the separator between neighbours, built in a string of its
// final size.
QString joined(const QList<QStringView> &pieces, QStringView separator);

} // namespace LineJoiner
