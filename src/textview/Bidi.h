#pragma once

#include <QStringView>

#include <cstdint>
#include <vector>

// What the Unicode bidirectional algorithm makes of a line shown left to
// right, for the lines that hold anything written right to left.
namespace Bidi {

// Whether the text holds right-to-left letters, Arabic digits or explicit
// direction controls: anything that can stand at a level above the line's.
bool hasRightToLeft(QStringView text);

// Whether the text holds explicit embeddings, overrides or isolates.
bool hasExplicitControls(QStringView text);

// The resolved level of every UTF-16 unit of the text, as one paragraph of
// level 0: 0 where it runs left to right with the line, above 0 where it
// does not. Empty when the levels cannot be had.
std::vector<std::uint8_t> levels(QStringView text);

// Whether a character goes to the paragraph's level at the end of a line:
// white space, and the controls around it that take no room.
bool isResetAtLineEnd(QChar c);

// Whether the character at i is a strong right-to-left letter.
bool isRightToLeftLetter(QStringView text, qsizetype i);

} // namespace Bidi
