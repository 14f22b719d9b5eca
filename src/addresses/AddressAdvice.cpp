#include "addresses/AddressAdvice.h"

#include "addresses/AddressCheck.h"
#include "addresses/AllowedAddresses.h"
#include "addresses/MailDomains.h"
#include "addresses/PublicSuffixes.h"
#include "core/QuickHash.h"

#include <QStringEncoder>
#include <QStringList>
#include <QVarLengthArray>

#include <libpsl.h>
#include <unicode/uscript.h>
#include <unicode/uspoof.h>

#include <algorithm>
#include <array>
#include <new>
#include <cstring>

namespace {

// Kept of this many domains at most before starting afresh.
constexpr qsizetype domainsKept = 1 << 16;

// Whether a suffix is one that ICANN delegates (com, co.uk, рф), not one
// that only the list's catch-all rule would make one (con).
bool isRealSuffix(const QByteArray &suffix)
{
    const psl_ctx_t *list = publicSuffixes();
    return !list || psl_is_public_suffix2(list, suffix.constData(), PSL_TYPE_ICANN | PSL_TYPE_NO_STAR_RULE);
}

// Whether the domain's top-level domain exists: some ending of the domain
// is a delegated suffix (za has none of its own, only co.za and the like).
bool topLevelExists(const QByteArray &domain)
{
    for (qsizetype from = 0;;) {
        if (isRealSuffix(domain.mid(from)))
            return true;
        const qsizetype dot = domain.indexOf('.', from);
        if (dot < 0)
            return false;
        from = dot + 1;
    }
}

QByteArray suffixOf(const QByteArray &domain)
{
    const psl_ctx_t *list = publicSuffixes();
    const char *suffix = list ? psl_unregistrable_domain(list, domain.constData()) : nullptr;
    return suffix ? QByteArray(suffix) : QByteArray();
}

QByteArray nameOf(const QByteArray &domain)
{
    return domain.left(domain.indexOf('.'));
}

// Top-level domains by how often mail goes to them: the one a letter away
// from one that does not exist is taken in this order.
constexpr std::array commonTopLevels = {
    "com", "net", "org", "de", "uk", "fr", "it", "nl", "ru", "br", "au", "jp", "ca", "es", "ch", "pl",
    "in", "be", "at", "se", "dk", "no", "fi", "cz", "eu", "us", "info", "biz", "io", "co", "me", "edu",
    "gov", "mx", "ar", "cn", "kr", "hk", "nz", "za", "ie", "pt", "gr", "tr", "il", "hu", "ro", "sk",
};

// The commonest top-level domain one edit away from one that is none.
QByteArray nearTopLevel(const QByteArray &topLevel)
{
    for (const char *common : commonTopLevels)
        if (MailDomains::editDistance(topLevel, common) == 1)
            return common;
    return {};
}

// Whether a suggestion would only trade one real suffix for another: the
// same name under another country's or a generic suffix is as likely a
// real domain as a typo (yahoo.se, live.at, gmx.fr, aol.co), which only
// the mail system can tell.
bool tradesRealSuffixes(const QByteArray &domain, const QByteArray &meant)
{
    return nameOf(domain) == nameOf(meant) && isRealSuffix(suffixOf(domain));
}

// Whether a suggestion would take a label away from a domain that is not
// the meant one's name with a dot slipped in: such a domain names a host
// under another domain (mail.x.org, g.mail.com), as likely real as a typo.
bool dropsAHost(const QByteArray &domain, const QByteArray &meant)
{
    return domain.count('.') > meant.count('.') && nameOf(domain) != nameOf(meant);
}

// Local parts that say no one reads them, and those of jobs rather than
// persons (RFC 2142's, and the like).
constexpr std::array noReplies = {"noreply", "no-reply", "no_reply", "donotreply", "do-not-reply", "do_not_reply",
                                  "noresponse", "no-response", "mailer-daemon"};
constexpr std::array roles = {"postmaster", "hostmaster", "webmaster", "abuse", "security", "noc", "info",
                              "support", "sales", "marketing", "admin", "administrator", "root", "billing",
                              "office", "contact", "help"};

// A local part's role, without a +tag, in any case: its kind and the
// warning, or none.
std::pair<AddressAdvice::Kind, QString> roleOf(QByteArrayView local)
{
    const qsizetype plus = local.indexOf('+');
    const QByteArray name = (plus < 0 ? local : local.first(plus)).toByteArray().toLower();
    for (const char *noReply : noReplies)
        if (name == noReply)
            return {AddressAdvice::Kind::NoReply, QStringLiteral("a no-reply address, which no one reads")};
    for (const char *role : roles)
        if (name == role)
            return {AddressAdvice::Kind::Role, QStringLiteral("%1 is a role, not a person").arg(QLatin1String(role))};
    return {AddressAdvice::Kind::None, {}};
}

QString reservedDomain(const QByteArray &domain)
{
    const QByteArray topLevel = domain.mid(domain.lastIndexOf('.') + 1);
    for (const char *examples : {"example.com", "example.net", "example.org"})
        if (domain == examples || domain.endsWith(QByteArray(".") + examples))
            return QStringLiteral("%1 is reserved for examples").arg(QLatin1String(examples));
    if (topLevel == "example")
        return QStringLiteral(".example is reserved for examples");
    if (domain == "localhost" || topLevel == "localhost")
        return QStringLiteral("localhost is never delivered");
    for (const char *never : {"invalid", "test", "local"})
        if (topLevel == never)
            return QStringLiteral(".%1 is never delivered").arg(QLatin1String(never));
    return {};
}

bool isAscii(QByteArrayView text)
{
    for (const char c : text)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

bool isAscii(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The domain with its labels parted by plain full stops, whichever of the
// full stops that international names allow was written.
QString withFullStops(QStringView domain)
{
    QString labels = domain.toString();
    for (const char16_t stop : {u'\u3002', u'\uff0e', u'\uff61'})
        labels.replace(QChar(stop), u'.');
    return labels;
}

} // namespace

AddressAdvice::AddressAdvice() = default;

AddressAdvice::~AddressAdvice()
{
    uspoof_close(m_spoofChecker);
}

AddressAdvice::Advice AddressAdvice::on(QStringView line)
{
    return onAddress(AddressCheck::address(line));
}

AddressAdvice::Advice AddressAdvice::onAddress(QStringView address)
{
    QVarLengthArray<char, 256> utf8(3 * address.size());
    if (isAscii(address)) {
        std::transform(address.begin(), address.end(), utf8.begin(), [](QChar c) { return char(c.unicode()); });
        return onAddress(QByteArrayView(utf8.data(), address.size()));
    }
    QStringEncoder encoder(QStringEncoder::Utf8);
    char *end = encoder.appendToBuffer(utf8.data(), address);
    return onAddress(QByteArrayView(utf8.data(), end));
}

AddressAdvice::Advice AddressAdvice::onAddress(QByteArrayView address)
{
    const char *sign = static_cast<const char *>(memrchr(address.data(), '@', size_t(address.size())));
    if (!sign || address.endsWith(']'))
        return {};
    const qsizetype at = sign - address.data();
    const QByteArrayView local = address.first(at);
    const DomainAdvice &found = adviceOnDomain(address.sliced(at + 1));
    Advice advice;
    if (!found.domain.isEmpty()) {
        advice.suggestion = QString::fromUtf8(local) + u'@' + found.domain;
        advice.warning = (found.warning.isEmpty() ? QString() : found.warning + QStringLiteral(", "))
                         + QStringLiteral("did you mean %1?").arg(advice.suggestion);
        advice.kind = Kind::Domain;
    } else if (!found.warning.isEmpty()) {
        advice = {found.warning, {}, found.disposable ? Kind::Disposable : Kind::Domain};
    } else if (const auto [role, warning] = roleOf(local); role != Kind::None) {
        advice = {warning, {}, role};
    } else if (!isAscii(local)) {
        advice.warning = lookAlikeIn(QString::fromUtf8(local), QStringLiteral("the local part"));
        advice.kind = advice.warning.isEmpty() ? Kind::None : Kind::LookAlike;
    }
    if (advice.kind != Kind::None && AllowedAddresses::shared().allows(QString::fromUtf8(address)))
        return {};
    return advice;
}

// Found once for each domain; kept for so many domains, then afresh.
const AddressAdvice::DomainAdvice &AddressAdvice::adviceOnDomain(QByteArrayView domain)
{
    // Lines in a row mostly share their domain: the last one is tried first.
    if (m_lastDomain < m_domainSpans.size()) {
        const auto [start, size] = m_domainSpans[m_lastDomain];
        if (QByteArrayView(m_domainBytes.constData() + start, size) == domain)
            return m_domainAdvice[m_lastDomain];
    }
    const quint64 hash = quickHash(domain);
    const quint64 high = hash & ~quint64(0xffffffff);
    const size_t mask = m_places.size() - 1;
    for (size_t place = hash & mask; !m_places.empty() && m_places[place] != 0; place = (place + 1) & mask) {
        if ((m_places[place] & ~quint64(0xffffffff)) != high)
            continue;
        const size_t number = size_t(m_places[place] & 0xffffffff) - 1;
        const auto [start, size] = m_domainSpans[number];
        if (QByteArrayView(m_domainBytes.constData() + start, size) == domain) {
            m_lastDomain = number;
            return m_domainAdvice[number];
        }
    }
    makeRoom();
    m_lastDomain = m_domainSpans.size();
    m_places[freePlace(hash)] = high | (m_domainSpans.size() + 1);
    m_domainSpans.emplace_back(quint32(m_domainBytes.size()), quint32(domain.size()));
    m_domainBytes.append(domain);
    m_domainAdvice.push_back(findAdviceOnDomain(QString::fromUtf8(domain)));
    return m_domainAdvice.back();
}

// Room for one more domain: the table of places at most half full, and no
// more than so many domains kept.
void AddressAdvice::makeRoom()
{
    if (m_domainSpans.size() >= size_t(domainsKept)) {
        m_domainBytes.clear();
        m_domainSpans.clear();
        m_domainAdvice.clear();
        m_places.clear();
    }
    if (2 * (m_domainSpans.size() + 1) <= m_places.size())
        return;
    std::vector<quint64> places = std::move(m_places);
    m_places.assign(places.empty() ? 1024 : 2 * places.size(), 0);
    for (const quint64 place : places)
        if (place != 0) {
            const auto [start, size] = m_domainSpans[size_t(place & 0xffffffff) - 1];
            m_places[freePlace(quickHash(QByteArrayView(m_domainBytes.constData() + start, size)))] = place;
        }
}

size_t AddressAdvice::freePlace(quint64 hash) const
{
    const size_t mask = m_places.size() - 1;
    size_t place = hash & mask;
    while (m_places[place] != 0)
        place = (place + 1) & mask;
    return place;
}

// Reserved names first, then typos of the common domains, then top-level
// domains that do not exist (perhaps a typo of a common domain too:
// gmial.con), then look-alike letters.
AddressAdvice::DomainAdvice AddressAdvice::findAdviceOnDomain(QStringView written)
{
    const QString key = AddressCheck::key(QStringLiteral("x@") + written.toString());
    const QByteArray domain = key.sliced(key.lastIndexOf(u'@') + 1).toLatin1();
    if (const QString reserved = reservedDomain(domain); !reserved.isEmpty())
        return {reserved, {}};
    if (MailDomains::isDisposable(domain))
        return {QStringLiteral("%1 hands out throwaway addresses").arg(QString::fromLatin1(domain)), {}, true};
    if (const auto answer = m_answers ? m_answers->constFind(domain) : Answers::const_iterator();
        m_answers && answer != m_answers->constEnd() && *answer != DomainLookup::Answer::Unknown)
        return adviceFromMailSystem(domain, *answer);
    if (MailDomains::isKnownReal(domain))
        return {};
    if (const QByteArray meant = MailDomains::meant(domain); !meant.isEmpty() && !tradesRealSuffixes(domain, meant)
                                                                 && !dropsAHost(domain, meant))
        return {{}, QString::fromLatin1(meant)};
    const QString labels = withFullStops(written);
    const QByteArray topLevel = domain.mid(domain.lastIndexOf('.') + 1);
    if (!topLevelExists(domain)) {
        const QString written = labels.sliced(labels.lastIndexOf(u'.') + 1).toLower();
        DomainAdvice advice{QStringLiteral("the top-level domain .%1 does not exist").arg(written), {}};
        if (const QByteArray meant = MailDomains::sameNameMeant(domain); !meant.isEmpty())
            advice.domain = QString::fromLatin1(meant);
        else if (const QByteArray near = nearTopLevel(topLevel); !near.isEmpty()) {
            const QByteArray fixed = domain.left(domain.size() - topLevel.size()) + near;
            const QByteArray meant = MailDomains::meant(fixed);
            advice.domain = !meant.isEmpty() ? QString::fromLatin1(meant)
                                             : labels.left(labels.lastIndexOf(u'.') + 1) + QLatin1String(near);
        }
        return advice;
    }
    if (isAscii(written))
        return {};
    for (const QStringView label : QStringView(labels).split(u'.'))
        if (const QString lookAlike = lookAlikeIn(label, QStringLiteral("the domain")); !lookAlike.isEmpty())
            return {lookAlike, {}};
    return {};
}

AddressAdvice::DomainAdvice AddressAdvice::adviceFromMailSystem(const QByteArray &domain, DomainLookup::Answer answer) const
{
    if (answer == DomainLookup::Answer::TakesMail)
        return {};
    DomainAdvice advice{QStringLiteral("%1 does not take mail (%2)").arg(QString::fromLatin1(domain), DomainLookup::reason(answer)),
                        {}};
    for (const QByteArray &candidate : MailDomains::candidates(domain))
        if (m_answers->value(candidate, DomainLookup::Answer::Unknown) == DomainLookup::Answer::TakesMail) {
            advice.domain = QString::fromLatin1(candidate);
            break;
        }
    return advice;
}

void AddressAdvice::setLookedUp(const Answers *answers)
{
    m_answers = answers;
    // What was found of a domain without them no longer holds.
    m_domainBytes.clear();
    m_domainSpans.clear();
    m_domainAdvice.clear();
    m_places.clear();
    m_lastDomain = ~size_t(0);
}

QList<QByteArray> AddressAdvice::domainsToAsk(QStringView address)
{
    const QString key = AddressCheck::key(address);
    if (key.isEmpty() || key.endsWith(u']'))
        return {};
    const QByteArray domain = key.sliced(key.lastIndexOf(u'@') + 1).toLatin1();
    return QList<QByteArray>{domain} + MailDomains::candidates(domain);
}

// Made when a name that is not all ASCII is first met; none when ICU
// cannot make one (but for want of memory, which is raised).
USpoofChecker *AddressAdvice::spoofChecker()
{
    if (m_spoofChecker || m_spoofCheckerFailed)
        return m_spoofChecker;
    UErrorCode status = U_ZERO_ERROR;
    m_spoofChecker = uspoof_open(&status);
    uspoof_setChecks(m_spoofChecker, USPOOF_RESTRICTION_LEVEL | USPOOF_MIXED_NUMBERS, &status);
    if (U_SUCCESS(status))
        uspoof_setRestrictionLevel(m_spoofChecker, USPOOF_MODERATELY_RESTRICTIVE);
    if (U_FAILURE(status)) {
        uspoof_close(m_spoofChecker);
        m_spoofChecker = nullptr;
        if (status == U_MEMORY_ALLOCATION_ERROR)
            throw std::bad_alloc();
        m_spoofCheckerFailed = true;
    }
    return m_spoofChecker;
}

// Letters of scripts mixed as look-alike names mix them, named.
QString AddressAdvice::lookAlikeIn(QStringView name, const QString &where)
{
    if (!spoofChecker())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t failed = uspoof_check2(m_spoofChecker, reinterpret_cast<const UChar *>(name.utf16()),
                                         int32_t(name.size()), nullptr, &status);
    if (U_FAILURE(status) || failed == 0)
        return {};
    QStringList scripts;
    for (const char32_t c : name.toUcs4()) {
        const UScriptCode script = uscript_getScript(UChar32(c), &status);
        const QString scriptName = QString::fromLatin1(uscript_getName(script));
        if (script != USCRIPT_COMMON && script != USCRIPT_INHERITED && !scripts.contains(scriptName))
            scripts << scriptName;
    }
    if (scripts.size() < 2)
        return QStringLiteral("%1 mixes kinds of digits, as look-alike names do").arg(where);
    const QString last = scripts.takeLast();
    return QStringLiteral("%1 mixes %2 and %3 letters, as look-alike names do").arg(where, scripts.join(u", "), last);
}
