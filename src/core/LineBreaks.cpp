#include "core/LineBreaks.h"

#include <algorithm>

namespace {

// Whether every CR is followed by LF and every LF follows a CR: there are as
// many CRs, LFs and CR LF pairs. Counted in blocks small enough for 16-bit
// counters, in loops without a way out in the middle, which the compiler
// turns into many characters at a time.
bool hasOnlyCrLf(QStringView text)
{
    const char16_t *chars = text.utf16();
    const qsizetype size = text.size();
    if (size == 0)
        return true;
    qsizetype crs = chars[0] == u'\r';
    qsizetype lfs = chars[0] == u'\n';
    qsizetype pairs = 0;
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
        crs += blockCrs;
        lfs += blockLfs;
        pairs += blockPairs;
    }
    return crs == pairs && lfs == pairs;
}

} // namespace

qsizetype lineFeedsIn(QStringView text)
{
    const char16_t *chars = text.utf16();
    qsizetype count = 0;
    constexpr qsizetype block = 0xffff;
    for (qsizetype from = 0; from < text.size(); from += block) {
        const qsizetype to = qMin(text.size(), from + block);
        quint16 blockCount = 0;
        for (qsizetype i = from; i < to; ++i)
            blockCount += chars[i] == u'\n';
        count += blockCount;
    }
    return count;
}

// Counts the line breaks to widen first, then writes the result in one pass
// into a string of its final size: no character is appended on its own.
QString withCrLfLineBreaks(QString text)
{
    if (hasOnlyCrLf(text))
        return text;
    const auto *in = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    qsizetype lone = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (in[i] == u'\r' && i + 1 < size && in[i + 1] == u'\n')
            ++i;
        else if (in[i] == u'\r' || in[i] == u'\n')
            ++lone;
    }
    QString result(size + lone, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i];
        if (c == u'\r' || c == u'\n') {
            *out++ = u'\r';
            *out++ = u'\n';
            if (c == u'\r' && i + 1 < size && in[i + 1] == u'\n')
                ++i;
        } else {
            *out++ = c;
        }
    }
    return result;
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
