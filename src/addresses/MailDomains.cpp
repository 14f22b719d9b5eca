#include "addresses/MailDomains.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <array>

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

// The strings a string becomes with up to so many of its characters left
// out: a typo and what it meant share one when they are that many edits
// apart or fewer. Each is handed to f in a buffer of its own, valid while f
// runs.
template<typename F>
void forEachOmission(QByteArrayView text, int edits, F f)
{
    f(text);
    if (edits == 0 || text.isEmpty())
        return;
    QVarLengthArray<char, 64> shorter(text.size() - 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Leaving out either of two equal neighbours makes the same string.
        if (i > 0 && text[i] == text[i - 1])
            continue;
        std::copy(text.begin(), text.begin() + i, shorter.begin());
        std::copy(text.begin() + i + 1, text.end(), shorter.begin() + i);
        forEachOmission(QByteArrayView(shorter.data(), shorter.size()), edits - 1, f);
    }
}

// Every omission of the table's domains, with the domains it comes from.
class Index
{
public:
    Index()
    {
        for (int i = 0; i < int(table.size()); ++i) {
            forEachOmission(table[i], reach(table[i]), [&](QByteArrayView omission) {
                QList<int> &domains = m_domains[omission.toByteArray()];
                if (!domains.contains(i))
                    domains.append(i);
            });
            m_common.insert(QByteArray(table[i]));
        }
    }

    bool isCommon(QByteArrayView domain) const
    {
        return m_common.contains(QByteArray::fromRawData(domain.data(), domain.size()));
    }

    QByteArray meant(QByteArrayView domain) const
    {
        if (domain.size() > longest + 2 || isCommon(domain))
            return {};
        int best = -1;
        int bestDistance = 3;
        forEachOmission(domain, 2, [&](QByteArrayView omission) {
            const auto found = m_domains.constFind(QByteArray::fromRawData(omission.data(), omission.size()));
            if (found == m_domains.cend())
                return;
            for (const int i : *found) {
                const int distance = editDistance(domain, table[i]);
                if (distance <= reach(table[i]) && nameNearEnough(domain, table[i])
                    && (distance < bestDistance || (distance == bestDistance && i < best))) {
                    best = i;
                    bestDistance = distance;
                }
            }
        });
        return best < 0 ? QByteArray() : QByteArray(table[best]);
    }

private:
    static constexpr qsizetype longest = 20; // no domain of the table is longer
    QHash<QByteArray, QList<int>> m_domains;
    QSet<QByteArray> m_common;
};

const Index &index()
{
    static const Index built;
    return built;
}

} // namespace

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
