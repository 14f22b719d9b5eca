#include "addresses/AddressExtraction.h"

#include "addresses/AddressCharacters.h"
#include "addresses/AddressCheck.h"
#include "addresses/AddressTokens.h"
#include "addresses/ContactLines.h"
#include "addresses/Recipients.h"

#include <QUrl>

#include <algorithm>
#include <utility>
#include <vector>

namespace AddressExtraction {

namespace {

using namespace AddressCharacters;
using Token = AddressTokens::Token;
using Kind = AddressTokens::Kind;

// What a local part may hold in running text: an atom's ASCII and dots,
// letters, marks, digits and symbols of any script, and characters that
// show nothing (kept, so that checking tells of them). Punctuation and
// spaces of any script end it.
bool isLocalCharacter(char32_t c)
{
    if (c < 0x80)
        return isAtomAscii(char16_t(c)) || c == u'.';
    if (isInvisible(c))
        return true;
    const QChar::Category category = QChar::category(c);
    return (category >= QChar::Mark_NonSpacing && category <= QChar::Number_Other)
           || (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other)
           || (category >= QChar::Symbol_Math && category <= QChar::Symbol_Other);
}

// What a domain may hold: ASCII letters, digits, hyphens and dots, letters,
// marks and digits of any script, the full stops IDNA takes for dots, and
// characters that show nothing.
bool isDomainCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
               || c == u'.';
    if (isInvisible(c) || isIdeographicFullStop(c))
        return true;
    const QChar::Category category = QChar::category(c);
    return (category >= QChar::Mark_NonSpacing && category <= QChar::Number_Other)
           || (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other);
}

// Signs that start no local part in running text, though an atom may hold
// them: they are the text's punctuation ('ann@x.org', {ann@x.org},
// a@x.org/bob@y.org).
bool isLeadingPunctuation(char32_t c)
{
    return c == u'.' || c == u'\'' || c == u'`' || c == u'{' || c == u'}' || c == u'|' || c == u'/' || c == u'='
           || c == u'?' || c == u'^' || c == u'~' || c == u'!' || c == u'#' || c == u'$' || c == u'%' || c == u'&'
           || c == u'*' || c == u'-' || isInvisible(c);
}

// Letters of the scripts written without spaces between words, where an
// address in running text meets the words around it (请联系ann@x.org。).
bool isUnspacedScript(char32_t c)
{
    if (c < 0x2E80)
        return false;
    const QChar::Script script = QChar::script(c);
    return script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana
           || script == QChar::Script_Hangul;
}

// Whether an ideographic full stop in the line ends a sentence rather than
// a label: words of a script written without spaces follow it (x.org。谢谢).
// Such a line, though it might read as one address, is running text.
bool endsSentence(QStringView line)
{
    for (qsizetype i = 0; i + 1 < line.size(); ++i)
        if (isIdeographicFullStop(line[i].unicode()) && isUnspacedScript(codePointAt(line, i + 1)))
            return true;
    return false;
}

bool isTrailingPunctuation(char32_t c)
{
    return c == u'.' || c == u'-' || isIdeographicFullStop(c) || isInvisible(c);
}

// Where the next mailto: from a place starts, in any case, or -1: found by
// the colon, which few lines hold many of.
qsizetype mailtoFrom(QStringView line, qsizetype from)
{
    for (qsizetype colon = line.indexOf(u':', from + 6); colon >= 0; colon = line.indexOf(u':', colon + 1))
        if (line.sliced(colon - 6, 6).compare(u"mailto", Qt::CaseInsensitive) == 0)
            return colon - 6;
    return -1;
}

// A mailto: link's recipients: the path and its to, cc and bcc fields,
// percent-decoded, a comma between addresses; its subject and body are no
// addresses, whatever they hold. In HTML its fields are joined by &amp;.
QStringList mailtoRecipients(QStringView link)
{
    QString text = link.toString();
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"), Qt::CaseInsensitive);
    while (!text.isEmpty() && QStringView(u".,;:!?").contains(text.back()))
        text.chop(1);
    const qsizetype question = text.indexOf(u'?');
    QList<QStringView> parts{QStringView(text).first(question < 0 ? text.size() : question)};
    if (question >= 0) {
        for (QStringView field : QStringView(text).sliced(question + 1).split(u'&')) {
            const qsizetype equals = field.indexOf(u'=');
            const QStringView name = field.first(qMax<qsizetype>(0, equals));
            if (equals > 0 && (name.compare(u"to", Qt::CaseInsensitive) == 0 || name.compare(u"cc", Qt::CaseInsensitive) == 0
                               || name.compare(u"bcc", Qt::CaseInsensitive) == 0))
                parts << field.sliced(equals + 1);
        }
    }
    QStringList recipients;
    for (QStringView part : parts) {
        // A comma inside a quoted name separates nothing.
        const QString decoded = QUrl::fromPercentEncoding(part.toUtf8());
        for (const auto &[start, end] : Recipients::in(decoded)) {
            const QStringView piece = QStringView(decoded).sliced(start, end - start).trimmed();
            if (!piece.contains(u'@'))
                continue;
            const QStringView address = AddressCheck::address(piece);
            recipients << (address.isEmpty() ? piece : address).toString();
        }
    }
    return recipients;
}

// The search of one line that is no address as it stands.
class Search
{
public:
    explicit Search(QStringView line) : m_line(line) {}

