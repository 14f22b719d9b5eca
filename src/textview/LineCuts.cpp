#include "textview/LineCuts.h"

#include "textview/Bidi.h"

#include <QString>

#include <algorithm>
#include <array>

const std::array<bool, 0x10000> &LineCuts::plainCharacters()
{
    static const std::array<bool, 0x10000> plain = [] {
        std::array<bool, 0x10000> table{};
        for (char32_t u = 0x20; u < 0x0590; ++u) {
            switch (QChar::category(u)) {
            case QChar::Other_Control:
            case QChar::Other_Format:
            case QChar::Other_NotAssigned:
            case QChar::Mark_NonSpacing:
            case QChar::Mark_SpacingCombining:
            case QChar::Mark_Enclosing:
                break;
            default:
                table[u] = true;
            }
        }
        return table;
    }();
    return plain;
}

bool LineCuts::allPlain(QStringView text)
{
    // Printable ASCII throughout, found by one pass the compiler vectorises;
    // anything else character by character.
    const char16_t *chars = text.utf16();
    char16_t lowest = 0xFFFF;
    char16_t highest = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        lowest = std::min(lowest, chars[i]);
        highest = std::max(highest, chars[i]);
    }
    if (lowest >= 0x20 && highest < 0x7F)
        return true;
    const std::array<bool, 0x10000> &plain = plainCharacters();
    return std::all_of(text.begin(), text.end(), [&plain](QChar c) { return plain[c.unicode()]; });
}

LineCuts::LineCuts(QStringView text, qsizetype chunkLength, bool bidi) : m_text(text), m_chunkLength(chunkLength)
{
    if (!bidi)
        return;
    // Paragraph separators show as spaces here, and count as spaces.
    m_levels = text.contains(QChar::ParagraphSeparator)
                   ? Bidi::levels(text.toString().replace(QChar::ParagraphSeparator, u' '))
                   : Bidi::levels(text);
    m_explicitControls = Bidi::hasExplicitControls(text);
    if (m_explicitControls || m_levels.empty())
        return;
    // Runs above the line's level longer than a chunk ought to be.
    const qsizetype longRun = 4 * chunkLength;
    for (qsizetype i = 0; i < text.size();) {
        if (m_levels[size_t(i)] == 0) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < text.size() && m_levels[size_t(i)] > 0)
            ++i;
        if (i - start > longRun)
            m_longRuns.emplace_back(start, i);
    }
}

LineCuts::Piece LineCuts::next()
{
    const qsizetype from = m_from;
    if (from >= m_text.size())
        return {from, from};
    while (m_nextRun < m_longRuns.size() && m_longRuns[m_nextRun].second <= from)
        ++m_nextRun;
    const bool inRun = m_nextRun < m_longRuns.size() && m_longRuns[m_nextRun].first <= from;
    const qsizetype limit = m_nextRun == m_longRuns.size() ? m_text.size()
                            : inRun                        ? m_longRuns[m_nextRun].second
                                                           : m_longRuns[m_nextRun].first;
    m_from = cut(from, limit, inRun);
    return {from, m_from, inRun, !m_levels.empty() && m_levels[size_t(from)] > 0};
}

// The end of the piece that starts at from; limit is a cut that is always
// allowed (the end of the line or of a long run).
qsizetype LineCuts::cut(qsizetype from, qsizetype limit, bool rightToLeft)
{
    if (limit - from <= m_chunkLength)
        return limit;
    const auto allowed = [&](qsizetype p) {
        return (rightToLeft ? rightToLeftAt(p) : leftToRightAt(p)) && wholeCharactersAt(from, p);
    };
    const qsizetype target = from + m_chunkLength;
    for (qsizetype p = target; p > from + m_chunkLength * 3 / 4; --p)
        if ((m_text[p - 1] == u',' || m_text[p - 1] == u' ') && allowed(p))
            return p;
    for (qsizetype p = target; p > from; --p)
        if (allowed(p))
            return p;
    const qsizetype furthest = qMin(limit, from + 8 * m_chunkLength);
    for (qsizetype p = target + 1; p < furthest; ++p)
        if (allowed(p))
            return p;
    if (furthest == limit)
        return limit;
    // Nowhere for thousands of characters (a run of combining marks, say):
    // at least never inside a surrogate pair.
    return m_text[target].isLowSurrogate() ? target - 1 : target;
}

// Left to right, a cut is seamless where a character on either side stands
// at the line's level; with explicit embeddings, where both do. Spaces and
// controls that would end the chunk must stand at the line's level already,
// since a line's end puts them there.
bool LineCuts::leftToRightAt(qsizetype p) const
{
    if (m_levels.empty())
        return true;
    const bool before = m_levels[size_t(p - 1)] == 0;
    const bool after = m_levels[size_t(p)] == 0;
    if (!(m_explicitControls ? before && after : before || after))
        return false;
    constexpr qsizetype farthest = 64;
    for (qsizetype i = p - 1; i >= 0 && Bidi::isResetAtLineEnd(m_text[i]); --i)
        if (m_levels[size_t(i)] != 0 || p - i > farthest)
            return false;
    return true;
}

// Inside a right-to-left run, a piece starts with a right-to-left letter at
// the run's level, so that it resolves alone as it does in the run.
bool LineCuts::rightToLeftAt(qsizetype p) const
{
    return m_levels[size_t(p)] == 1 && m_levels[size_t(p - 1)] > 0 && Bidi::isRightToLeftLetter(m_text, p);
}

bool LineCuts::wholeCharactersAt(qsizetype from, qsizetype p)
{
    if (isPlain(m_text[p - 1].unicode()) && isPlain(m_text[p].unicode()))
        return true;
    // Grapheme clusters from the piece's start, which is a boundary itself.
    if (from != m_graphemesFrom || p >= m_graphemesTo) {
        const qsizetype reach = m_graphemesFrom == from ? 2 * (m_graphemesTo - from) : 2 * m_chunkLength;
        m_graphemesFrom = from;
        m_graphemesTo = qMin(m_text.size(), from + qMax(reach, p + 1 - from));
        m_graphemes = std::make_unique<Graphemes>(m_text.sliced(from, m_graphemesTo - from));
    }
    return m_graphemes->isBoundary(p - from);
}
