#pragma once

#include <QByteArrayView>

#include <cstring>

// A quick hash of short byte strings (keys, addresses, domains), eight
// bytes at a time, mixed as MurmurHash3 finishes: all of its bits depend on
// every byte, so any of them may choose a place in a table.
inline quint64 quickHash(QByteArrayView bytes, quint64 hash = 0x9E3779B97F4A7C15ull)
{
    const char *p = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    for (; at + 8 <= size; at += 8) {
        quint64 word;
        std::memcpy(&word, p + at, 8);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 29;
    }
    // The last bytes: the eight that end the string, read again in part,
    // when there are eight; else one by one.
    quint64 word = 0;
    if (at < size && size >= 8) {
        std::memcpy(&word, p + size - 8, 8);
    } else {
        for (qsizetype i = at; i < size; ++i)
            word |= quint64(static_cast<uchar>(p[i])) << (8 * (i - at));
    }
    hash = (hash ^ word ^ quint64(size) << 56) * 0xC4CEB9FE1A85EC53ull;
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    return hash ^ (hash >> 33);
}
