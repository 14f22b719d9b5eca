#include "addresses/Recipients.h"

#include <vector>

namespace Recipients {

namespace {

bool isBlank(QStringView item)
{
    for (QChar c : item)
        if (c != u' ' && c != u'\t')
            return false;
    return true;
}

// For every position, the last place at or after it where a character
// occurs (-1 for none): one pass from the end, so that finding out whether
// an opening sign closes later costs nothing.
std::vector<qsizetype> lastOccurrences(QStringView line, char16_t c)
{
    std::vector<qsizetype> last(size_t(line.size()) + 1, -1);
    for (qsizetype i = line.size() - 1; i >= 0; --i)
        last[size_t(i)] = line[i] == c ? qMax(i, last[size_t(i) + 1]) : last[size_t(i) + 1];
    return last;
}

} // namespace

QList<std::pair<qsizetype, qsizetype>> in(QStringView line)
{
    QList<std::pair<qsizetype, qsizetype>> recipients;
    const std::vector<qsizetype> lastQuote = lastOccurrences(line, u'"');
    const std::vector<qsizetype> lastAngle = lastOccurrences(line, u'>');
    const std::vector<qsizetype> lastParenthesis = lastOccurrences(line, u')');
    const auto closesLater = [](const std::vector<qsizetype> &last, qsizetype i) { return last[size_t(i) + 1] > i; };
    const auto add = [&](qsizetype from, qsizetype to) {
        if (!isBlank(line.sliced(from, to - from)))
            recipients.append({from, to});
    };
    qsizetype start = 0;
    bool quoted = false;
    bool angled = false;
    int comments = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'\\')
                ++i;
            else if (c == u'"')
                quoted = false;
        } else if (c == u'"' && closesLater(lastQuote, i)) {
            quoted = true;
        } else if (comments > 0) {
            comments += c == u'(' ? 1 : c == u')' ? -1 : 0;
        } else if (c == u'(' && closesLater(lastParenthesis, i)) {
            comments = 1;
        } else if (angled) {
            angled = c != u'>';
        } else if (c == u'<' && closesLater(lastAngle, i)) {
            angled = true;
        } else if (c == u',') {
            add(start, i);
            start = i + 1;
        }
    }
    add(start, line.size());
    return recipients;
}

} // namespace Recipients
