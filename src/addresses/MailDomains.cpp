#include "addresses/MailDomains.h"


#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <bit>
#include <array>
#include <vector>

namespace MailDomains {

namespace {

// Commonest first, from mail services across the world: the big webmail
// services with their countries' domains, then national providers and
// internet providers' own.
constexpr std::array table = {
    "gmail.com", "yahoo.com", "hotmail.com", "outlook.com", "aol.com", "icloud.com", "live.com",
    "msn.com", "googlemail.com", "hotmail.co.uk", "yahoo.co.uk", "hotmail.fr", "yahoo.fr", "yahoo.co.in",
    "yahoo.co.jp", "yahoo.com.br", "yahoo.es", "yahoo.it", "yahoo.de", "yahoo.ca", "yahoo.com.au",
    "yahoo.com.mx", "yahoo.com.ar", "hotmail.de", "hotmail.it", "hotmail.es", "hotmail.com.br",
    "hotmail.ca", "outlook.fr", "outlook.de", "outlook.es", "outlook.it", "live.co.uk", "live.fr",
    "live.nl", "live.it", "live.ca", "live.com.au", "ymail.com", "rocketmail.com", "me.com", "mac.com",
    "protonmail.com", "proton.me", "pm.me", "mail.com", "email.com", "gmx.com", "gmx.de", "gmx.net",
    "gmx.at", "gmx.ch", "web.de", "t-online.de", "freenet.de", "arcor.de", "posteo.de", "mailbox.org",
    "orange.fr", "wanadoo.fr", "free.fr", "laposte.net", "sfr.fr", "neuf.fr", "libero.it",
    "virgilio.it", "tiscali.it", "alice.it", "tin.it", "mail.ru", "yandex.ru", "yandex.com", "ya.ru",
    "rambler.ru", "bk.ru", "list.ru", "inbox.ru", "ukr.net", "qq.com", "163.com", "126.com", "sina.com",
    "sohu.com", "yeah.net", "foxmail.com", "naver.com", "daum.net", "hanmail.net", "nate.com",
    "rediffmail.com", "uol.com.br", "bol.com.br", "terra.com.br", "ig.com.br", "zoho.com",
    "fastmail.com", "tutanota.com", "tuta.io", "hey.com", "seznam.cz", "centrum.cz", "wp.pl", "o2.pl",
    "onet.pl", "interia.pl", "op.pl", "btinternet.com", "sky.com", "virginmedia.com", "ntlworld.com",
    "talktalk.net", "blueyonder.co.uk", "comcast.net", "verizon.net", "att.net", "sbcglobal.net",
    "cox.net", "charter.net", "earthlink.net", "bellsouth.net", "juno.com", "shaw.ca", "rogers.com",
    "sympatico.ca", "telus.net", "bigpond.com", "optusnet.com.au", "xtra.co.nz", "xs4all.nl",
    "ziggo.nl", "kpnmail.nl", "planet.nl", "home.nl", "telenet.be", "skynet.be", "bluewin.ch",
    "sunrise.ch", "aim.com", "inbox.com", "iol.pt", "sapo.pt", "telefonica.net", "movistar.es",
    "abv.bg", "freemail.hu", "citromail.hu", "walla.co.il", "yahoo.gr", "otenet.gr",
};

// The name a domain is known by: its first label (gmail of gmail.com).
QByteArrayView nameOf(QByteArrayView domain)
{
    const qsizetype dot = domain.indexOf('.');
    return dot < 0 ? domain : domain.first(dot);
}

// Edits a domain of the table may be away from a typo of it: two, but one
// of them at most in a name of four letters (live, zoho), and none in a
// name of three or fewer (aol, gmx, wp), where the suffix alone may be
// mistyped: such short names are real domains' as often as typos.
int reach(QByteArrayView domain)
{
    return nameOf(domain).size() > 3 ? 2 : 1;
}

bool nameNearEnough(QByteArrayView typo, QByteArrayView domain)
{
    const QByteArrayView name = nameOf(domain);
    if (name.size() > 4)
        return true;
    return editDistance(nameOf(typo), name) <= (name.size() == 4 ? 1 : 0);
}

// The kinds of character a string holds, a bit for each letter, digit,
// dot and hyphen and one for any other: an edit brings in at most one kind
// and takes away at most one.
quint64 kindsOf(QByteArrayView text)
{
    quint64 kinds = 0;
    for (const char c : text) {
        int bit = 63;
        if (c >= 'a' && c <= 'z')
            bit = c - 'a';
        else if (c >= '0' && c <= '9')
            bit = 26 + c - '0';
        else if (c == '.' || c == '-')
            bit = c == '.' ? 36 : 37;
        kinds |= quint64(1) << bit;
    }
    return kinds;
}

// The table's domains, each with the kinds of character it holds: a string
// within two edits of one differs from it in size and in kinds by two at
// most, which rules out nearly every domain before its distance is reckoned.
class Index
{
public:
    Index()
    {
        for (const char *domain : table) {
            m_kinds.push_back(kindsOf(domain));
            m_common.insert(QByteArray(domain));
        }
    }

