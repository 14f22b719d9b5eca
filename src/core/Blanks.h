#pragma once

#include <QByteArrayView>
#include <QStringView>

// Spaces and tabs: what may stand around a line's item without counting
// (" ann@x.org " holds the item ann@x.org).
namespace Blanks {

inline bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The line without spaces and tabs at either end, in UTF-16 or UTF-8.
template<typename Text>
inline Text trimmed(Text line)
{
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && isBlank(line[start]))
        ++start;
    while (end > start && isBlank(line[end - 1]))
        --end;
    return line.sliced(start, end - start);
}

} // namespace Blanks
