#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The text of bytes that are valid UTF-8 throughout, a leading byte-order
// mark dropped; nothing when they are not.
std::optional<QString> decodeStrictUtf8(const QByteArray &bytes);
