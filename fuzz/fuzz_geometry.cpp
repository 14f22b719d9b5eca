// Where the characters of lines lie, cut into chunks: chunks follow each
// other without gaps across the whole line; at every place a caret may
// stand, the x found there leads back to a place at that x; and after edits
// the geometry, updated in place, places plain text as geometry built afresh
// does.
#include "FuzzInput.h"
#include "textview/LineGeometry.h"
#include "textview/TextBuffer.h"

#include <QGuiApplication>
#include <QTextBoundaryFinder>

#include <cmath>
#include <limits>

namespace {

constexpr double everywhere = std::numeric_limits<double>::max();

void checkLine(LineGeometry &geometry, const TextBuffer &buffer, qsizetype line, bool roundTrip)
{
    const std::vector<LineGeometry::Chunk> chunks = geometry.chunksBetween(line, -everywhere, everywhere);
    qsizetype covered = 0;
    for (size_t k = 0; k < chunks.size(); ++k) {
        covered += chunks[k].end - chunks[k].start;
        if (k > 0)
            FUZZ_CHECK(std::abs(chunks[k].x - (chunks[k - 1].x + chunks[k - 1].width)) < 1e-6);
    }
    FUZZ_CHECK(covered == buffer.lineLength(line));
    if (!roundTrip)
        return;
    const QString text = buffer.mid(buffer.lineStart(line), buffer.lineLength(line));
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    // Every few places, so that a run stays quick.
    for (qsizetype offset = 0; offset <= text.size(); offset += 1 + offset % 5) {
        characters.setPosition(offset);
        if (!characters.isAtBoundary())
            continue;
        const qsizetype position = buffer.lineStart(line) + offset;
        const double x = geometry.layOut(geometry.chunkAt(line, position))->xOf(position);
        const qsizetype found = geometry.layOut(geometry.chunkAtX(line, x))->positionAt(x);
        FUZZ_CHECK(std::abs(geometry.layOut(geometry.chunkAt(line, found))->xOf(found) - x) < 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

// The first byte chooses the characters: plain ones (and updated geometry is
// compared with fresh), ones that need shaping, or right-to-left ones too
// (where x and places are not checked both ways: Qt itself may answer a
// place inside a character next to a tab there). The rest, two bytes at a
// time, are edits of a long line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int kind = data[0] % 3;
    const bool plain = kind == 0;
    static const char16_t plainCharacters[] = {u'a', u'W', u',', u' ', u'@', u'.', u'\u00e9'};
    static const char16_t anyCharacters[] = {u'a', u',', u' ', 0x0301, u'\t', 0xD83D, 0xDE00, 0x200D, 0x05D0, 0x0627};
    const size_t shaped = std::size(anyCharacters) - (kind == 1 ? 2 : 0);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    TextBuffer buffer;
    buffer.setText(QStringLiteral("someone@example.com,").repeated(20));
    LineGeometry geometry(buffer);
    geometry.setFont(font);
    geometry.widestLine();
    for (size_t i = 1; i + 1 < size; i += 2) {
        const qsizetype position = data[i] * (buffer.size() + 1) / 256;
        QString piece;
        for (int k = 0; k < 1 + data[i + 1] % 4; ++k) {
            piece += plain ? QChar(plainCharacters[(data[i + 1] + k) % std::size(plainCharacters)])
                           : QChar(anyCharacters[(data[i + 1] + k) % shaped]);
        }
        if (data[i + 1] % 8 == 7 && position < buffer.size()) {
            const qsizetype removed = qMin<qsizetype>(data[i + 1] % 5 + 1, buffer.size() - position);
            buffer.remove(position, removed);
            geometry.textChanged(position, 0, removed, 0, 0);
        } else {
            buffer.insert(position, piece);
            geometry.textChanged(position, piece.size(), 0, 0, 0);
        }
    }
    // As the text area does while nothing else happens: estimates measured.
    while (geometry.measureEstimates(1000)) {
    }
    checkLine(geometry, buffer, 0, kind != 2);
    if (plain) {
        LineGeometry fresh(buffer);
        fresh.setFont(font);
        FUZZ_CHECK(std::abs(fresh.lineWidth(0) - geometry.lineWidth(0)) < 0.01);
        for (qsizetype position = 0; position <= buffer.size(); position += 7) {
            const double updated = geometry.layOut(geometry.chunkAt(0, position))->xOf(position);
            FUZZ_CHECK(std::abs(fresh.layOut(fresh.chunkAt(0, position))->xOf(position) - updated) < 0.1);
        }
    }
    return 0;
}
