#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QVarLengthArray>

#include <vector>

// A set of keys (folded lines, addresses) kept compactly and exactly, for
// lists of millions of lines: each key's bytes once, in blocks, the part
// from its last @ on (its domain, which a list's addresses share) kept once
// for all and named by a number; a table of places, eight bytes each, finds
// them. Memory grows with the keys that differ, not with the lines.
class KeySet
{
public:
    // Adds the key; answers whether it was new.
    bool insert(QByteArrayView key);
    // Safe to ask from several threads at once, while nothing is added.
    bool contains(QByteArrayView key) const;
    qsizetype size() const { return m_count; }

private:
    // The key as it is kept: the length of the part before its domain, that
    // part, and its domain's number (0 for none: a key without an @, or one
    // whose domain came after so many others that it is kept whole).
    using Record = QVarLengthArray<char, 256>;
    static void makeRecord(QByteArrayView key, qsizetype at, quint32 domain, Record &record);
    // Where the record is, or the free slot it would take.
    qsizetype slotOf(QByteArrayView record, quint64 hash) const;
    QByteArrayView recordAt(quint64 place) const;
    quint64 keep(QByteArrayView record);
    void grow();

    std::vector<quint64> m_slots = std::vector<quint64>(1024); // place + 1 and the hash's top bits; 0 for none
    qsizetype m_count = 0;
    std::vector<QByteArray> m_blocks;
    QHash<QByteArray, quint32> m_domains;
};
