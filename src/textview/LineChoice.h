#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <new>
#include <optional>
#include <vector>

// A text made of some of another's lines, each whole, in an order of its
// own (tidying a list: its duplicates dropped, or sorted). With it, either
// text can be made again from the other, so an undo history that keeps it
// keeps neither text whole: a sort keeps four bytes a line.
struct LineChoice
{
    // Where each line of the text made stood in the other.
    std::vector<quint32> places;
    // The other's lines it left out, in their order, CR LF after each.
    QString leftOut;
    // How many lines the other has.
    qsizetype lines = 0;

    // The choice of lines at places among lines; none when the lines left
    // out hold more characters than those kept: keeping those would cost
    // more, while the step is made, than sharing the whole text.
    static std::optional<LineChoice> of(const QList<QStringView> &lines, std::vector<quint32> places);

    // The lines of the text made, from those of the other (line(i) gives
    // its i-th); and back.
    template<typename Line>
    QList<QStringView> madeFrom(Line line) const;
    template<typename Line>
    QList<QStringView> restoredFrom(Line line) const;

private:
    // Room for size lines; QList::reserve gives no sign when memory runs
    // out, this raises std::bad_alloc.
    static QList<QStringView> withRoom(qsizetype size);
};

inline QList<QStringView> LineChoice::withRoom(qsizetype size)
{
    QList<QStringView> lines;
    lines.reserve(size);
    if (lines.capacity() < size)
        throw std::bad_alloc();
    return lines;
}

template<typename Line>
QList<QStringView> LineChoice::madeFrom(Line line) const
{
    QList<QStringView> made = withRoom(qsizetype(places.size()));
    for (const quint32 place : places)
        made.append(line(place));
    return made;
}

template<typename Line>
QList<QStringView> LineChoice::restoredFrom(Line line) const
{
    constexpr quint32 none = ~quint32(0);
    std::vector<quint32> madeAt(size_t(lines), none);
    for (size_t i = 0; i < places.size(); ++i)
        madeAt[places[i]] = quint32(i);
    QList<QStringView> restored = withRoom(lines);
    qsizetype from = 0;
    for (const quint32 at : madeAt) {
        if (at != none) {
            restored.append(line(at));
            continue;
        }
        const qsizetype end = leftOut.indexOf(u"\r\n", from);
        restored.append(QStringView(leftOut).sliced(from, end - from));
        from = end + 2;
    }
    return restored;
}