    bool isCommon(QByteArrayView domain) const
    {
        return m_common.contains(QByteArray::fromRawData(domain.data(), domain.size()));
    }

    QByteArray meant(QByteArrayView domain) const
    {
        if (isCommon(domain))
            return {};
        const quint64 kinds = kindsOf(domain);
        int best = -1;
        int bestDistance = 3;
        for (int i = 0; i < int(table.size()); ++i) {
            const QByteArrayView candidate(table[i]);
            if (qAbs(candidate.size() - domain.size()) > 2 || std::popcount(kinds & ~m_kinds[i]) > 2
                || std::popcount(m_kinds[i] & ~kinds) > 2)
                continue;
            const int distance = editDistance(domain, candidate);
            if (distance < bestDistance && distance <= reach(candidate) && nameNearEnough(domain, candidate)) {
                best = i;
                bestDistance = distance;
            }
        }
        return best < 0 ? QByteArray() : QByteArray(table[best]);
    }

private:
    std::vector<quint64> m_kinds;
    QSet<QByteArray> m_common;
};

const Index &index()
{
    static const Index built;
    return built;
}

} // namespace

extern const char realDomainsList[];
extern const char disposableDomainsList[];

namespace {

// A list's domains, one to a line, # starting a comment.
QSet<QByteArray> domainsOf(const char *list)
{
    QSet<QByteArray> domains;
    for (const QByteArray &line : QByteArray::fromRawData(list, qstrlen(list)).split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            domains.insert(line);
    return domains;
}

bool holds(const QSet<QByteArray> &domains, QByteArrayView domain)
{
    return domains.contains(QByteArray::fromRawData(domain.data(), domain.size()));
}

} // namespace

bool isKnownReal(QByteArrayView domain)
{
    static const QSet<QByteArray> domains = domainsOf(realDomainsList);
    return holds(domains, domain);
}

bool isDisposable(QByteArrayView domain)
{
    static const QSet<QByteArray> domains = domainsOf(disposableDomainsList);
    return holds(domains, domain);
}

std::span<const char *const> all()
{
    return table;
}

bool isCommon(QByteArrayView domain)
{
    return index().isCommon(domain);
}

QByteArray meant(QByteArrayView domain)
{
    return index().meant(domain);
}

QList<QByteArray> candidates(QByteArrayView domain)
{
    std::vector<std::pair<int, qsizetype>> near;
    for (qsizetype i = 0; i < qsizetype(table.size()); ++i) {
        const QByteArrayView candidate(table[i]);
        if (candidate == domain || qAbs(candidate.size() - domain.size()) > 2)
            continue;
        const int distance = editDistance(domain, candidate);
        if (distance <= (nameOf(candidate).size() > 4 ? 2 : 1))
            near.emplace_back(distance, i);
    }
    std::stable_sort(near.begin(), near.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<QByteArray> found;
    for (const auto &[distance, i] : near)
        found.append(QByteArray(table[i]));
    return found;
}

QByteArray sameNameMeant(QByteArrayView domain)
{
    const QByteArrayView name = nameOf(domain);
    const char *best = nullptr;
    int bestDistance = 3;
    for (const char *candidate : table) {
        if (nameOf(candidate) != name)
            continue;
        const int distance = editDistance(domain, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best ? QByteArray(best) : QByteArray();
}

int editDistance(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    QVarLengthArray<int, 64> row0(m + 1), row1(m + 1), row2(m + 1);
    for (qsizetype j = 0; j <= m; ++j)
        row1[j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        row2[0] = int(i);
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int best = std::min({row1[j] + 1, row2[j - 1] + 1, row1[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, row0[j - 2] + 1);
            row2[j] = best;
        }
        std::swap(row0, row1);
        std::swap(row1, row2);
    }
    return row1[m];
}

} // namespace MailDomains