    void each(const Found &found)
    {
        if (std::any_of(m_line.begin(), m_line.end(), [](QChar c) { return c == u'"' || c == u'(' || c == u'<' || c == u'['; }))
            readTokens();
        takeMailtoLinks();
        for (qsizetype at = m_line.indexOf(u'@'); at >= 0; at = m_line.indexOf(u'@', at + 1))
            if (at >= m_floor && !isHidden(at))
                searchAround(at);
        // The links' addresses stand where their links start.
        auto link = m_links.begin();
        for (const Place &place : m_found) {
            for (; link != m_links.end() && link->first <= place.start; ++link)
                found(link->second);
            found(place.written.isNull() ? m_line.sliced(place.start, place.end - place.start) : QStringView(place.written));
        }
        for (; link != m_links.end(); ++link)
            found(link->second);
    }

private:
    void hide(qsizetype from, qsizetype to)
    {
        if (m_hidden.empty())
            m_hidden.assign(size_t(m_line.size()), false);
        std::fill(m_hidden.begin() + from, m_hidden.begin() + to, true);
    }
    bool isHidden(qsizetype at) const { return !m_hidden.empty() && m_hidden[size_t(at)]; }

    // The token a place lies in, when the line was read as tokens.
    const Token *tokenAt(qsizetype at) const
    {
        const auto after = std::upper_bound(m_tokens.begin(), m_tokens.end(), at,
                                            [](qsizetype place, const Token &token) { return place < token.start; });
        return after == m_tokens.begin() || (after - 1)->end <= at ? nullptr : &*(after - 1);
    }

    // Quotes, comments and angle brackets say what is a name: a quoted
    // string just before an @ is a local part, whose @s are its own; the
    // quoted strings and comments of a name before an address in angle
    // brackets are no addresses, nor is an address standing as that name
    // (bob@y.org <ann@x.org>).
    void readTokens()
    {
        m_tokens = AddressTokens::of(m_line);
        for (qsizetype i = 0; i < qsizetype(m_tokens.size()); ++i) {
            const Token &token = m_tokens[size_t(i)];
            if (token.kind == Kind::Quoted && token.closed && token.end < m_line.size() && m_line[token.end] == u'@')
                hide(token.start, token.end);
            else if (token.is(u'<', m_line) && isAngleAddress(i))
                hideName(i);
        }
    }

