#pragma once

#include "textview/Graphemes.h"

#include <QStringView>

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

// Where a long line is cut into chunks that Qt lays out one by one. A cut
// falls only between whole characters (grapheme clusters), preferably after
// a comma or a space, and only where the bidirectional algorithm gives the
// characters on both sides, laid out apart, the levels they have in the
// whole line. A right-to-left run too long for one chunk becomes pieces of
// its own, each starting with a right-to-left letter.
class LineCuts
{
public:
    struct Piece
    {
        qsizetype from = 0;
        qsizetype to = 0;
        bool rightToLeft = false; // part of a long right-to-left run
        bool raised = false;      // starts above the line's level
    };

    // With bidi, the cuts heed right-to-left text; without, the caller
    // promises there is none, which spares a pass over a long line.
    LineCuts(QStringView text, qsizetype chunkLength, bool bidi);

    bool hasRightToLeft() const { return !m_levels.empty(); }
    // The next piece, from the start of the line on; an empty one at its end.
    Piece next();

    // Characters that need no shaping and advance alone as in any text:
    // letters, digits and signs from Latin to Armenian, without combining
    // marks, controls or format characters.
    static bool isPlain(char16_t c) { return plainCharacters()[c]; }
    static const std::array<bool, 0x10000> &plainCharacters();
    static bool allPlain(QStringView text);

private:
    qsizetype cut(qsizetype from, qsizetype limit, bool rightToLeft);
    bool leftToRightAt(qsizetype p) const;
    bool rightToLeftAt(qsizetype p) const;
    bool wholeCharactersAt(qsizetype from, qsizetype p);

    QStringView m_text;
    qsizetype m_chunkLength;
    std::vector<std::uint8_t> m_levels; // empty when all is left to right
    bool m_explicitControls = false;
    std::vector<std::pair<qsizetype, qsizetype>> m_longRuns;
    size_t m_nextRun = 0;
    qsizetype m_from = 0;
    std::unique_ptr<Graphemes> m_graphemes;
    qsizetype m_graphemesFrom = -1;
    qsizetype m_graphemesTo = -1;
};
