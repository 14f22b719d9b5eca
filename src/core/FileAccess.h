#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Reads the whole of an ordinary file through one open, so that its type and
// size belong to the very file that is read. Nothing when no file is at the
// path. A folder, pipe, device or socket raises a Failure at once, without
// waiting on it; so does any other trouble, with the platform's description.
// A file too large to hold raises std::bad_alloc.
std::optional<QByteArray> readOrdinaryFile(const QString &path);

// Replaces the file at path (or, for a link, the file it leads to) with the
// bytes that nextPiece gives, piece by piece until an empty one, so that no
// more than a piece is held at once. Normally through a temporary file beside it that is renamed over it
// once everything is written and on disk: a failure raises a Failure with the
// platform's description and leaves any old file byte for byte. An existing
// file keeps its owner, group and mode; where no temporary file can be made
// beside it, or its owner could not be kept, it is written in place, as
// editors do, and a failure is still raised.
void replaceFile(const QString &path, const std::function<QByteArray()> &nextPiece);
