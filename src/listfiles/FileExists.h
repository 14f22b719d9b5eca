#pragma once

#include <QString>

// Whether the path names something whose last-modified time can be read.
// Never fails: any trouble answers false.
bool fileExists(const QString &path);

// Whether the path names an ordinary file (or a link to one): not a folder,
// pipe, device or socket. Never fails.
bool isOrdinaryFile(const QString &path);
