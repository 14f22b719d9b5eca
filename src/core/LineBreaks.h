#pragma once

#include <QString>

// The text with every LF, CR and CR LF as CR LF: the line breaks of the text
// areas, where each of the three is one line break. The same string, not a
// copy, when it already is so.
QString withCrLfLineBreaks(QString text);
// The same for the text from start on, in place.
void makeCrLfLineBreaks(QString &text, qsizetype start);

// Whether every line break of the text is CR LF already.
bool hasOnlyCrLfLineBreaks(QStringView text);

// How many LFs the text holds, counted many characters at a time.
qsizetype lineFeedsIn(QStringView text);

// The text with every CR LF as one LF, as this desktop's clipboard carries
// line breaks. Linear in the text, however many lines it has.
QString withLfLineBreaks(QStringView text);
