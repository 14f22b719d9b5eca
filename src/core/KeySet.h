#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QVarLengthArray>

#include <vector>

// A set of keys (folded lines, addresses) kept compactly and exactly, for
// lists of millions of lines: each key's bytes once, in blocks, the part
// from its last @ on (its domain, which a list's addresses share) kept once
// for all and named by a number; tables of places, eight bytes each, with
// the top bits of each key's hash beside it, find them. Memory grows with the
// keys that differ, not with the lines; the places are split among many
// small tables by their hashes, each growing on its own, so that growing
// never holds a second copy of more than a small one.
class KeySet
{
public:
    // numbered: a number of the caller's is kept with each key
    // (insertNumbered); without, every key's number is 0.
    explicit KeySet(bool numbered = true) : m_numbered(numbered) {}

    // Adds the key; answers whether it was new.
    bool insert(QByteArrayView key) { return insert(key, hashOf(key)); }
    // Safe to ask from several threads at once, while nothing is added.
    bool contains(QByteArrayView key) const;
    qsizetype size() const { return m_count; }

    // For many keys at a time: each key's hash, and a word that the memory
    // its slot lies in is about to be read, so that the next keys' slots
    // are on their way while one is looked at.
    static quint64 hashOf(QByteArrayView key);
    void prefetch(quint64 hash) const;
    bool insert(QByteArrayView key, quint64 hash) { return insertNumbered(key, hash, 0) < 0; }
    // Adds the key with a number of the caller's (where it first stood,
    // which list holds it); answers the number of the equal key kept
    // before, or -1 when the key is new.
    qint64 insertNumbered(QByteArrayView key, quint64 hash, quint64 number);
    // The number kept with the key, or -1 when it is not kept.
    qint64 numberOf(QByteArrayView key) const;

private:
    struct Table
    {
        // Where each key is kept, below its hash's top bits; all ones for a
        // free slot.
        std::vector<quint64> places = std::vector<quint64>(16, ~quint64(0));
        qsizetype count = 0;
        void grow();
    };
    static constexpr int tableBits = 6;

    Table &tableOf(quint64 hash) { return m_tables[hash & ((1u << tableBits) - 1)]; }
    const Table &tableOf(quint64 hash) const { return m_tables[hash & ((1u << tableBits) - 1)]; }
    // Where the key is in its table, or the free slot it would take.
    std::size_t slotOf(const Table &table, QByteArrayView key, quint64 hash) const;
    bool isKeptAt(quint64 place, QByteArrayView key) const;
    // A key as kept: the length of the part before its domain (all of it,
    // for a key without an @ or one of so many domains), that part, its
    // domain's number, or 0, and the caller's number.
    quint64 keep(QByteArrayView key, quint64 number);

    bool m_numbered;
    Table m_tables[1 << tableBits];
    qsizetype m_count = 0;
    std::vector<QByteArray> m_blocks;
    std::vector<QByteArray> m_domains;
    QHash<QByteArray, quint32> m_domainNumbers;
    quint32 m_lastDomain = 0; // the domain of the key kept last
};
