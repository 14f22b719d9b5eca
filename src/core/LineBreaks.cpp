#include "core/LineBreaks.h"

#include <algorithm>

// Counted in blocks small enough for 16-bit counters, in loops without a
// way out in the middle, which the compiler turns into many characters at a
// time.
LineBreakCounts lineBreaksIn(QStringView text)
{
    const char16_t *chars = text.utf16();
    const qsizetype size = text.size();
    LineBreakCounts counts;
    if (size == 0)
        return counts;
    counts.carriageReturns = chars[0] == u'\r';
    counts.lineFeeds = chars[0] == u'\n';
    constexpr qsizetype block = 0xffff;
    for (qsizetype from = 1; from < size; from += block) {
        const qsizetype to = qMin(size, from + block);
        quint16 blockCrs = 0;
        quint16 blockLfs = 0;
        quint16 blockPairs = 0;
        for (qsizetype i = from; i < to; ++i) {
            blockCrs += chars[i] == u'\r';
            blockLfs += chars[i] == u'\n';
            blockPairs += (chars[i] == u'\n') & (chars[i - 1] == u'\r');
        }
        counts.carriageReturns += blockCrs;
        counts.lineFeeds += blockLfs;
        counts.pairs += blockPairs;
    }
    return counts;
}

// Every CR is followed by LF and every LF follows a CR: there are as many
// CRs, LFs and CR LF pairs.
bool hasOnlyCrLfLineBreaks(QStringView text)
{
    return lineBreaksIn(text).onlyCrLf();
}

QString withCrLfLineBreaks(QString text)
{
    makeCrLfLineBreaks(text, 0);
    return text;
}

// Counts the line breaks to widen first, then moves each character once,
// from the end back, to its place in the grown string.
void makeCrLfLineBreaks(QString &text, qsizetype start)
{
    if (hasOnlyCrLfLineBreaks(QStringView(text).sliced(start)))
        return;
    const qsizetype size = text.size();
    qsizetype lone = 0;
    {
        const auto *in = reinterpret_cast<const char16_t *>(text.constData());
        for (qsizetype i = start; i < size; ++i) {
            if (in[i] == u'\r' && i + 1 < size && in[i + 1] == u'\n')
                ++i;
            else if (in[i] == u'\r' || in[i] == u'\n')
                ++lone;
        }
    }
    text.resize(size + lone);
    char16_t *chars = reinterpret_cast<char16_t *>(text.data());
    qsizetype out = size + lone;
    for (qsizetype i = size - 1; i >= start; --i) {
        const char16_t c = chars[i];
        if (c != u'\r' && c != u'\n') {
            chars[--out] = c;
            continue;
        }
        // An LF after a CR is that CR's; a CR met here has no LF after it.
        if (c == u'\n' && i > start && chars[i - 1] == u'\r')
            --i;
        chars[--out] = u'\n';
        chars[--out] = u'\r';
    }
}

QString withLfLineBreaks(QStringView text)
{
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u"\r\n"); at >= 0; at = text.indexOf(u"\r\n", from)) {
        result.append(text.sliced(from, at - from)).append(u'\n');
        from = at + 2;
    }
    return result.append(text.sliced(from));
}
