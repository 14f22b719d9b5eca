#pragma once

#include <QString>

// The choices the window remembers across starts, kept in
// kestrava/kestrava.conf in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), read again at each use.
namespace SavedChoices {

QString value(const QString &key, const QString &fallback = {});
// Remembers the value; answers whether it could be written.
bool setValue(const QString &key, const QString &value);

} // namespace SavedChoices
