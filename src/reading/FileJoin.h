#pragma once

#include "reading/StreamingJoin.h"

#include <functional>
#include <sys/stat.h>

// Reads list files for the command line a block at a time, choosing each
// file's encoding as "Load File" does, and joins them into the line that
// "Load File" of the files and then "Start Joining" give.
namespace FileJoin {

// What takes a file's bytes, a block at a time, once its encoding is
// chosen. The first block holds at least the file's first four bytes.
class Reader
{
public:
    virtual ~Reader() = default;
    virtual void startFile(StreamingJoin::Encoding encoding) = 0;
    virtual void feed(QByteArrayView bytes) = 0;
    virtual void finishFile() = 0;
    // Whether a file taken as UTF-8 turned out not to be.
    virtual bool isBroken() const = 0;
};

// Bytes held whole: standard input, a pipe, a device, a short file.
void readHeld(const QByteArray &bytes, Reader &reader);

// An ordinary file, read a block at a time in two passes: one to see whether
// it is UTF-8, one to hand it on; never more than a block held. Raises a
// Failure for trouble reading, and when the file changed between the passes
// or while it was read (what was handed on may not be what it holds): its
// size, modification or change time differs, or UTF-8 turned out not to be.
// With rejoin, the halves of a character that a folded line parts are put
// together before the file is read (FoldedCharacters), in both passes.
void readOrdinaryFile(int fd, const struct stat &opened, Reader &reader, qsizetype blockSize = 4 << 20,
                      bool rejoin = false);

// Takes the bytes, leaving them empty.
using Writer = std::function<void(QByteArray &bytes)>;

// The same, joined as the window joins, the UTF-8 handed to write as it is
// made.
void joinHeld(const QByteArray &bytes, StreamingJoin &join, const Writer &write);
void joinOrdinaryFile(int fd, const struct stat &opened, StreamingJoin &join, const Writer &write,
                      qsizetype blockSize = 4 << 20);

} // namespace FileJoin
