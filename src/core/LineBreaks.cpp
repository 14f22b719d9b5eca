#include "core/LineBreaks.h"

#include <algorithm>

namespace {

// Whether every CR is followed by LF and every LF follows a CR: there are as
// many CRs, LFs and CR LF pairs. One loop without a way out in the middle,
// which the compiler turns into many characters at a time.
bool hasOnlyCrLf(QStringView text)
{
    const char16_t *chars = text.utf16();
    const qsizetype size = text.size();
    if (size == 0)
        return true;
    qsizetype crs = chars[0] == u'\r';
    qsizetype lfs = chars[0] == u'\n';
    qsizetype pairs = 0;
    for (qsizetype i = 1; i < size; ++i) {
        crs += chars[i] == u'\r';
        lfs += chars[i] == u'\n';
        pairs += (chars[i] == u'\n') & (chars[i - 1] == u'\r');
    }
    return crs == pairs && lfs == pairs;
}

} // namespace

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
