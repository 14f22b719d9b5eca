#pragma once

#include <QStringView>

#include <utility>

// Steps by word through a piece of a line, by Unicode's word boundaries:
// letters of every plane and script, digits, and the marks that go with them
// make words; spaces and punctuation lie between.
namespace Words {

// The start of the next word after offset, or the end of the text.
qsizetype nextStart(QStringView text, qsizetype offset);

// The start of the word that holds or ends before offset, or the start of the
// text.
qsizetype previousStart(QStringView text, qsizetype offset);

// The word, or the run of spaces or the punctuation, that holds the character
// at offset (the one before it at the end of the text).
std::pair<qsizetype, qsizetype> around(QStringView text, qsizetype offset);

} // namespace Words
