// GLib's headers name a member "signals", which Qt's headers make a
// keyword: they come first.
#include <gmime/gmime.h>

#include "addresses/AddressExtraction.h"

#include <QUrl>

#include <algorithm>
#include <array>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace AddressExtraction {

namespace {

// Lines longer than this are no header fields: GMime is not asked.
constexpr qsizetype longestHeader = 1 << 16;

char32_t codePointBefore(QStringView text, qsizetype i)
{
    if (text[i - 1].isLowSurrogate() && i >= 2 && text[i - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[i - 2], text[i - 1]);
    return text[i - 1].unicode();
}

char32_t codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    return text[i].unicode();
}

int width(char32_t c)
{
    return c > 0xFFFF ? 2 : 1;
}

bool isWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    const QChar::Category category = QChar::category(c);
    return (category >= QChar::Mark_NonSpacing && category <= QChar::Number_Other)
           || (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other);
}

// What a local part may hold: letters of any script, digits, dots and the
// signs of a dot-atom.
bool isLocalCharacter(char32_t c)
{
    static const std::array<bool, 0x80> ascii = [] {
        std::array<bool, 0x80> table{};
        for (char16_t c : u"!#$%&'*+-/=?^_`{|}~.abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")
            table[c] = c != 0;
        return table;
    }();
    return c < 0x80 ? ascii[c] : isWordCharacter(c);
}

bool isDomainCharacter(char32_t c)
{
    return isWordCharacter(c) || c == u'-' || c == u'.';
}

// Mailboxes through GMime --------------------------------------------------------

qsizetype atsOutsideQuotes(QStringView line)
{
    qsizetype ats = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == u'\\')
            ++i;
        else if (line[i] == u'"')
            quoted = !quoted;
        else if (!quoted && line[i] == u'@')
            ++ats;
    }
    return ats;
}

// Whether every ( in the line, wherever it stands, opens a comment that
// closes as GMime reads comments (nested, a backslash escaping the next
// character). GMime loses memory on every call where one does not close
// after an address literal, so such a line is not given to it. From the
// character after a (, every reading of the line agrees on which brackets
// are escaped; the comment closes where the running count of brackets from
// there first falls below where it started.
bool everyCommentCloses(QStringView line)
{
    std::vector<int> depth(size_t(line.size()) + 1, 0); // count of ( less ) before each position
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        depth[size_t(i) + 1] = depth[size_t(i)] + (c == u'(') - (c == u')');
        if (c == u'\\' && i + 1 < line.size()) {
            ++i;
            depth[size_t(i) + 1] = depth[size_t(i)];
        }
    }
    int lowestAfter = std::numeric_limits<int>::max();
    for (qsizetype i = line.size() - 1; i >= 0; --i) {
        if (line[i] == u'(' && lowestAfter > depth[size_t(i) + 1] - 1)
            return false;
        lowestAfter = std::min(lowestAfter, depth[size_t(i) + 1]);
    }
    return true;
}

void addMailboxes(InternetAddressList *list, QStringList &found)
{
    for (int i = 0; i < internet_address_list_length(list); ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address))
            addMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), found);
        else
            found << QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
}

// The line as a header's list of mailboxes, when it is one: every @ of it
// in an address GMime finds, nothing else taken for one. A line with one @
// is left to the scan, which finds the same in a mailbox of any form.
std::optional<QStringList> asMailboxes(QStringView line)
{
    if (line.size() > longestHeader || atsOutsideQuotes(line) < 2 || line.contains(QChar(0)) || !everyCommentCloses(line))
        return std::nullopt;
    static std::once_flag initialised;
    std::call_once(initialised, [] { g_mime_init(); });
    InternetAddressList *list = internet_address_list_parse(nullptr, line.toUtf8().constData());
    if (!list)
        return std::nullopt;
    QStringList found;
    addMailboxes(list, found);
    g_object_unref(list);
    const bool whole = found.size() == atsOutsideQuotes(line)
                       && std::all_of(found.begin(), found.end(), [](const QString &a) { return a.contains(u'@'); });
    return whole ? std::optional(found) : std::nullopt;
}

// The scan around each @ -------------------------------------------------------------

