#include "addresses/MailboxAliases.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

struct Provider
{
    QByteArrayView domain;
    QByteArrayView mailboxDomain; // the domain its mailboxes are known by
    bool ignoresDots;
};

constexpr std::array providers{
    Provider{"gmail.com", "gmail.com", true},       Provider{"googlemail.com", "gmail.com", true},
    Provider{"outlook.com", "outlook.com", false},  Provider{"hotmail.com", "hotmail.com", false},
    Provider{"live.com", "live.com", false},        Provider{"msn.com", "msn.com", false},
    Provider{"icloud.com", "icloud.com", false},    Provider{"me.com", "me.com", false},
    Provider{"mac.com", "mac.com", false},          Provider{"fastmail.com", "fastmail.com", false},
    Provider{"fastmail.fm", "fastmail.fm", false},  Provider{"proton.me", "proton.me", false},
    Provider{"protonmail.com", "protonmail.com", false}, Provider{"protonmail.ch", "protonmail.ch", false},
    Provider{"pm.me", "pm.me", false},
};

const Provider *providerOf(QByteArrayView domain)
{
    const auto found = std::find_if(providers.begin(), providers.end(),
                                    [&](const Provider &p) { return p.domain == domain; });
    return found == providers.end() ? nullptr : &*found;
}

} // namespace

namespace MailboxAliases {

// In place: the mailbox is never longer than the key.
void foldKey(QByteArray &key, qsizetype start)
{
    const qsizetype at = key.lastIndexOf('@');
    if (at <= start || key.at(start) == '"')
        return;
    const Provider *provider = providerOf(QByteArrayView(key).sliced(at + 1));
    // The providers' mailboxes are named in ASCII.
    if (provider == nullptr || !std::all_of(key.cbegin() + start, key.cbegin() + at, [](char c) { return uchar(c) < 0x80; }))
        return;
    // The tag goes from the first plus on, unless the local part starts
    // with one: "+" alone is a mailbox of its own.
    char *data = key.data();
    qsizetype end = start + 1;
    while (end < at && data[end] != '+')
        ++end;
    qsizetype kept = start;
    for (qsizetype i = start; i < end; ++i)
        if (!provider->ignoresDots || data[i] != '.')
            data[kept++] = data[i];
    if (kept == start)
        return;
    data[kept++] = '@';
    std::memmove(data + kept, provider->mailboxDomain.data(), size_t(provider->mailboxDomain.size()));
    key.truncate(kept + provider->mailboxDomain.size());
}

QString mailboxOf(QStringView key)
{
    const qsizetype at = key.lastIndexOf(u'@');
    if (at < 0 || !std::all_of(key.begin(), key.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return {};
    QByteArray folded = key.toLatin1().toLower();
    if (providerOf(QByteArrayView(folded).sliced(at + 1)) == nullptr)
        return {};
    foldKey(folded);
    return QString::fromLatin1(folded);
}

} // namespace MailboxAliases
