#pragma once

#include <QString>

// The text with every LF, CR and CR LF as CR LF: the line breaks of the text
// areas, where each of the three is one line break. The same string, not a
// copy, when it already is so.
QString withCrLfLineBreaks(QString text);
// The same for the text from start on, in place.
void makeCrLfLineBreaks(QString &text, qsizetype start);

// How many CRs, LFs and CR LF pairs a text holds, counted many characters
// at a time.
struct LineBreakCounts
{
    qsizetype carriageReturns = 0;
    qsizetype lineFeeds = 0;
    qsizetype pairs = 0;
    // Whether every line break is CR LF already.
    bool onlyCrLf() const { return carriageReturns == pairs && lineFeeds == pairs; }
};
LineBreakCounts lineBreaksIn(QStringView text);

// Whether every line break of the text is CR LF already.
bool hasOnlyCrLfLineBreaks(QStringView text);

// The text with every CR LF as one LF, as this desktop's clipboard carries
// line breaks. Linear in the text, however many lines it has.
QString withLfLineBreaks(QStringView text);
