#include "addresses/AddressCheck.h"

#include "addresses/AddressCharacters.h"
#include "addresses/AddressTokens.h"
#include "core/Blanks.h"

#include <QChar>
#include <QVarLengthArray>

#include <arpa/inet.h>
#include <idn2.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>

namespace AddressCheck {

namespace {

using AddressCharacters::codePointAt;
using AddressCharacters::isIdeographicFullStop;
using AddressCharacters::isInvisible;

constexpr qsizetype longestLocalPart = 64; // bytes in UTF-8
constexpr qsizetype longestDomain = 253;
constexpr qsizetype longestLabel = 63;
constexpr qsizetype longestAddress = 254; // bytes, as SMTP's path holds it between < and >

using Token = AddressTokens::Token;
using Kind = AddressTokens::Kind;
using Tokens = QVarLengthArray<Token, 32>;

Tokens tokensOf(QStringView text)
{
    Tokens tokens;
    AddressTokens reader(text);
    for (Token token; reader.next(token);)
        tokens.append(token);
    return tokens;
}

QStringView trimmed(QStringView text)
{
    return Blanks::trimmed(text);
}

// Why an address is none, as cheap to make as to pass on: the words are put
// together only when someone reads them.
struct Problem
{
    const char *words = nullptr;       // none: no problem
    std::optional<char32_t> character; // a character not allowed, with words saying where
    int idnaStatus = 0;                // why IDNA refuses the domain

    Problem() = default;
    explicit Problem(const char *words) : words(words) {}
    explicit operator bool() const { return words || character || idnaStatus; }
};

Problem notAllowed(char32_t c, const char *where = "")
{
    Problem problem(where);
    problem.character = c;
    return problem;
}

// A character not allowed is told by its Unicode name; one that does not
// show (a space, a control) by its number too.
QString describe(const Problem &problem)
{
    if (problem.idnaStatus)
        return QStringLiteral("the domain is not a valid international name (%1)")
            .arg(QLatin1String(idn2_strerror(problem.idnaStatus)));
    if (!problem.character)
        return QString::fromLatin1(problem.words);
    const char32_t c = *problem.character;
    char name[128] = {};
    UErrorCode status = U_ZERO_ERROR;
    u_charName(UChar32(c), U_UNICODE_CHAR_NAME, name, sizeof name, &status);
    const QString shown = QChar::isPrint(c) && !QChar::isSpace(c)
                              ? u'"' + QString::fromUcs4(&c, 1) + u'"'
                              : QStringLiteral("U+%1").arg(QString::number(uint(c), 16).toUpper(), 4, QLatin1Char('0'));
    return QStringLiteral("the character %1%2 is not allowed%3")
        .arg(shown, name[0] ? QStringLiteral(" (%1)").arg(QLatin1String(name)) : QString(), QLatin1String(problem.words));
}

// Letters of any script, and the marks, digits, signs and symbols that go
// with them; no controls, spaces, separators, unassigned code points or
// characters that do not show.
bool isInternationalCharacter(char32_t c)
{
    if (isInvisible(c))
        return false;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        return true;
    }
}

// ASCII letters, digits, hyphens and dots; beyond ASCII, what IDNA may
// take, but spaces and controls, which no name holds.
bool isDomainCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
    const QChar::Category category = QChar::category(c);
    return category != QChar::Other_Control && category != QChar::Separator_Space && category != QChar::Separator_Line
           && category != QChar::Separator_Paragraph && !isInvisible(c);
}

bool isAtomCharacter(char32_t c)
{
    return c < 0x80 ? AddressCharacters::isAtomAscii(char16_t(c)) : isInternationalCharacter(c);
}

struct Parsed
{
    Problem problem;
    QStringView local;
    QStringView domain;
    QString asciiDomain; // the domain in ASCII, lower case, when asked for
};

