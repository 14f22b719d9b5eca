#pragma once

#include <QString>

// Whether the path names something whose last-modified time can be read.
// Never fails: any trouble answers false.
bool fileExists(const QString &path);
