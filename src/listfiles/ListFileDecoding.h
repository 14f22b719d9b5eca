#pragma once

#include <QByteArray>
#include <QString>


// The text of a list file's bytes. FF FE starts UTF-16 little-endian and
// FE FF UTF-16 big-endian, the byte-order mark dropped and a last odd byte,
// and half a surrogate pair standing alone, becoming U+FFFD. Anything else is UTF-8 when it is valid UTF-8 (a leading
// byte-order mark dropped), otherwise Windows-1252, one character per byte.
QString decodeListFile(const QByteArray &bytes);
