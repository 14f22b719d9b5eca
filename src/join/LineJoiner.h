#pragma once

#include "core/Prefault.h"

#include <QString>
#include <QStringList>

// Joins the lines of a text into one comma-delimited line. Literal: every
// line passes through unchanged, and only CR LF separates lines.
namespace LineJoiner {

// The pieces of a text cut at every CR LF, as views into the text, which must
// outlive them; empty text gives no pieces.
QList<QStringView> cutAtLineBreaks(QStringView text);

// The joined line as it is written: each piece with the separator after it,
// into a string made at its final size beforehand, so that no character is
// copied twice. Without room made, or with too little, it grows. The pages
// of a large room's later part are made ready on another thread while the
// first part is written.
class Writer
{
public:
    explicit Writer(QStringView separator = u",") : m_separator(separator) {}
    // Room for so many pieces of so many characters in all.
    void reserve(qsizetype characters, qsizetype pieces);
    void append(QStringView piece);
    bool isEmpty() const { return m_written == 0; }
    // Removes the separator written after the last piece.
    void dropTrailingSeparator();
    QString take();

private:
    QStringView m_separator;
    QString m_line; // m_written characters written, then room
    qsizetype m_written = 0;
    // Of the room: waited for before the room grows or is taken, so that the
    // other thread never makes pages of memory no longer the writer's.
    Prefault m_prefault;
};

QString join(QStringView text);

// The pieces with the separator between neighbours, built in a string of its
// final size.
QString joined(const QList<QStringView> &pieces, QStringView separator);

} // namespace LineJoiner
