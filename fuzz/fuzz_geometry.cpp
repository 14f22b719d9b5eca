// Where the characters of a long line lie, cut into chunks, after random
// edits: the chunks cover the whole line and follow each other without gaps;
// every step to the next place a caret may stand goes forward; and in plain
// text, the x of each such place leads back to a place at that x, and the
// geometry updated in place places everything as geometry built afresh does.
#include "FuzzInput.h"
#include "textview/LineGeometry.h"
#include "textview/TextBuffer.h"

#include <QGuiApplication>

#include <cmath>

using namespace Qt::StringLiterals;
#include <limits>

namespace {

constexpr double everywhere = std::numeric_limits<double>::max();

// With roundTrip, the x of every place a caret may stand leads back to a
// place at that x.
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
    // At every place a caret may stand, as the text area steps.
    const qsizetype start = buffer.lineStart(line);
    const qsizetype end = start + buffer.lineLength(line);
    for (qsizetype position = start;;) {
        if (roundTrip) {
            const double x = geometry.layOut(geometry.chunkAt(line, position))->xOf(position);
            const qsizetype found = geometry.layOut(geometry.chunkAtX(line, x))->positionAt(x);
            FUZZ_CHECK(std::abs(geometry.layOut(geometry.chunkAt(line, found))->xOf(found) - x) < 1);
        }
        if (position == end)
            break;
        const qsizetype next = geometry.layOut(geometry.chunkBefore(line, position + 1))->nextPosition(position);
        FUZZ_CHECK(next > position);
        position = next;
    }
}

// Never inside a surrogate pair, as the caret never is.
qsizetype whole(const TextBuffer &buffer, qsizetype position)
{
    const bool inside = position > 0 && position < buffer.size() && buffer.at(position).isLowSurrogate()
                        && buffer.at(position - 1).isHighSurrogate();
    return inside ? position - 1 : position;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

// The first byte chooses the characters: plain ones, where x and places are
// checked both ways and the geometry updated in place is compared with one
// built afresh; ones that need shaping; or right-to-left ones, tabs,
// zero-width joiners, marks on their own and halves of surrogate pairs too.
// (Next to those, Qt itself answers places far from the x asked for, as in
// its own editor, and lets a caret stand inside ligatures where no click can
// put it.) The rest, two bytes at a time, are edits of a long line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int kind = data[0] % 3;
    const bool plain = kind == 0;
    static const QStringList characters[] = {
        {u"a"_s, u"W"_s, u","_s, u" "_s, u"@"_s, u"."_s, u"\u00e9"_s},
        {u"a"_s, u","_s, u" "_s, u"e\u0301"_s, u"\U0001F600"_s, u"\u0928\u094D"_s, u"\u0928"_s},
        {u"a"_s, u","_s, u"\u0301"_s, u"\t"_s, u"\U0001F600"_s, QString(QChar(0xD83D)), u"\u200D"_s, u"\u05D0"_s, u"\u0627"_s},
    };
    const QStringList &alphabet = characters[kind];
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    TextBuffer buffer;
    buffer.setText(QStringLiteral("someone@example.com,").repeated(20));
    LineGeometry geometry(buffer);
    geometry.setFont(font);
    geometry.widestLine();
    for (size_t i = 1; i + 1 < size; i += 2) {
        const qsizetype position = whole(buffer, data[i] * (buffer.size() + 1) / 256);
        QString piece;
        for (int k = 0; k < 1 + data[i + 1] % 4; ++k)
            piece += alphabet[(data[i + 1] + k) % alphabet.size()];
        if (data[i + 1] % 8 == 7 && position < buffer.size()) {
            const qsizetype removed =
                whole(buffer, qMin<qsizetype>(position + data[i + 1] % 5 + 1, buffer.size())) - position;
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
    checkLine(geometry, buffer, 0, plain);
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
