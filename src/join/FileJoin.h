#pragma once

#include "join/StreamingJoin.h"

#include <functional>
#include <sys/stat.h>

// Joins one list file after another into the line, reading each from a
// descriptor and handing on the UTF-8 as it is made: the very line that
// "Load File" of the files and then "Start Joining" give.
namespace FileJoin {

// Takes the bytes, leaving them empty.
using Writer = std::function<void(QByteArray &bytes)>;

// Bytes held whole: standard input, a pipe, a device, a short file.
void joinHeld(const QByteArray &bytes, StreamingJoin &join, const Writer &write);

// An ordinary file, read a block at a time in two passes: one to see whether
// it is UTF-8, one to join it; never more than a block held. Raises a
// Failure for trouble reading, and when the file changed between the passes
// or while it was read (what was written of it may not be what it holds).
void joinOrdinaryFile(int fd, const struct stat &opened, StreamingJoin &join, const Writer &write,
                      qsizetype blockSize = 4 << 20);

} // namespace FileJoin
