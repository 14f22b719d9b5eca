#include "join/KeySet.h"

#include <algorithm>
#include <new>

namespace {

constexpr int offsetBits = 20; // a block of records holds 1 MiB, or one record alone
constexpr qsizetype blockSize = qsizetype(1) << offsetBits;
constexpr int placeBits = 40;
constexpr quint64 placeMask = (quint64(1) << placeBits) - 1;
constexpr qsizetype mostDomains = 1 << 16;

void appendNumber(QVarLengthArray<char, 256> &out, quint64 n)
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

quint64 hashOf(QByteArrayView record)
{
    return quint64(qHash(record, size_t(0x9E3779B97F4A7C15ull)));
}

} // namespace

void KeySet::makeRecord(QByteArrayView key, qsizetype at, quint32 domain, Record &record)
{
    record.clear();
    const QByteArrayView local = domain ? key.first(at) : key;
    appendNumber(record, quint64(local.size()));
    record.append(local.data(), local.size());
    appendNumber(record, domain);
}

QByteArrayView KeySet::recordAt(quint64 place) const
{
    const QByteArray &block = m_blocks[size_t(place >> offsetBits)];
    const char *start = block.constData() + (place & (blockSize - 1));
    const char *p = start;
    p += numberAt(p);
    numberAt(p);
    return QByteArrayView(start, p - start);
}

qsizetype KeySet::slotOf(QByteArrayView record, quint64 hash) const
{
    const size_t mask = m_slots.size() - 1;
    const quint64 tag = hash >> placeBits << placeBits;
    for (size_t slot = size_t(hash) & mask;; slot = (slot + 1) & mask) {
        const quint64 entry = m_slots[slot];
        if (entry == 0 || ((entry & ~placeMask) == tag && recordAt((entry & placeMask) - 1) == record))
            return qsizetype(slot);
    }
}

quint64 KeySet::keep(QByteArrayView record)
{
    if (m_blocks.empty() || m_blocks.back().size() + record.size() > blockSize) {
        if (m_blocks.size() >= (size_t(1) << (placeBits - offsetBits)))
            throw std::bad_alloc();
        m_blocks.emplace_back();
        m_blocks.back().reserve(qMax(blockSize, record.size()));
    }
    QByteArray &block = m_blocks.back();
    const quint64 place = quint64(m_blocks.size() - 1) << offsetBits | quint64(block.size());
    block += record;
    return place;
}

void KeySet::grow()
{
    std::vector<quint64> old(m_slots.size() * 2);
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (const quint64 entry : old) {
        if (entry == 0)
            continue;
        const quint64 hash = hashOf(recordAt((entry & placeMask) - 1));
        size_t slot = size_t(hash) & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = entry;
    }
}

bool KeySet::insert(QByteArrayView key)
{
    const qsizetype at = key.lastIndexOf('@');
    quint32 domain = 0;
    if (at >= 0) {
        const QByteArray name = QByteArray::fromRawData(key.data() + at, key.size() - at);
        domain = m_domains.value(name);
        if (domain == 0 && m_domains.size() < mostDomains)
            domain = m_domains.insert(QByteArray(name.constData(), name.size()), quint32(m_domains.size() + 1)).value();
    }
    Record record;
    makeRecord(key, at, domain, record);
    const QByteArrayView kept(record.constData(), record.size());
    const quint64 hash = hashOf(kept);
    qsizetype slot = slotOf(kept, hash);
    if (m_slots[size_t(slot)] != 0)
        return false;
    if ((m_count + 1) * 4 > qsizetype(m_slots.size()) * 3) {
        grow();
        slot = slotOf(kept, hash);
    }
    m_slots[size_t(slot)] = (hash >> placeBits << placeBits) | (keep(kept) + 1);
    ++m_count;
    return true;
}

bool KeySet::contains(QByteArrayView key) const
{
    const qsizetype at = key.lastIndexOf('@');
    quint32 domain = 0;
    if (at >= 0) {
        domain = m_domains.value(QByteArray::fromRawData(key.data() + at, key.size() - at));
        // A domain not kept while there was room for it is the domain of no
        // key kept.
        if (domain == 0 && m_domains.size() < mostDomains)
            return false;
    }
    Record record;
    makeRecord(key, at, domain, record);
    const QByteArrayView kept(record.constData(), record.size());
    return m_slots[size_t(slotOf(kept, hashOf(kept)))] != 0;
}
