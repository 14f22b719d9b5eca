#include "addresses/AddressCheck.h"

#include "core/Blanks.h"

#include <QChar>

#include <arpa/inet.h>
#include <idn2.h>
#include <unicode/uchar.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace AddressCheck {

namespace {

constexpr qsizetype longestLocalPart = 64; // bytes in UTF-8
constexpr qsizetype longestDomain = 253;
constexpr qsizetype longestLabel = 63;

QStringView trimmed(QStringView text)
{
    return Blanks::trimmed(text);
}

char32_t codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    return text[i].unicode();
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

// The signs a dot-atom may hold beside letters and digits.
bool isAtomSign(char16_t c)
{
    switch (c) {
    case u'!': case u'#': case u'$': case u'%': case u'&': case u'\'': case u'*': case u'+': case u'-':
    case u'/': case u'=': case u'?': case u'^': case u'_': case u'`': case u'{': case u'|': case u'}':
    case u'~':
        return true;
    default:
        return false;
    }
}

// Letters of any script, and the marks, digits, signs and symbols that go
// with them; no controls, spaces, separators or unassigned code points.
bool isInternationalCharacter(char32_t c)
{
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
           && category != QChar::Separator_Paragraph;
}

bool isAtomCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || isAtomSign(char16_t(c));
    return isInternationalCharacter(c);
}

// The position of the first c outside a quoted string, or -1.
qsizetype unquoted(QStringView text, char16_t c, bool last = false)
{
    qsizetype found = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (quoted && text[i] == u'\\')
            ++i;
        else if (text[i] == u'"')
            quoted = !quoted;
        else if (!quoted && text[i] == c && (found = i, !last))
            break;
    }
    return found;
}

struct Parsed
{
    Problem problem;
    QStringView local;
    QString asciiDomain; // the domain in ASCII, lower case, when asked for
};

// A display name: words and quoted strings, with no sign unquoted that
// would make it more than a name.
Problem nameProblem(QStringView name)
{
    bool quoted = false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (quoted) {
            if (c == u'\\')
                ++i;
            else if (c == u'"')
                quoted = false;
            continue;
        }
        if (c == u'"')
            quoted = true;
        else if (c == u',')
            return Problem{"a comma in the name (put the name in quotes)"};
        else if (c == u';' || c == u':' || c == u'@' || c == u'<' || c == u'>' || c == u'[' || c == u']' || c == u'\\')
            return notAllowed(c.unicode(), " in the name");
    }
    return quoted ? Problem{"a quote in the name is not closed"} : Problem{};
}

Problem localPartProblem(QStringView local, bool quoted)
{
    if (local.isEmpty())
        return Problem{"nothing before the @"};
    qsizetype bytes = 0;
    bool twoDots = false;
    for (qsizetype i = 0; i < local.size(); ++i) {
        const char32_t c = codePointAt(local, i);
        if (c > 0xFFFF)
            ++i;
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        const bool inside = quoted && i > 0 && i + 1 < local.size();
        if (inside ? c != u' ' && c != u'\t' && (c < 0x20 || c == 0x7F || (c >= 0x80 && !isInternationalCharacter(c)))
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
    if (!valid)
        return Problem{"the address in brackets is not a valid IP address"};
    if (ascii)
        *ascii = domain.toString().toLower();
    return {};
}

// The domain in ASCII through IDNA2008, or why it has none.
Problem internationalProblem(QStringView domain, QString &ascii)
{
    char *converted = nullptr;
    const int status = idn2_to_ascii_8z(domain.toUtf8().constData(), &converted, IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT);
    const std::unique_ptr<char, decltype(&std::free)> owned(converted, &std::free);
    Problem problem;
    if (status != IDN2_OK)
        problem.idnaStatus = status;
    else
        ascii = QString::fromLatin1(converted).toLower();
    return problem;
}

Problem domainProblem(QStringView domain, QString *ascii)
{
    if (domain.isEmpty())
        return Problem{"nothing after the @"};
    if (domain.front() == u'[')
        return literalProblem(domain, ascii);
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
    // IDNA maps some characters to others (a full-width stop to a dot): what
    // it gives must still be letters, digits, hyphens and dots.
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
    if (ascii)
        *ascii = form.toString().toLower();
    return {};
}

// The address itself: local@domain; with the domain's ASCII form when
// wanted, which costs a copy.
Parsed parseAddress(QStringView address, bool wantAscii)
{
    Parsed parsed;
    qsizetype at = -1;
    const bool quoted = address.startsWith(u'"');
    if (quoted) {
        // The closing quote, an escaped one passed over.
        qsizetype end = 1;
        for (bool escaped = false; end < address.size() && (escaped || address[end] != u'"'); ++end)
            escaped = !escaped && address[end] == u'\\';
        if (end >= address.size()) {
            parsed.problem = Problem{"a quote before the @ is not closed"};
            return parsed;
        }
        at = end + 1;
        if (at >= address.size() || address[at] != u'@') {
            parsed.problem = address.indexOf(u'@', at) < 0 ? Problem{"no @"}
                                                            : Problem{"something between the quotes and the @"};
            return parsed;
        }
    } else {
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
        if (ats == 0) {
            parsed.problem = Problem{"no @"};
            return parsed;
        }
        if (ats > 1) {
            parsed.problem = separator || space ? Problem{"more than one address"} : Problem{"more than one @"};
            return parsed;
        }
        if (space) {
            parsed.problem = Problem{"a space inside"};
            return parsed;
        }
    }
    parsed.local = address.first(at);
    parsed.problem = localPartProblem(parsed.local, quoted);
    if (!parsed.problem)
        parsed.problem = domainProblem(address.sliced(at + 1), wantAscii ? &parsed.asciiDomain : nullptr);
    return parsed;
}

// A bare address, or a name followed by an address in angle brackets.
Parsed parse(QStringView text, bool wantAscii)
{
    if (text.endsWith(u'>')) {
        const qsizetype open = unquoted(text, u'<', true);
        if (open >= 0) {
            Parsed parsed;
            parsed.problem = nameProblem(text.first(open));
            return !parsed.problem
                       ? parseAddress(trimmed(text.sliced(open + 1, text.size() - open - 2)), wantAscii)
                       : parsed;
        }
    }
    return parseAddress(text, wantAscii);
}

} // namespace

Verdict check(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.isEmpty())
        return {true, {}};
    return {false, describe(parse(text, false).problem)};
}

bool isAddress(QStringView line)
{
    const QStringView text = trimmed(line);
    return !text.isEmpty() && !parse(text, false).problem;
}

QString key(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.isEmpty())
        return {};
    const Parsed parsed = parse(text, true);
    if (parsed.problem)
        return {};
    return parsed.local.toString().toCaseFolded() + u'@' + parsed.asciiDomain;
}

} // namespace AddressCheck
