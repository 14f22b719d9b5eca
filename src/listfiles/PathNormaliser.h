#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// Repairs a path built by joining a folder and a name with a separator:
// every doubled separator becomes one. A leading run of backslashes becomes
// exactly two, the prefix of a network path; a leading run of slashes
// becomes exactly one, the root.
QString normalisePath(const QString &path, QChar separator);

// The same with this platform's separator.
QString normalisePlatformPath(const QString &path);

// The paths an Open dialog's answer names: one full path, or a folder
// followed by each chosen name behind a NUL, each joined to the folder and
// repaired; none for an empty answer.
QStringList chosenPaths(const QString &answer);
