#include "core/LineBreaks.h"

namespace {

// Whether every CR is followed by LF and every LF follows a CR: one pass,
// since list text has a line break every few dozen characters.
bool hasOnlyCrLf(QStringView text)
{
    const char16_t *chars = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (chars[i] == u'\r') {
            if (i + 1 == size || chars[i + 1] != u'\n')
                return false;
            ++i;
        } else if (chars[i] == u'\n') {
            return false;
        }
    }
    return true;
}

} // namespace

QString withCrLfLineBreaks(QString text)
{
    if (hasOnlyCrLf(text))
        return text;
    QString result;
    result.reserve(text.size() + text.count(u'\n') + text.count(u'\r'));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            result.append(u"\r\n");
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            result.append(c);
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
