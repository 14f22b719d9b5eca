#pragma once

#include <QList>
#include <QStringView>

#include <vector>

// The tokens of mail's address grammar, read in one place so that checking,
// finding and splitting addresses agree: words, dots, quoted strings,
// comments (which nest), address literals ([192.0.2.1]), blanks and the
// signs that structure a header (< > @ , ; :). A backslash in a quoted
// string, a comment or a literal escapes the character after it.
//
// A quote, bracket or ( that never closes is no token of its kind: it is
// an opening sign standing alone (closed is false), and reading goes on
// after it, so that one stray sign never swallows the rest of a line.
// Reading is linear in the text, however many signs never close.
class AddressTokens
{
public:
    enum class Kind : quint8 {
        Word,    // letters, digits and the signs of an atom; every character beyond ASCII
        Dot,
        Quoted,  // "..."
        Comment, // (...)
        Literal, // [...]
        Blank,   // spaces and tabs
        Sign,    // any other character alone: < > @ , ; : \ ) ] and controls
    };

    struct Token
    {
        Kind kind;
        bool closed; // false for an opening sign that never closes
        qsizetype start;
        qsizetype end;
        qsizetype size() const { return end - start; }
        bool is(char16_t sign, QStringView text) const { return kind == Kind::Sign && text[start] == sign; }
    };

    explicit AddressTokens(QStringView text);

    // The next token, or false at the end of the text.
    bool next(Token &token);

    // Every token of a text.
    static std::vector<Token> of(QStringView text);

    // Whether a character may stand in a word: an atom's ASCII or anything
    // beyond ASCII.
    static bool isWordCharacter(char16_t c);

    // The text as a quoted string: in quotes, each quote and backslash in
    // it escaped.
    static QString quoted(QStringView text);

    // Where a long text of addresses may be cut so that each part reads as
    // the whole did: after its last comma or semicolon that stands outside
    // any quote, comment or literal (none before it is left open), or
    // failing one after its last space or tab; -1 when there is neither.
    static qsizetype cutAfterLastSeparator(QStringView text);

    // The most text of addresses read at once: a value longer than this
    // holds no one address, and a list of them is read a part at a time.
    static constexpr qsizetype longestRead = 1 << 16;

private:
    qsizetype closing(qsizetype open, char16_t sign, qsizetype &noneFrom) const;
    qsizetype closingComment(qsizetype open);

    QStringView m_text;
    qsizetype m_at = 0;
    // From here on no quote or ] closes: nothing after it is looked for again.
    qsizetype m_noQuoteClosesFrom = -1;
    qsizetype m_noBracketClosesFrom = -1;
    // Whether the ( at each place closes, found when the first ( is met.
    std::vector<bool> m_closes;
};
