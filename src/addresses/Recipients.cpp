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

QList<std::pair<qsizetype, qsizetype>> in(QStringView line)
{
    QList<std::pair<qsizetype, qsizetype>> recipients;
    const auto add = [&](qsizetype from, qsizetype to) {
        if (!isBlank(line.sliced(from, to - from)))
            recipients.append({from, to});
    };
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
        } else if (c == u',') {
            add(start, token.start);
            start = token.end;
        }
    }
    add(start, line.size());
    return recipients;
}

} // namespace Recipients