    // Whether the < at token i opens an address in angle brackets: a > is
    // the next of the signs < > , ; after it, with an @ between.
    bool isAngleAddress(qsizetype open) const
    {
        bool at = false;
        for (size_t i = size_t(open) + 1; i < m_tokens.size(); ++i) {
            const Token &token = m_tokens[i];
            if (token.kind != Kind::Sign)
                continue;
            const QChar c = m_line[token.start];
            if (c == u'@')
                at = true;
            else if (c == u'>')
                return at;
            else if (c == u'<' || c == u',' || c == u';')
                return false;
        }
        return false;
    }

    void hideName(qsizetype open)
    {
        qsizetype i = open - 1;
        // Comments right before the brackets belong to the name.
        for (; i >= 0 && (m_tokens[size_t(i)].kind == Kind::Blank || (m_tokens[size_t(i)].kind == Kind::Comment && m_tokens[size_t(i)].closed)); --i)
            if (m_tokens[size_t(i)].kind == Kind::Comment)
                hide(m_tokens[size_t(i)].start, m_tokens[size_t(i)].end);
        // An address standing right before them is their name.
        qsizetype word = i;
        while (word >= 0 && (m_tokens[size_t(word)].kind == Kind::Word || m_tokens[size_t(word)].kind == Kind::Dot))
            --word;
        if (word >= 0 && word < i && m_tokens[size_t(word)].is(u'@', m_line))
            hide(m_tokens[size_t(word)].start, m_tokens[size_t(word)].end);
        // The quoted strings of the words before them.
        for (; i >= 0; --i) {
            const Token &token = m_tokens[size_t(i)];
            if (token.kind == Kind::Quoted && token.closed)
                hide(token.start, token.end);
            else if (token.kind != Kind::Blank && token.kind != Kind::Word && token.kind != Kind::Dot
                     && !(token.kind == Kind::Comment && token.closed))
                break;
        }
    }

    void takeMailtoLinks()
    {
        static const QString stops = QStringLiteral(" \t\"'<>()[]`");
        for (qsizetype at = mailtoFrom(m_line, 0); at >= 0; at = mailtoFrom(m_line, at + 7)) {
            if (isHidden(at))
                continue;
            qsizetype end = at + 7;
            while (end < m_line.size() && !stops.contains(m_line[end]))
                ++end;
            for (QString &address : mailtoRecipients(m_line.sliced(at + 7, end - at - 7)))
                m_links.emplace_back(at, std::move(address));
            hide(at, end);
        }
    }

    // The address around the @ at: a quoted string just before it, or as
    // far back as a local part's characters reach, not into the address
    // before nor out of the quoted string or comment it stands in; and an
    // address literal after it, or as far as a domain's characters reach.
    // Comments right after it are its own.
    void searchAround(qsizetype at)
    {
        qsizetype lowest = m_floor;
        qsizetype highest = m_line.size();
        if (const Token *around = tokenAt(at); around && around->kind != Kind::Sign) {
            lowest = qMax(lowest, around->start + 1);
            highest = around->end - 1;
        }
        qsizetype start = at;
        const Token *before = at > 0 ? tokenAt(at - 1) : nullptr;
        if (before && before->kind == Kind::Quoted && before->closed && before->end == at && before->start >= lowest) {
            start = before->start;
        } else {
            // An ASCII local part ends where words of such a script meet it.
            bool ascii = true;
            while (start > lowest && isLocalCharacter(codePointBefore(m_line, start))) {
                const char32_t c = codePointBefore(m_line, start);
                if (ascii && start < at && isUnspacedScript(c))
                    break;
                ascii = ascii && c < 0x80;
                start -= width(c);
            }
            while (start < at && isLeadingPunctuation(codePointAt(m_line, start)))
                start += width(codePointAt(m_line, start));
        }
        // Comments may stand between the @ and the domain (c@(host)x.org):
        // the address is written without them.
        const qsizetype domainStart = afterComments(at + 1, highest);
        qsizetype end = domainStart;
        const Token *after = end < highest ? tokenAt(end) : nullptr;
        if (after && after->kind == Kind::Literal && after->closed && after->end <= highest) {
            end = after->end;
        } else {
            end = domainEnd(end, highest);
            while (end > domainStart && isTrailingPunctuation(codePointBefore(m_line, end)))
                end -= width(codePointBefore(m_line, end));
        }
        if (start == at || end == domainStart)
            return;
        QString written;
        if (domainStart != at + 1)
            written = m_line.sliced(start, at + 1 - start).toString() + m_line.sliced(domainStart, end - domainStart).toString();
        m_found.push_back(Place{start, end, std::move(written)});
        m_floor = end;
        hideCommentsAfter(end);
    }

