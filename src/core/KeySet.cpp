#include "core/KeySet.h"

#include "core/QuickHash.h"

#include <cstring>
#include <new>

namespace {

constexpr int offsetBits = 20; // a block of keys holds 1 MiB, or one key alone
constexpr qsizetype blockSize = qsizetype(1) << offsetBits;
constexpr int placeBits = 40;
constexpr quint64 placeMask = (quint64(1) << placeBits) - 1;
constexpr int homeBits = 64 - placeBits; // the hash's top bits, which say where a key's slots start
constexpr qsizetype mostDomains = 1 << 16;
constexpr quint64 freeSlot = ~quint64(0); // no key is kept at the last place there could be

template<typename Bytes>
void appendNumber(Bytes &out, quint64 n)
{
    while (n >= 0x80) {
        out.append(char(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.append(char(n));
}

quint64 numberAt(const char *&p)
{
    quint64 n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<uchar>(*p++);
        n |= quint64(byte & 0x7F) << shift;
        if (byte < 0x80)
            return n;
    }
}

// The key kept at a place: its part before the domain, and the domain.
struct KeptKey
{
    QByteArrayView local;
    QByteArrayView domain;
    quint64 number = 0;
};

KeptKey keptAt(const std::vector<QByteArray> &blocks, const std::vector<QByteArray> &domains, quint64 place,
               bool numbered = false)
{
    const char *p = blocks[size_t(place >> offsetBits)].constData() + (place & (blockSize - 1));
    const quint64 length = numberAt(p);
    const QByteArrayView local(p, qsizetype(length));
    p += length;
    const quint64 domain = numberAt(p);
    const quint64 number = numbered ? numberAt(p) : 0;
    return {local, domain ? QByteArrayView(domains[size_t(domain - 1)]) : QByteArrayView(), number};
}

// Where the slots of a key with these top bits of its hash start, spread
// over tables of any size.
std::size_t homeOf(quint64 top, std::size_t tableSize)
{
    return std::size_t((top * tableSize) >> homeBits);
}

} // namespace

bool KeySet::isKeptAt(quint64 place, QByteArrayView key) const
{
    const KeptKey kept = keptAt(m_blocks, m_domains, place);
    return kept.local.size() + kept.domain.size() == key.size() && key.startsWith(kept.local)
           && key.endsWith(kept.domain);
}

// A slot's top bits, its key's hash's, are compared first: most keys asked
// for and not there are told without reaching into the keys.
std::size_t KeySet::slotOf(const Table &table, QByteArrayView key, quint64 hash) const
{
    const std::size_t tableSize = table.places.size();
    const quint64 top = hash >> placeBits;
    for (std::size_t slot = homeOf(top, tableSize);; slot = slot + 1 == tableSize ? 0 : slot + 1) {
        const quint64 entry = table.places[slot];
        if (entry == freeSlot || ((entry >> placeBits) == top && isKeptAt(entry & placeMask, key)))
            return slot;
    }
}

quint64 KeySet::keep(QByteArrayView key, quint64 number)
{
    // Keys in a row mostly share their domain: the last one is tried first.
    qsizetype at = -1;
    quint32 domain = 0;
    if (m_lastDomain > 0 && key.endsWith(m_domains[m_lastDomain - 1])) {
        domain = m_lastDomain;
        at = key.size() - m_domains[domain - 1].size();
    } else if (at = key.lastIndexOf('@'); at >= 0) {
        domain = m_domainNumbers.value(QByteArray::fromRawData(key.data() + at, key.size() - at));
        if (domain == 0 && qsizetype(m_domains.size()) < mostDomains) {
            m_domains.push_back(key.sliced(at).toByteArray());
            domain = quint32(m_domains.size());
            m_domainNumbers.insert(m_domains.back(), domain);
        }
        m_lastDomain = domain;
    }
    QVarLengthArray<char, 256> record;
    const QByteArrayView local = domain ? key.first(at) : key;
    appendNumber(record, quint64(local.size()));
    record.append(local.data(), local.size());
    appendNumber(record, domain);
    if (m_numbered)
        appendNumber(record, number);
    if (m_blocks.empty() || m_blocks.back().size() + record.size() > blockSize) {
        if (m_blocks.size() >= (std::size_t(1) << (placeBits - offsetBits)))
            throw std::bad_alloc();
        m_blocks.emplace_back();
        m_blocks.back().reserve(qMax(blockSize, qsizetype(record.size())));
    }
    QByteArray &block = m_blocks.back();
    const quint64 place = quint64(m_blocks.size() - 1) << offsetBits | quint64(block.size());
    block.append(record.constData(), record.size());
    return place;
}

// Each slot keeps the top bits of its key's hash beside the key's place, so
// that the keys find their new slots without being read again. The table
// grows by a quarter, and fills to four fifths, which keeps it from holding
// more free slots than it must.
void KeySet::Table::grow()
{
    std::vector<quint64> old(places.size() + places.size() / 4, freeSlot);
    old.swap(places);
    const std::size_t tableSize = places.size();
    for (const quint64 entry : old) {
        if (entry == freeSlot)
            continue;
        std::size_t slot = homeOf(entry >> placeBits, tableSize);
        while (places[slot] != freeSlot)
            slot = slot + 1 == tableSize ? 0 : slot + 1;
        places[slot] = entry;
    }
}

quint64 KeySet::hashOf(QByteArrayView key)
{
    return quickHash(key);
}

void KeySet::prefetch(quint64 hash) const
{
    const Table &table = tableOf(hash);
    __builtin_prefetch(&table.places[homeOf(hash >> placeBits, table.places.size())]);
}

qint64 KeySet::insertNumbered(QByteArrayView key, quint64 hash, quint64 number)
{
    Table &table = tableOf(hash);
    std::size_t slot = slotOf(table, key, hash);
    if (table.places[slot] != freeSlot)
        return qint64(keptAt(m_blocks, m_domains, table.places[slot] & placeMask, m_numbered).number);
    if ((table.count + 1) * 5 > qsizetype(table.places.size()) * 4) {
        table.grow();
        slot = slotOf(table, key, hash);
    }
    table.places[slot] = (hash >> placeBits) << placeBits | keep(key, number);
    ++table.count;
    ++m_count;
    return -1;
}

bool KeySet::contains(QByteArrayView key) const
{
    const quint64 hash = hashOf(key);
    const Table &table = tableOf(hash);
    return table.places[slotOf(table, key, hash)] != freeSlot;
}

qint64 KeySet::numberOf(QByteArrayView key) const
{
    const quint64 hash = hashOf(key);
    const Table &table = tableOf(hash);
    const quint64 entry = table.places[slotOf(table, key, hash)];
    return entry == freeSlot ? -1 : qint64(keptAt(m_blocks, m_domains, entry & placeMask, m_numbered).number);
}
