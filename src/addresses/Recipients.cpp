#include "addresses/Recipients.h"

#include "addresses/AddressTokens.h"
#include "core/Blanks.h"

namespace Recipients {

namespace {

bool isBlank(QStringView item)
{
    return Blanks::trimmed(item).isEmpty();
}

// Where the last > stands outside quoted strings and comments, or -1: a <
// before it opens angle brackets that close.
qsizetype lastClosingAngle(QStringView line)
{
    qsizetype last = -1;
    AddressTokens tokens(line);
    for (AddressTokens::Token token; tokens.next(token);)
        if (token.is(u'>', line))
            last = token.start;
    return last;
}

} // namespace

QList<std::pair<qsizetype, qsizetype>> in(QStringView line, char16_t separator)
{
    QList<std::pair<qsizetype, qsizetype>> recipients;
    const auto add = [&](qsizetype from, qsizetype to) {
        if (!isBlank(line.sliced(from, to - from)))
            recipients.append({from, to});
    };
    if (separator == u'\n') {
        qsizetype start = 0;
        for (qsizetype lf = line.indexOf(u'\n'); lf >= 0; start = lf + 1, lf = line.indexOf(u'\n', start))
            add(start, lf > start && line[lf - 1] == u'\r' ? lf - 1 : lf);
        add(start, line.size());
        return recipients;
    }
    const qsizetype closingAngle = lastClosingAngle(line);
    qsizetype start = 0;
    bool angled = false;
    AddressTokens tokens(line);
    for (AddressTokens::Token token; tokens.next(token);) {
        if (token.kind != AddressTokens::Kind::Sign)
            continue;
        const QChar c = line[token.start];
        if (angled) {
            angled = c != u'>';
        } else if (c == u'<') {
            angled = token.start < closingAngle;
        } else if (c == separator) {
            add(start, token.start);
            start = token.end;
        }
    }
    add(start, line.size());
    return recipients;
}

} // namespace Recipients
