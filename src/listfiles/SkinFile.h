#pragma once

#include <QString>

// Whether a listing of the path's folder shows the path as an ordinary file:
// not hidden (no leading dot), not a folder or a link to one, not a device,
// pipe or socket.
bool isListedOrdinaryFile(const QString &path);