struct Scan
{
    QStringView line;
    std::vector<std::pair<qsizetype, QString>> found;   // where each starts, and what
    std::vector<std::pair<qsizetype, qsizetype>> taken; // what mailto: links hold, in order
};

// A mailto: link's recipients: the path and its to, cc and bcc fields,
// percent-decoded, a comma between addresses; its subject and body are no
// addresses, whatever they hold.
void scanMailto(Scan &scan, qsizetype at)
{
    static const QString stops = QStringLiteral(" \t\"'<>()[]");
    qsizetype end = at + 7;
    while (end < scan.line.size() && !stops.contains(scan.line[end]))
        ++end;
    scan.taken.emplace_back(at, end);
    const QStringView link = scan.line.sliced(at + 7, end - at - 7);
    const qsizetype question = link.indexOf(u'?');
    QList<QStringView> parts{question < 0 ? link : link.first(question)};
    if (question >= 0) {
        for (QStringView field : link.sliced(question + 1).split(u'&')) {
            const qsizetype equals = field.indexOf(u'=');
            const QStringView name = field.first(qMax<qsizetype>(0, equals));
            if (equals > 0 && (name.compare(u"to", Qt::CaseInsensitive) == 0 || name.compare(u"cc", Qt::CaseInsensitive) == 0
                               || name.compare(u"bcc", Qt::CaseInsensitive) == 0))
                parts << field.sliced(equals + 1);
        }
    }
    for (QStringView part : parts) {
        const QString decoded = QUrl::fromPercentEncoding(part.toUtf8());
        for (QStringView address : QStringView(decoded).split(u','))
            if (address.trimmed().contains(u'@'))
                scan.found.emplace_back(at, address.trimmed().toString());
    }
}

// The address around the @ at: as far as a local part's characters reach
// before it (or a quoted string), and a domain's after it (or an address
// literal); punctuation around it stays out. Answers where it ends.
qsizetype scanAt(Scan &scan, qsizetype at)
{
    const QStringView line = scan.line;
    qsizetype start = at;
    if (at > 1 && line[at - 1] == u'"' && line.lastIndexOf(u'"', at - 2) >= 0) {
        start = line.lastIndexOf(u'"', at - 2);
    } else {
        while (start > 0 && isLocalCharacter(codePointBefore(line, start)))
            start -= width(codePointBefore(line, start));
        while (start < at && (line[start] == u'.' || line[start] == u'\'' || line[start] == u'`'))
            ++start;
    }
    qsizetype end = at + 1;
    if (end < line.size() && line[end] == u'[' && line.indexOf(u']', end) > 0) {
        end = line.indexOf(u']', end) + 1;
    } else {
        while (end < line.size() && isDomainCharacter(codePointAt(line, end)))
            end += width(codePointAt(line, end));
        while (end > at + 1 && line[end - 1] == u'.')
            --end;
    }
    if (start < at && end > at + 1)
        scan.found.emplace_back(start, line.sliced(start, end - start).toString());
    return end;
}

} // namespace

QStringList in(QStringView line)
{
    if (!line.contains(u'@') && !line.contains(u"mailto:", Qt::CaseInsensitive))
        return {};
    if (std::optional<QStringList> mailboxes = asMailboxes(line))
        return *std::move(mailboxes);
    Scan scan{line, {}, {}};
    if (line.contains(u':')) {
        for (qsizetype at = line.indexOf(u"mailto:", 0, Qt::CaseInsensitive); at >= 0;
             at = line.indexOf(u"mailto:", scan.taken.back().second, Qt::CaseInsensitive))
            scanMailto(scan, at);
    }
    auto link = scan.taken.begin();
    for (qsizetype at = line.indexOf(u'@'); at >= 0; at = line.indexOf(u'@', at + 1)) {
        while (link != scan.taken.end() && link->second <= at)
            ++link;
        if (link == scan.taken.end() || at < link->first)
            at = qMax(at, scanAt(scan, at) - 1);
    }
    std::stable_sort(scan.found.begin(), scan.found.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList found;
    found.reserve(qsizetype(scan.found.size()));
    for (auto &[start, address] : scan.found)
        found << std::move(address);
    return found;
}

} // namespace AddressExtraction
