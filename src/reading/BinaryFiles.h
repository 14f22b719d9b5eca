#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Files that are no lists: what their first bytes show them to be, and
// lists compressed with gzip, read as they were before compression.
namespace BinaryFiles {

// How much of a file's start is looked at.
constexpr qsizetype lookedAt = 8 << 10;

// What a file that starts with these bytes is when it is no text ("PDF",
// "zip archive", "PNG image", ...; "binary data" for a NUL byte in an
// 8-bit reading), or an empty text for text. UTF-16 with its byte-order
// mark is text; so is gzip, which is read decompressed.
QString kindOf(QByteArrayView start);
bool isGzip(QByteArrayView start);

// The bytes of a gzip file before compression, in memory; raises a
// Failure for data that is not gzip throughout.
QByteArray gunzip(QByteArrayView compressed);

// The same from an open file, into a temporary file without a name in
// TMPDIR (or /tmp), so that a list of any size is held on disk, not in
// memory: its descriptor, at its start. Raises a Failure that names the
// folder when it cannot be written.
int gunzipToTemporaryFile(int fd);

} // namespace BinaryFiles
