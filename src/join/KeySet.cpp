#include "join/KeySet.h"

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

KeptKey keptAt(const std::vector<QByteArray> &blocks, const std::vector<QByteArray> &domains, quint64 place)
{
    const char *p = blocks[size_t(place >> offsetBits)].constData() + (place & (blockSize - 1));
    const quint64 length = numberAt(p);
    const QByteArrayView local(p, qsizetype(length));
    p += length;
    const quint64 domain = numberAt(p);
    const quint64 number = numberAt(p);
    return {local, domain ? QByteArrayView(domains[size_t(domain - 1)]) : QByteArrayView(), number};
}

// A byte of the hash below those that say where its slots start, never 0,
// which marks a free slot.
quint8 tagOf(quint64 hash)
{
    return quint8(1 + (hash >> 32 & 0xFF) % 255);
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

// A byte of each slot's hash beside the slots, in a table a fraction of their
// size, is looked at first: most keys asked for and not there are told
// without reaching into the slots.
std::size_t KeySet::slotOf(QByteArrayView key, quint64 hash) const
{
    const std::size_t tableSize = m_slots.size();
    const quint8 tag = tagOf(hash);
    for (std::size_t slot = homeOf(hash >> placeBits, tableSize);; slot = slot + 1 == tableSize ? 0 : slot + 1) {
        const quint8 tagHere = m_tags[slot];
        if (tagHere == 0 || (tagHere == tag && isKeptAt(m_slots[slot] & placeMask, key)))
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
// grows by half, which keeps it from holding more free slots than it must.
void KeySet::grow()
{
    std::vector<quint64> oldSlots(m_slots.size() + m_slots.size() / 2);
    std::vector<quint8> oldTags(oldSlots.size());
    oldSlots.swap(m_slots);
    oldTags.swap(m_tags);
    const std::size_t tableSize = m_slots.size();
    for (std::size_t old = 0; old < oldSlots.size(); ++old) {
        if (oldTags[old] == 0)
            continue;
        const quint64 entry = oldSlots[old];
        std::size_t slot = homeOf(entry >> placeBits, tableSize);
        while (m_tags[slot] != 0)
            slot = slot + 1 == tableSize ? 0 : slot + 1;
        m_slots[slot] = entry;
        m_tags[slot] = oldTags[old];
    }
}

quint64 KeySet::hashOf(QByteArrayView key)
{
    return quickHash(key);
}

void KeySet::prefetch(quint64 hash) const
{
    const std::size_t slot = homeOf(hash >> placeBits, m_slots.size());
    __builtin_prefetch(&m_tags[slot]);
    __builtin_prefetch(&m_slots[slot]);
}

qint64 KeySet::insertNumbered(QByteArrayView key, quint64 hash, quint64 number)
{
    std::size_t slot = slotOf(key, hash);
    if (m_tags[slot] != 0)
        return qint64(keptAt(m_blocks, m_domains, m_slots[slot] & placeMask).number);
    if ((m_count + 1) * 4 > qsizetype(m_slots.size()) * 3) {
        grow();
        slot = slotOf(key, hash);
    }
    m_slots[slot] = (hash >> placeBits) << placeBits | keep(key, number);
    m_tags[slot] = tagOf(hash);
    ++m_count;
    return -1;
}

bool KeySet::contains(QByteArrayView key) const
{
    return m_count > 0 && m_tags[slotOf(key, hashOf(key))] != 0;
}

qint64 KeySet::numberOf(QByteArrayView key) const
{
    if (m_count == 0)
        return -1;
    const std::size_t slot = slotOf(key, hashOf(key));
    return m_tags[slot] == 0 ? -1 : qint64(keptAt(m_blocks, m_domains, m_slots[slot] & placeMask).number);
}
