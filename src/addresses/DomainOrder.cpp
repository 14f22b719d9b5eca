#include "addresses/DomainOrder.h"

#include "addresses/PublicSuffixes.h"

#include <libpsl.h>

#include <QHash>

#include <cstring>
#include <vector>

namespace {

// The part of the domain registered under its public suffix; the whole
// domain when it has none (a suffix itself, or a name without dots).
QByteArrayView lookedUpPart(QByteArrayView domain)
{
    char name[256];
    const psl_ctx_t *list = publicSuffixes();
    if (list == nullptr || domain.size() >= qsizetype(sizeof name))
        return domain;
    std::memcpy(name, domain.data(), size_t(domain.size()));
    name[domain.size()] = '\0';
    const char *registered = psl_registrable_domain(list, name);
    return registered ? domain.sliced(registered - name) : domain;
}

// The same, the domains met last remembered: a list holds few domains
// many times over, and each look-up in the suffix list costs more than
// the rest of a line's key. Each thread keeps its own.
QByteArrayView registeredPart(QByteArrayView domain)
{
    struct Remembered
    {
        QByteArray domain;
        qsizetype registered = 0;
    };
    constexpr std::size_t slotCount = 1 << 16;
    thread_local std::vector<Remembered> remembered(slotCount);
    Remembered &slot = remembered[qHash(domain) % slotCount];
    if (slot.domain != domain) {
        slot.domain = domain.toByteArray();
        slot.registered = lookedUpPart(domain).size();
    }
    return domain.last(slot.registered);
}

} // namespace

namespace DomainOrder {

void appendKey(QByteArrayView domain, QByteArray &out)
{
    const QByteArrayView registered = registeredPart(domain);
    out += registered;
    // The subdomains' labels from the nearest on, each ended by a byte
    // below every one a label holds: a parent comes before its children.
    QByteArrayView rest = domain.first(domain.size() - registered.size());
    while (!rest.isEmpty()) {
        rest.chop(1); // the dot before what is done
        const qsizetype dot = rest.lastIndexOf('.');
        out += '\x01';
        out += rest.sliced(dot + 1);
        rest = rest.first(dot + 1);
    }
}

} // namespace DomainOrder
