#pragma once

#include <QByteArray>
#include <QString>

// The text of a list file's bytes, decoded as the block reader decodes them
// (see ListEncoding and StreamingJoin): a byte-order mark dropped; a last
// odd byte of UTF-16, and half a surrogate pair standing alone, U+FFFD.
QString decodeListFile(const QByteArray &bytes);
// The same text appended to text, decoded straight into its room.
void appendDecodedListFile(const QByteArray &bytes, QString &text);
