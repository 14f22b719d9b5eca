#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Puts back together the halves of a UTF-8 character that a folded line
// parts: some address book writers fold a long line after so many bytes,
// inside a character (FN:Ann \xC3 CR LF SPACE \xB8st), and the line must be
// unfolded before its bytes can be read as UTF-8. Only such a fold is
// undone, its line break and the blank after it taken out; every other is
// left for the reader of the lines. Bytes come a block at a time, and may
// be held back until the next shows whether they end such a fold.
class FoldedCharacters
{
public:
    void reset() { m_held.clear(); }
    // The bytes to hand on for a block; last for the file's last.
    QByteArray rejoined(QByteArrayView block, bool last);

private:
    QByteArray m_held;
};