// A display name: words, dots, quoted strings and comments, with no sign
// outside them that would make it more than a name.
Problem nameProblem(QStringView text, const Token *from, const Token *to)
{
    for (const Token *token = from; token != to; ++token) {
        if (token->kind == Kind::Quoted && !token->closed)
            return Problem{"a quote in the name is not closed"};
        if (token->kind == Kind::Comment && !token->closed)
            return Problem{"a ( without a ) in the name"};
    }
    for (const Token *token = from; token != to; ++token) {
        const QChar c = text[token->start];
        if (token->kind == Kind::Literal)
            return notAllowed(u'[', " in the name");
        if (token->kind != Kind::Sign)
            continue;
        if (c == u',')
            return Problem{"a comma in the name (put the name in quotes)"};
        if (c == u';' || c == u':' || c == u'@' || c == u'<' || c == u'>' || c == u']' || c == u'\\' || c == u')')
            return notAllowed(c.unicode(), " in the name");
    }
    return {};
}

qsizetype utf8Bytes(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

Problem localPartProblem(QStringView local, bool quoted, qsizetype &bytes)
{
    if (local.isEmpty())
        return Problem{"nothing before the @"};
    bytes = 0;
    bool twoDots = false;
    for (qsizetype i = 0; i < local.size(); ++i) {
        const char32_t c = codePointAt(local, i);
        if (c > 0xFFFF)
            ++i;
        bytes += utf8Bytes(c);
        const bool inside = quoted && i > 0 && i + 1 < local.size();
        if (inside ? c != u' ' && c != u'\t'
                         && (c < 0x20 || c == 0x7F || (c >= 0x80 && !isInternationalCharacter(c)))
                   : !quoted && c != u'.' && !isAtomCharacter(c))
            return notAllowed(c);
        twoDots = twoDots || (!quoted && c == u'.' && i > 0 && local[i - 1] == u'.');
    }
    if (!quoted && local.front() == u'.')
        return Problem{"the part before the @ starts with a dot"};
    if (!quoted && local.back() == u'.')
        return Problem{"the part before the @ ends with a dot"};
    if (twoDots)
        return Problem{"two dots together before the @"};
    if (bytes > longestLocalPart)
        return Problem{"the part before the @ is longer than 64 bytes"};
    return {};
}

Problem literalProblem(QStringView domain, QString *ascii)
{
    if (!domain.endsWith(u']'))
        return Problem{"a [ without a ] in the domain"};
    const QByteArray inside = domain.sliced(1, domain.size() - 2).toLatin1();
    unsigned char address[16];
    const bool valid = inside.left(5).compare("IPv6:", Qt::CaseInsensitive) == 0
                           ? ::inet_pton(AF_INET6, inside.constData() + 5, address) == 1
                           : ::inet_pton(AF_INET, inside.constData(), address) == 1;
    // inet_pton reads up to a NUL: what follows one would pass unread.
    if (!valid || inside.contains('\0'))
        return Problem{"the address in brackets is not a valid IP address"};
    if (ascii)
        *ascii = domain.toString().toLower();
    return {};
}

// The domain in ASCII through IDNA2008, or why it has none. IDNA that runs
// out of memory is memory that ran out, not a name that is wrong.
Problem internationalProblem(QStringView domain, QString &ascii)
{
    char *converted = nullptr;
    const int status = idn2_to_ascii_8z(domain.toUtf8().constData(), &converted, IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT);
    const std::unique_ptr<char, decltype(&std::free)> owned(converted, &std::free);
    if (status == IDN2_MALLOC)
        throw std::bad_alloc();
    Problem problem;
    if (status != IDN2_OK)
        problem.idnaStatus = status;
    else
        ascii = QString::fromLatin1(converted).toLower();
    return problem;
}

// The domain as IDNA reads its dots: the ideographic and full-width full
// stops separate labels as a dot does.
QStringView withPlainDots(QStringView domain, QString &store)
{
    if (std::none_of(domain.begin(), domain.end(), [](QChar c) { return isIdeographicFullStop(c.unicode()); }))
        return domain;
    store = domain.toString();
    std::replace_if(store.begin(), store.end(), [](QChar c) { return isIdeographicFullStop(c.unicode()); }, QChar(u'.'));
    return store;
}

// Whether the domain is a name mail can be sent to; its ASCII form and that
// form's length (for the address's whole length) when it is.
Problem domainProblem(QStringView written, QString *ascii, qsizetype &asciiLength)
{
    if (written.isEmpty())
        return Problem{"nothing after the @"};
    if (written.front() == u'[') {
        asciiLength = written.size();
        return literalProblem(written, ascii);
    }
    QString plain;
    const QStringView domain = withPlainDots(written, plain);
    // One pass finds what the checks below look at.
    bool international = false;
    bool comma = false;
    bool twoDots = false;
    bool dot = false;
    bool hyphens = false;
    std::optional<char32_t> wrong;
    for (qsizetype i = 0; i < domain.size(); ++i) {
        const char32_t c = codePointAt(domain, i);
        if (c > 0xFFFF)
            ++i;
        international = international || c >= 0x80;
        comma = comma || c == u',';
        twoDots = twoDots || (c == u'.' && i > 0 && domain[i - 1] == u'.');
        dot = dot || c == u'.';
        hyphens = hyphens || (c == u'-' && i > 0 && domain[i - 1] == u'-');
        if (!wrong && !isDomainCharacter(c))
            wrong = c;
    }
    if (comma)
        return Problem{"a comma in the domain"};
    if (domain.front() == u'.')
        return Problem{"the domain starts with a dot"};
    if (domain.back() == u'.')
        return Problem{"the domain ends with a dot"};
    if (twoDots)
        return Problem{"two dots together in the domain"};
    if (wrong)
        return notAllowed(*wrong, " in the domain");
    if (!dot)
        return Problem{"the domain has no dot"};
    // An ASCII domain is its own ASCII form, but for labels of IDNA's own
    // (xn--...); any other goes through IDNA.
    QString converted;
    if (international || (hyphens && domain.contains(u"xn--", Qt::CaseInsensitive))) {
        if (const Problem problem = internationalProblem(domain, converted))
            return problem;
    }
    const QStringView form = converted.isNull() ? domain : QStringView(converted);
    // IDNA maps some characters to others: what it gives must still be
    // letters, digits, hyphens and dots.
    for (QChar c : form)
        if (!isDomainCharacter(c.unicode()) || c.unicode() >= 0x80)
            return notAllowed(c.unicode(), " in the domain");
    if (form.size() > longestDomain)
        return Problem{"the domain is longer than 253 characters"};
    qsizetype lastLabel = 0;
    for (qsizetype start = 0; start <= form.size(); start = lastLabel) {
        qsizetype end = form.indexOf(u'.', start);
        end = end < 0 ? form.size() : end;
        const QStringView label = form.sliced(start, end - start);
        if (label.size() > longestLabel)
            return Problem{"a label of the domain is longer than 63 characters"};
        if (label.startsWith(u'-') || label.endsWith(u'-'))
            return Problem{"a label of the domain starts or ends with a hyphen"};
        if (end == form.size()) {
            if (std::all_of(label.begin(), label.end(), [](QChar c) { return c.isDigit(); }))
                return Problem{"the domain ends in a number"};
            break;
        }
        lastLabel = end + 1;
    }
    asciiLength = form.size();
    if (ascii)
        *ascii = form.toString().toLower();
    return {};
}

// Where the @ of an address stands, or why there is none to take.
qsizetype atOf(QStringView address, bool quoted, Problem &problem)
{
    if (quoted) {
        AddressTokens reader(address);
        Token first{};
        reader.next(first);
        if (!first.closed) {
            problem = Problem{"a quote before the @ is not closed"};
            return -1;
        }
        if (first.end < address.size() && address[first.end] == u'@')
            return first.end;
        problem = address.indexOf(u'@', first.end) < 0 ? Problem{"no @"} : Problem{"something between the quotes and the @"};
        return -1;
    }
    qsizetype at = -1;
    qsizetype ats = 0;
    bool space = false;
    bool separator = false;
    for (qsizetype i = 0; i < address.size(); ++i) {
        const char16_t c = address[i].unicode();
        if (c == u'@' && ats++ == 0)
            at = i;
        space = space || c == u' ' || c == u'\t';
        separator = separator || c == u',' || c == u';';
    }
    if (ats == 0)
        problem = Problem{"no @"};
    else if (ats > 1)
        problem = separator || space ? Problem{"more than one address"} : Problem{"more than one @"};
    else if (space)
        problem = Problem{"a space inside"};
    return problem ? -1 : at;
}

// The address itself: local@domain; with the domain's ASCII form when
// wanted, which costs a copy.
Parsed parseAddress(QStringView address, bool wantAscii)
{
    Parsed parsed;
    const bool quoted = address.startsWith(u'"');
    const qsizetype at = atOf(address, quoted, parsed.problem);
    if (at < 0)
        return parsed;
    parsed.local = address.first(at);
    parsed.domain = address.sliced(at + 1);
    qsizetype localBytes = 0;
    qsizetype asciiLength = 0;
    parsed.problem = localPartProblem(parsed.local, quoted, localBytes);
    if (!parsed.problem)
        parsed.problem = domainProblem(address.sliced(at + 1), wantAscii ? &parsed.asciiDomain : nullptr, asciiLength);
    if (!parsed.problem) {
        qsizetype domainBytes = 0;
        for (QChar c : address.sliced(at + 1))
            domainBytes += c.isSurrogate() ? 2 : utf8Bytes(c.unicode());
        if (localBytes + 1 + qMax(domainBytes, asciiLength) > longestAddress)
            parsed.problem = Problem{"the address is longer than 254 bytes"};
    }
    return parsed;
}

// A bare address, or a name followed by an address in angle brackets; a
// comment after either is no part of it (ann@x.org (Ann Lee)).
Parsed parse(QStringView text, bool wantAscii)
{
    const Tokens tokens = tokensOf(text);
    qsizetype count = tokens.size();
    while (count > 0 && (tokens[count - 1].kind == Kind::Blank
                         || (tokens[count - 1].kind == Kind::Comment && tokens[count - 1].closed)))
        --count;
    Parsed parsed;
    if (count == 0) {
        parsed.problem = Problem{"no @"};
        return parsed;
    }
    const QStringView body = text.first(tokens[count - 1].end);
    if (tokens[count - 1].is(u'>', text)) {
        for (qsizetype open = count - 2; open >= 0; --open) {
            if (!tokens[open].is(u'<', text))
                continue;
            parsed.problem = nameProblem(text, tokens.begin(), tokens.begin() + open);
            if (parsed.problem)
                return parsed;
            const qsizetype from = tokens[open].end;
            return parseAddress(Blanks::trimmed(body.sliced(from, body.size() - 1 - from)), wantAscii);
        }
    }
    for (qsizetype i = 0; i < count; ++i) {
        if (tokens[i].kind == Kind::Comment && !tokens[i].closed) {
            parsed.problem = Problem{"a ( without a )"};
            return parsed;
        }
    }
    return parseAddress(body, wantAscii);
}

// A quoted local part as addresses are compared: without its quotes where
// it needs none ("ann"@x.org is ann@x.org), else with only the escapes a
// quote and a backslash need.
QString comparedLocalPart(QStringView local)
{
    if (!local.startsWith(u'"'))
        return local.toString();
    QString inside;
    inside.reserve(local.size());
    for (qsizetype i = 1; i + 1 < local.size(); ++i) {
        if (local[i] == u'\\' && i + 2 < local.size())
            ++i;
        inside += local[i];
    }
    qsizetype bytes = 0;
    return localPartProblem(inside, false, bytes) ? AddressTokens::quoted(inside) : inside;
}

// The plainest addresses, most of every list, are told in one pass.
bool isPlain(QStringView text)
{
    return AddressCharacters::isPlainAddress(text.utf16(), text.size());
}

} // namespace

QString tooLongReason()
{
    return QStringLiteral("the line is longer than any address can be");
}

Verdict check(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.isEmpty())
        return {true, {}};
    if (text.size() > AddressTokens::longestRead)
        return {false, tooLongReason()};
    if (isPlain(text))
        return {};
    return {false, describe(parse(text, false).problem)};
}

bool isAddress(QStringView line)
{
    const QStringView text = trimmed(line);
    return !text.isEmpty() && text.size() <= AddressTokens::longestRead && (isPlain(text) || !parse(text, false).problem);
}

QStringView address(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.size() > AddressTokens::longestRead)
        return {};
    if (text.isEmpty() || isPlain(text))
        return text;
    const Parsed parsed = parse(text, false);
    if (parsed.problem)
        return {};
    return QStringView(parsed.local.begin(), parsed.domain.end());
}

QString key(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.isEmpty())
        return {};
    if (isPlain(text))
        return text.toString().toLower();
    const Parsed parsed = parse(text, true);
    if (parsed.problem)
        return {};
    return comparedLocalPart(parsed.local).toCaseFolded() + u'@' + parsed.asciiDomain;
}

} // namespace AddressCheck
