#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>

// Reads the whole of an ordinary file through one open, so that its type and
// size belong to the very file that is read. Nothing when no file is at the
// path. A folder, pipe, device or socket raises a Failure at once, without
// waiting on it; so does any other trouble, with the platform's description.
// A file too large to hold raises std::bad_alloc.
std::optional<QByteArray> readOrdinaryFile(const QString &path);

// Reads what is left of an open file, pipe or terminal to its end. The size
// is only a hint. Trouble raises a Failure with the platform's description.
QByteArray readToEnd(int fd, off_t sizeHint);

// Reads until the buffer holds size bytes or the input ends; answers how
// many it holds. Trouble raises a Failure with the platform's description.
qsizetype readFull(int fd, char *buffer, qsizetype size);

// Writes every byte, or raises a Failure with the platform's description; a
// write that writes nothing counts as a full disk, as for the GNU tools.
void writeAll(int fd, QByteArrayView bytes);

// Replaces the file at path (or, for a link or chain of links, the file it
// leads to) with the bytes that nextPiece gives, piece by piece until an
// empty one. Completely or not at all: a failure raises a Failure with the
// platform's description and leaves any old file byte for byte.
//
// Normally through a temporary file beside it, written, synced and renamed
// over it, the folder synced after (a failure there says that the new text
// is saved but not confirmed). An existing file keeps its owner, group, mode
// and extended attributes (its access control list among them); one the
// user may not write is refused ("Permission denied"), whatever the folder
// allows. Where no temporary file can be made beside it, or its owner or
// attributes could not be kept, it is written in place: room for the new
// bytes is reserved first, and should a write still fail, the old bytes are
// put back, or where even that fails, written to a file in the temporary
// folder that the failure names.
void replaceFile(const QString &path, const std::function<QByteArray()> &nextPiece);

// The system calls that reading and saving make. Tests replace them to make
// any one of them fail, or to count them; FileCallsOverride puts them back.
struct FileCalls
{
    std::function<ssize_t(int fd, void *bytes, size_t count)> read;
    std::function<ssize_t(int fd, const void *bytes, size_t count)> write;
    std::function<int(int fd)> fsync;
    std::function<int(int fd, off_t length)> ftruncate;
    // As posix_fallocate: answers an error number, or 0.
    std::function<int(int fd, off_t offset, off_t length)> allocate;
    std::function<int(const char *from, const char *to)> rename;
    std::function<int(const char *path)> unlink;
    // As listxattr and fsetxattr with no flags.
    std::function<ssize_t(const char *path, char *names, size_t size)> listAttributes;
    std::function<int(int fd, const char *name, const void *value, size_t size)> setAttribute;
    // A temporary file without a name in a folder, as open with O_TMPFILE:
    // a descriptor, or -1 (file systems without them answer EOPNOTSUPP).
    std::function<int(const char *folder)> openUnnamed;
};
FileCalls &fileCalls();

class FileCallsOverride
{
public:
    FileCallsOverride() : m_saved(fileCalls()) {}
    ~FileCallsOverride() { fileCalls() = m_saved; }
    FileCallsOverride(const FileCallsOverride &) = delete;
    FileCallsOverride &operator=(const FileCallsOverride &) = delete;

private:
    FileCalls m_saved;
};