    // Where the text goes on after the comments and blanks from a place.
    qsizetype afterComments(qsizetype from, qsizetype highest) const
    {
        for (const Token *token = from < highest ? tokenAt(from) : nullptr;
             token && ((token->kind == Kind::Comment && token->closed) || token->kind == Kind::Blank) && token->end <= highest;
             token = from < highest ? tokenAt(from) : nullptr)
            from = token->end;
        return from;
    }

    // As far as a domain's characters reach. An ideographic full stop
    // parts labels, but an ASCII label ends where words of a script written
    // without spaces follow it, with such a stop or without (ann@x.org。谢谢).
    qsizetype domainEnd(qsizetype end, qsizetype highest) const
    {
        qsizetype asciiLabel = 0; // the ASCII characters of the label at hand so far, or -1
        while (end < highest && isDomainCharacter(codePointAt(m_line, end))) {
            const char32_t c = codePointAt(m_line, end);
            const qsizetype next = end + width(c);
            if (isIdeographicFullStop(c) && asciiLabel > 0 && next < highest && isUnspacedScript(codePointAt(m_line, next)))
                break;
            if (asciiLabel > 0 && isUnspacedScript(c))
                break;
            if (c == u'.' || isIdeographicFullStop(c))
                asciiLabel = 0;
            else if (asciiLabel >= 0)
                asciiLabel = c < 0x80 ? asciiLabel + 1 : -1;
            end = next;
        }
        return end;
    }

    void hideCommentsAfter(qsizetype end)
    {
        if (m_tokens.empty())
            return;
        if (end < m_line.size() && m_line[end] == u'>')
            ++end;
        for (const Token *token = tokenAt(end); token; token = tokenAt(end)) {
            if (token->kind == Kind::Comment && token->closed)
                hide(token->start, token->end);
            else if (token->kind != Kind::Blank)
                return;
            end = token->end;
        }
    }

    QStringView m_line;
    std::vector<Token> m_tokens;                       // read only where quotes or brackets matter
    std::vector<bool> m_hidden;                        // places where no address is searched
    // Where each address around an @ starts and ends; written anew where
    // comments stand inside it.
    struct Place
    {
        qsizetype start;
        qsizetype end;
        QString written;
    };
    std::vector<Place> m_found;
    std::vector<std::pair<qsizetype, QString>> m_links; // where each link starts, and an address of it
    qsizetype m_floor = 0;                             // where the last address found ends
};

} // namespace

void each(QStringView line, const Found &found)
{
    const qsizetype at = line.indexOf(u'@');
    if (at < 0 && mailtoFrom(line, 0) < 0)
        return;
    // Two @ make no address but where one is in a quoted local part
    // ("a@b"@x.org).
    const bool oneAtMost = at < 0 || line.indexOf(u'@', at + 1) < 0 || line.contains(u"\"@");
    if (const QStringView address = oneAtMost && !endsSentence(line) ? AddressCheck::address(line) : QStringView();
        !address.isEmpty()) {
        found(address);
        return;
    }
    Search(line).each(found);
}

QStringList in(QStringView line)
{
    QStringList addresses;
    each(line, [&addresses](QStringView address) { addresses << address.toString(); });
    return addresses;
}

QStringList inLines(const QList<QStringView> &lines)
{
    QStringList found;
    ContactLines contacts;
    const auto search = [&found](QStringView text, qsizetype) { found << in(text); };
    for (QStringView line : lines)
        contacts.feed(line, 0, search);
    contacts.finish(search);
    return found;
}

} // namespace AddressExtraction
