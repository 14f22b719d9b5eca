#include "join/LineJoiner.h"

#include <algorithm>
#include <utility>

namespace LineJoiner {

QList<QStringView> cutAtLineBreaks(QStringView text)
{
    if (text.isEmpty())
        return {};
    QList<QStringView> pieces;
    pieces.reserve(std::count(text.begin(), text.end(), u'\n') + 1);
    // Qt's search for the LFs looks at many characters at a time.
    const char16_t *chars = text.utf16();
    qsizetype from = 0;
    for (qsizetype lf = text.indexOf(u'\n', 1); lf > 0; lf = text.indexOf(u'\n', lf + 1)) {
        if (chars[lf - 1] == u'\r') {
            pieces.append(text.sliced(from, lf - 1 - from));
            from = lf + 1;
        }
    }
    pieces.append(text.sliced(from));
    return pieces;
}

void Writer::reserve(qsizetype characters, qsizetype pieces)
{
    m_prefault.wait();
    m_line.resize(qMax(m_line.size(), m_written + characters + pieces * m_separator.size()));
    m_prefault = Prefault::ofRoom(m_line.data() + m_written, m_line.size() - m_written);
}

void Writer::append(QStringView piece)
{
    const qsizetype needed = m_written + piece.size() + m_separator.size();
    if (needed > m_line.size()) {
        m_prefault.wait();
        m_line.resize(qMax(needed, 2 * m_line.size()));
    }
    QChar *out = m_line.data() + m_written;
    std::copy(m_separator.begin(), m_separator.end(), std::copy(piece.begin(), piece.end(), out));
    m_written = needed;
}

void Writer::dropTrailingSeparator()
{
    if (QStringView(m_line).first(m_written).endsWith(m_separator))
        m_written -= m_separator.size();
}

QString Writer::take()
{
    m_prefault.wait();
    m_line.truncate(m_written);
    m_written = 0;
    return std::exchange(m_line, QString());
}

QString join(QStringView text)
{
    const QList<QStringView> pieces = cutAtLineBreaks(text);
    Writer result;
    result.reserve(text.size() - 2 * qMax<qsizetype>(0, pieces.size() - 1), pieces.size());
    for (QStringView piece : pieces)
        result.append(piece);
    result.dropTrailingSeparator();
    return result.take();
}

QString joined(const QList<QStringView> &pieces, QStringView separator)
{
    qsizetype size = separator.size() * qMax<qsizetype>(0, pieces.size() - 1);
    for (QStringView piece : pieces)
        size += piece.size();
    QString result(size, Qt::Uninitialized);
    QChar *out = result.data();
    // Pieces in another order than the text's (sorted lines) lie all over
    // memory: the ones a little ahead are asked for while these are copied.
    constexpr qsizetype ahead = 16;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i + ahead < pieces.size())
            __builtin_prefetch(pieces[i + ahead].data());
        if (i > 0)
            out = std::copy(separator.begin(), separator.end(), out);
        out = std::copy(pieces[i].begin(), pieces[i].end(), out);
    }
    return result;
}

} // namespace LineJoiner
