#include "textview/LineChoice.h"

std::optional<LineChoice> LineChoice::of(const QList<QStringView> &lines, std::vector<quint32> places)
{
    std::vector<bool> kept(size_t(lines.size()));
    for (const quint32 place : places)
        kept[place] = true;
    qsizetype size = 0;
    qsizetype keptSize = 0;
    for (qsizetype i = 0; i < lines.size(); ++i)
        (kept[size_t(i)] ? keptSize : size) += lines[i].size() + 2;
    if (size > keptSize)
        return std::nullopt;
    LineChoice choice{std::move(places), QString(), lines.size()};
    choice.leftOut.reserve(size);
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (!kept[size_t(i)])
            choice.leftOut.append(lines[i]).append(u"\r\n");
    return choice;
}
