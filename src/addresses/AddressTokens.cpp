#include "addresses/AddressTokens.h"

#include "addresses/AddressCharacters.h"

#include <limits>

bool AddressTokens::isWordCharacter(char16_t c)
{
    return c >= 0x80 || AddressCharacters::isAtomAscii(c);
}

QString AddressTokens::quoted(QStringView text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += u'"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

AddressTokens::AddressTokens(QStringView text) : m_text(text) {}

std::vector<AddressTokens::Token> AddressTokens::of(QStringView text)
{
    std::vector<Token> tokens;
    AddressTokens reader(text);
    for (Token token; reader.next(token);)
        tokens.push_back(token);
    return tokens;
}

qsizetype AddressTokens::cutAfterLastSeparator(QStringView text)
{
    qsizetype cut = -1;
    AddressTokens reader(text);
    for (Token token; reader.next(token);) {
        if (!token.closed)
            break;
        if (token.is(u',', text) || token.is(u';', text))
            cut = token.end;
    }
    if (cut >= 0)
        return cut;
    const qsizetype blank = qMax(text.lastIndexOf(u' '), text.lastIndexOf(u'\t'));
    return blank < 0 ? -1 : blank + 1;
}

bool AddressTokens::next(Token &token)
{
    const qsizetype size = m_text.size();
    if (m_at >= size)
        return false;
    const qsizetype start = m_at;
    const char16_t c = m_text[start].unicode();
    const auto take = [&](Kind kind, qsizetype end, bool closed = true) {
        token = {kind, closed, start, end};
        m_at = end;
        return true;
    };
    const auto enclosed = [&](Kind kind, qsizetype close) {
        return close < 0 ? take(kind, start + 1, false) : take(kind, close + 1);
    };
    if (isWordCharacter(c)) {
        qsizetype end = start + 1;
        while (end < size && isWordCharacter(m_text[end].unicode()))
            ++end;
        return take(Kind::Word, end);
    }
    switch (c) {
    case u' ':
    case u'\t': {
        qsizetype end = start + 1;
        while (end < size && (m_text[end] == u' ' || m_text[end] == u'\t'))
            ++end;
        return take(Kind::Blank, end);
    }
    case u'.':
        return take(Kind::Dot, start + 1);
    case u'"':
        return enclosed(Kind::Quoted, closing(start, u'"', m_noQuoteClosesFrom));
    case u'[':
        return enclosed(Kind::Literal, closing(start, u']', m_noBracketClosesFrom));
    case u'(':
        return enclosed(Kind::Comment, closingComment(start));
    default:
        return take(Kind::Sign, start + 1);
    }
}

// Where the quoted string or literal that opens at open closes (at the
// next unescaped sign), or -1. Where none closes one, none closes a later
// one either: reading from any later opening agrees with reading from this
// one about which characters the backslashes escape.
qsizetype AddressTokens::closing(qsizetype open, char16_t sign, qsizetype &noneFrom) const
{
    if (noneFrom >= 0 && open >= noneFrom)
        return -1;
    for (qsizetype i = open + 1; i < m_text.size(); ++i) {
        if (m_text[i] == u'\\')
            ++i;
        else if (m_text[i] == sign)
            return i;
    }
    noneFrom = open;
    return -1;
}

// The ) that closes the comment opening at open, or -1. Whether each ( of
// the text closes is found once, in one pass from the end: with the count
// of ) less ( after each place, a ( closes where that count somewhere
// later falls below the count just after it. Reading from any ( agrees
// about which characters the backslashes escape, so one count serves all;
// a bracket after an odd run of backslashes counts for nothing.
qsizetype AddressTokens::closingComment(qsizetype open)
{
    if (m_closes.empty()) {
        m_closes.assign(size_t(m_text.size()), false);
        const auto escaped = [&](qsizetype i) {
            qsizetype backslashes = 0;
            while (i - backslashes > 0 && m_text[i - backslashes - 1] == u'\\')
                ++backslashes;
            return backslashes % 2 == 1;
        };
        int after = 0;                               // ) less ( after this place
        int lowest = std::numeric_limits<int>::max(); // the least of that at any later place
        for (qsizetype i = m_text.size() - 1; i >= 0; --i) {
            const QChar c = m_text[i];
            if (c != u'(' && c != u')')
                continue;
            if (c == u'(')
                m_closes[size_t(i)] = lowest < after;
            if (escaped(i))
                continue;
            lowest = qMin(lowest, after);
            after += c == u')' ? 1 : -1;
        }
    }
    if (!m_closes[size_t(open)])
        return -1;
    int depth = 0;
    for (qsizetype i = open; i < m_text.size(); ++i) {
        if (m_text[i] == u'\\')
            ++i;
        else if (m_text[i] == u'(')
            ++depth;
        else if (m_text[i] == u')' && --depth == 0)
            return i;
    }
    return -1;
}
