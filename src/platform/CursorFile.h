#pragma once

#include <QByteArray>
#include <QCursor>
#include <QPoint>

#include <optional>

// The hot spot of the first image of a Windows cursor (.cur) file, read from
// its header; nothing when the bytes are not a cursor file.
std::optional<QPoint> cursorHotSpot(const QByteArray &header);

// A pointer image from a cursor file: the picture through Qt's image reader,
// the hot spot from the file's header. Raises a Failure when the file is not
// a loadable cursor.
QCursor loadCursorFile(const QString &path);
