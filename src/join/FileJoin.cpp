#include "join/FileJoin.h"

#include "core/Failure.h"
#include "core/FileAccess.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace FileJoin {

namespace {

// Reads a file from its start a block at a time, handing each to a step,
// until the file ends or the step answers false; answers how many bytes.
template<typename Step>
off_t eachBlock(int fd, QByteArray &block, Step step)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        throw Failure(QString::fromLocal8Bit(std::strerror(errno)));
    off_t total = 0;
    for (;;) {
        const qsizetype count = readFull(fd, block.data(), block.size());
        total += count;
        if (!step(QByteArrayView(block).first(count)) || count < block.size())
            return total;
    }
}

bool sameFile(const struct stat &opened, const struct stat &now)
{
    return now.st_size == opened.st_size && now.st_mtim.tv_sec == opened.st_mtim.tv_sec
           && now.st_mtim.tv_nsec == opened.st_mtim.tv_nsec;
}

} // namespace

void joinHeld(const QByteArray &bytes, StreamingJoin &join, const Writer &write)
{
    StreamingJoin::Utf8Check check;
    check.feed(bytes);
    QByteArray converted;
    join.startFile(StreamingJoin::encodingOf(bytes, check.isValid()));
    join.feed(bytes, converted);
    join.finishFile(converted);
    write(converted);
}

void joinOrdinaryFile(int fd, const struct stat &opened, StreamingJoin &join, const Writer &write, qsizetype blockSize)
{
    QByteArray block(blockSize, Qt::Uninitialized);
    QByteArray start;
    StreamingJoin::Utf8Check check;
    bool whole = false;
    eachBlock(fd, block, [&](QByteArrayView bytes) {
        if (start.isNull()) {
            whole = bytes.size() < blockSize;
            start = whole ? bytes.toByteArray() : bytes.first(qMin<qsizetype>(bytes.size(), 4)).toByteArray();
        }
        // The first byte that is no UTF-8 settles it (a UTF-16 mark is none).
        check.feed(bytes);
        return check.isValidSoFar();
    });
    if (whole || start.isEmpty()) {
        joinHeld(start, join, write);
        return;
    }
    join.startFile(StreamingJoin::encodingOf(start, check.isValid()));
    QByteArray converted;
    const off_t read = eachBlock(fd, block, [&](QByteArrayView bytes) {
        join.feed(bytes, converted);
        write(converted);
        return true;
    });
    join.finishFile(converted);
    write(converted);
    struct stat now {};
    if (::fstat(fd, &now) != 0 || join.isBroken() || read != opened.st_size || !sameFile(opened, now))
        throw Failure(QStringLiteral("File changed as it was read"));
}

} // namespace FileJoin
