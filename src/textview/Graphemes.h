#pragma once

#include <QStringView>

struct UBreakIterator;

// Where the characters a reader sees (grapheme clusters: a letter with its
// marks, an emoji with its skin tone, a CR LF) begin and end in a text, as
// ICU finds them by Unicode's rules, whatever scripts share the text. The
// text must outlive the object.
class Graphemes
{
public:
    explicit Graphemes(QStringView text);
    ~Graphemes();
    Graphemes(const Graphemes &) = delete;
    Graphemes &operator=(const Graphemes &) = delete;

    // The boundary after position, or the text's end.
    qsizetype next(qsizetype position) const;
    // The boundary before position, or the text's start.
    qsizetype previous(qsizetype position) const;
    bool isBoundary(qsizetype position) const;

private:
    QStringView m_text;
    UBreakIterator *m_iterator = nullptr;
};
