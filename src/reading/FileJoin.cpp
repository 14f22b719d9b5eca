#include "reading/FileJoin.h"

#include "core/Failure.h"
#include "core/FileAccess.h"
#include "reading/FoldedCharacters.h"

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

// A file rewritten to the same size with its modification time put back
// still shows a new change time.
bool sameFile(const struct stat &opened, const struct stat &now)
{
    return now.st_size == opened.st_size && now.st_mtim.tv_sec == opened.st_mtim.tv_sec
           && now.st_mtim.tv_nsec == opened.st_mtim.tv_nsec && now.st_ctim.tv_sec == opened.st_ctim.tv_sec
           && now.st_ctim.tv_nsec == opened.st_ctim.tv_nsec;
}

// Joins as the window joins, handing on the UTF-8 after each block.
class Joining : public Reader
{
public:
    Joining(StreamingJoin &join, const Writer &write) : m_join(join), m_write(write) {}
    void startFile(StreamingJoin::Encoding encoding) override { m_join.startFile(encoding); }
    void feed(QByteArrayView bytes) override
    {
        m_join.feed(bytes, m_converted);
        m_write(m_converted);
    }
    void finishFile() override
    {
        m_join.finishFile(m_converted);
        m_write(m_converted);
    }
    bool isBroken() const override { return m_join.isBroken(); }

private:
    StreamingJoin &m_join;
    const Writer &m_write;
    QByteArray m_converted;
};

} // namespace

void readHeld(const QByteArray &bytes, Reader &reader)
{
    ListEncoding::Utf8Check check;
    check.feed(bytes);
    reader.startFile(ListEncoding::of(bytes, check.isValid()));
    reader.feed(bytes);
    reader.finishFile();
}

void readOrdinaryFile(int fd, const struct stat &opened, Reader &reader, qsizetype blockSize, bool rejoin)
{
    QByteArray block(blockSize, Qt::Uninitialized);
    QByteArray start;
    ListEncoding::Utf8Check check;
    bool whole = false;
    FoldedCharacters folds;
    eachBlock(fd, block, [&](QByteArrayView bytes) {
        if (start.isNull()) {
            whole = bytes.size() < blockSize;
            start = whole ? bytes.toByteArray() : bytes.first(qMin<qsizetype>(bytes.size(), 4)).toByteArray();
        }
        // The first byte that is no UTF-8 settles it (a UTF-16 mark is none).
        check.feed(rejoin ? QByteArrayView(folds.rejoined(bytes, false)) : bytes);
        return check.isValidSoFar();
    });
    if (rejoin)
        check.feed(folds.rejoined({}, true));
    folds.reset();
    if (whole || start.isEmpty()) {
        readHeld(rejoin ? folds.rejoined(start, true) : start, reader);
        return;
    }
    reader.startFile(ListEncoding::of(start, check.isValid()));
    const off_t read = eachBlock(fd, block, [&](QByteArrayView bytes) {
        reader.feed(rejoin ? QByteArrayView(folds.rejoined(bytes, false)) : bytes);
        return true;
    });
    if (rejoin)
        reader.feed(folds.rejoined({}, true));
    reader.finishFile();
    struct stat now {};
    if (::fstat(fd, &now) != 0 || reader.isBroken() || read != opened.st_size || !sameFile(opened, now))
        throw Failure(QStringLiteral("File changed as it was read"));
}

void joinHeld(const QByteArray &bytes, StreamingJoin &join, const Writer &write)
{
    Joining joining(join, write);
    readHeld(bytes, joining);
}

void joinOrdinaryFile(int fd, const struct stat &opened, StreamingJoin &join, const Writer &write, qsizetype blockSize)
{
    Joining joining(join, write);
    readOrdinaryFile(fd, opened, joining, blockSize);
}

} // namespace FileJoin
