#include "core/FileAccess.h"

#include "core/Failure.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

QString describeErrno(int code)
{
    return QString::fromStdString(std::generic_category().message(code));
}

[[noreturn]] void failWith(int code)
{
    throw Failure(describeErrno(code));
}

// Closes a descriptor when it goes out of scope, unless it was closed by hand.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    // Closing can report a write that failed late (on a network file system).
    void closeChecked()
    {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            failWith(errno);
    }

private:
    int m_fd;
};

void requireOrdinaryFile(const struct stat &status, const QString &path)
{
    if (S_ISDIR(status.st_mode))
        failWith(EISDIR);
    if (!S_ISREG(status.st_mode))
        throw Failure(QStringLiteral("%1 is not an ordinary file").arg(path));
}

using Pieces = std::function<QByteArray()>;

} // namespace

void writeAll(int fd, QByteArrayView bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t count = fileCalls().write(fd, bytes.data() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            failWith(errno);
        if (count == 0)
            failWith(ENOSPC);
        written += count;
    }
}

namespace {

void syncOrFail(int fd)
{
    if (fileCalls().fsync(fd) != 0)
        failWith(errno);
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// The file a save should replace: the end of a chain of links, so that every
// link stays a link, even when the chain ends where no file is yet.
QByteArray replacedTarget(const QString &path)
{
    QByteArray target = QFile::encodeName(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(target.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return target;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(target.constData(), link.data(), size_t(link.size()));
        if (length < 0)
            failWith(errno);
        link.truncate(length);
        target = link.startsWith('/') ? link : folderOf(target) + '/' + link;
    }
    failWith(ELOOP);
}

mode_t modeForNewFiles()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void writePieces(int fd, const Pieces &nextPiece)
{
    for (QByteArray piece = nextPiece(); !piece.isEmpty(); piece = nextPiece())
        writeAll(fd, piece);
}

// Writes bytes from the start of a file and cuts it to them.
void overwrite(int fd, QByteArrayView bytes)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        failWith(errno);
    writeAll(fd, bytes);
    if (fileCalls().ftruncate(fd, off_t(bytes.size())) != 0)
        failWith(errno);
    syncOrFail(fd);
}


// Writes the old text of a file that could not be put back to a new file
// in the user's temporary folder; answers its name, or nothing when that
// fails too.
std::optional<QString> keepElsewhere(QByteArrayView old)
{
    QByteArray name = QFile::encodeName(QDir::tempPath()) + "/kestrava-old-text-XXXXXX";
    Descriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (file.get() < 0)
        return std::nullopt;
    try {
        writeAll(file.get(), old);
        syncOrFail(file.get());
    } catch (const Failure &) {
        ::unlink(name.constData());
        return std::nullopt;
    }
    return QFile::decodeName(name);
}

// In place, as editors write a file in a folder they may not write to. The
// old bytes are kept, and the new ones held whole, so that room for them can
// be reserved before anything is overwritten and the old bytes put back
// should a write still fail; should that fail too, they go to a file of
// their own, so that nothing is lost.
void writeInPlace(const QByteArray &target, const Pieces &nextPiece, const struct stat &existing)
{
    Descriptor file(::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        failWith(errno);
    const QByteArray old = readToEnd(file.get(), existing.st_size);
    QByteArray bytes;
    for (QByteArray piece = nextPiece(); !piece.isEmpty(); piece = nextPiece())
        bytes += piece;
    // Reserving nothing is an error of its own (EINVAL): an empty text needs no room.
    if (const int reserved = bytes.isEmpty() ? 0 : fileCalls().allocate(file.get(), 0, off_t(bytes.size()));
        reserved != 0) {
        fileCalls().ftruncate(file.get(), off_t(old.size()));
        failWith(reserved);
    }
    try {
        overwrite(file.get(), bytes);
    } catch (const Failure &failure) {
        try {
            overwrite(file.get(), old);
        } catch (const Failure &) {
            if (const std::optional<QString> kept = keepElsewhere(old))
                throw Failure(failure.description()
                              + QStringLiteral(" (the old text could not be put back; it is kept in %1)").arg(*kept));
            throw Failure(failure.description() + QStringLiteral(" (and the old text could not be put back)"));
        }
        throw;
    }
    file.closeChecked();
}

// A name of our own beside the target, short, so that a target name at the
// file system's length limit still leaves room for it.
QByteArray temporaryName(const QByteArray &target)
{
    return folderOf(target) + "/.kestrava-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

// Gives a finished unnamed file a name of its own.
QByteArray nameUnnamedFile(int fd, const QByteArray &target)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (;;) {
        QByteArray name = temporaryName(target);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return name;
        if (errno != EEXIST)
            failWith(errno);
    }
}

struct Temporary
{
    int fd = -1;
    QByteArray name; // empty while the file has none
};

// A new file beside the target: without a name where the file system allows,
// so that nothing is left behind should writing fail. Nothing when no file
// can be made in the folder (for want of write permission there) but the
// target exists to be written in place.
std::optional<Temporary> createTemporary(const QByteArray &target, bool exists)
{
    // An unnamed file is named through /proc when it is done.
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd = fileCalls().openUnnamed(folderOf(target).constData());
        if (fd >= 0)
            return Temporary{fd, {}};
        if (exists && (errno == EACCES || errno == EPERM || errno == EROFS))
            return std::nullopt;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            failWith(errno);
    }
    QByteArray name = folderOf(target) + "/.kestrava-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        return Temporary{fd, name};
    if (exists && (errno == EACCES || errno == EPERM || errno == EROFS))
        return std::nullopt;
    failWith(errno);
}

// Removes a named temporary file after a failure, and says so when it
// cannot be removed.
[[noreturn]] void discard(const QByteArray &name, const Failure &failure)
{
    if (!name.isEmpty() && fileCalls().unlink(name.constData()) != 0)
        throw Failure(failure.description()
                      + QStringLiteral(" (and the temporary file %1 could not be removed: %2)")
                            .arg(QFile::decodeName(name), describeErrno(errno)));
    throw failure;
}

// Gives a new file every extended attribute of the file it replaces: its
// access control list, which the mode alone cannot carry, among them.
// Answers false when one could not be given.
bool copyExtendedAttributes(const QByteArray &from, int to)
{
    const ssize_t size = fileCalls().listAttributes(from.constData(), nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP;
    QByteArray names(size, Qt::Uninitialized);
    // The list may have grown meanwhile: then the file is written in place.
    if (fileCalls().listAttributes(from.constData(), names.data(), size_t(size)) != size)
        return false;
    for (const QByteArray &name : names.split('\0')) {
        if (!name.isEmpty()) {
            const ssize_t length = ::getxattr(from.constData(), name.constData(), nullptr, 0);
            QByteArray value(qMax<ssize_t>(length, 0), Qt::Uninitialized);
            if (length < 0 || ::getxattr(from.constData(), name.constData(), value.data(), size_t(length)) != length
                || fileCalls().setAttribute(to, name.constData(), value.constData(), size_t(length)) != 0)
                return false;
        }
    }
    return true;
}

// Writes the bytes to a new temporary file; answers its name, or nothing when
// it is to be written in place.
std::optional<QByteArray> writeTemporary(const QByteArray &target, const Pieces &nextPiece,
                                         const std::optional<struct stat> &existing)
{
    const std::optional<Temporary> temporary = createTemporary(target, existing.has_value());
    if (!temporary)
        return std::nullopt;
    Descriptor file(temporary->fd);
    QByteArray name = temporary->name;
    try {
        // A new file that cannot take the owner or every attribute of the
        // old one would give someone other rights: the old one is written in
        // place instead.
        const auto inPlace = [&]() -> std::optional<QByteArray> {
            if (!name.isEmpty())
                fileCalls().unlink(name.constData());
            return std::nullopt;
        };
        if (existing && ::fchown(file.get(), existing->st_uid, existing->st_gid) != 0)
            return inPlace();
        const mode_t mode = existing ? existing->st_mode & 07777 : modeForNewFiles();
        if (::fchmod(file.get(), mode) != 0)
            failWith(errno);
        if (existing && !copyExtendedAttributes(target, file.get()))
            return inPlace();
        writePieces(file.get(), nextPiece);
        syncOrFail(file.get());
        if (name.isEmpty())
            name = nameUnnamedFile(file.get(), target);
        file.closeChecked();
    } catch (const Failure &failure) {
        discard(name, failure);
    } catch (...) {
        if (!name.isEmpty())
            fileCalls().unlink(name.constData());
        throw;
    }
    return name;
}

// A file the user may not write is not replaced, even where the folder
// would let a new one take its name.
void requireWritable(const QByteArray &target)
{
    Descriptor file(::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0)
        failWith(errno);
}

// The new name is on disk only once its folder is. By now the new text has
// taken the old one's place, and a failure says so.
void syncFolder(const QByteArray &target)
{
    const auto unconfirmed = [](int code) {
        throw Failure(describeErrno(code)
                      + QStringLiteral(" (the new text is saved, but the disk could not confirm that it is stored)"));
    };
    Descriptor folder(::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 && errno == EACCES) {
        // A folder one may write but not read cannot be opened to be synced:
        // the file system that holds it and the file is synced instead.
        Descriptor file(::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (file.get() < 0 || ::syncfs(file.get()) != 0)
            unconfirmed(errno);
        return;
    }
    if (folder.get() < 0)
        unconfirmed(errno);
    if (fileCalls().fsync(folder.get()) != 0 && errno != EINVAL)
        unconfirmed(errno);
}

} // namespace

FileCalls &fileCalls()
{
    static FileCalls calls{
        [](int fd, void *bytes, size_t count) { return ::read(fd, bytes, count); },
        [](int fd, const void *bytes, size_t count) { return ::write(fd, bytes, count); },
        [](int fd) { return ::fsync(fd); },
        [](int fd, off_t length) { return ::ftruncate(fd, length); },
        [](int fd, off_t offset, off_t length) { return ::posix_fallocate(fd, offset, length); },
        [](const char *from, const char *to) { return ::rename(from, to); },
        [](const char *path) { return ::unlink(path); },
        [](const char *path, char *names, size_t size) { return ::listxattr(path, names, size); },
        [](int fd, const char *name, const void *value, size_t size) { return ::fsetxattr(fd, name, value, size, 0); },
        [](const char *folder) { return ::open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); },
    };
    return calls;
}

qsizetype readFull(int fd, char *buffer, qsizetype size)
{
    qsizetype filled = 0;
    while (filled < size) {
        const ssize_t count = fileCalls().read(fd, buffer + filled, size_t(size - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            failWith(errno);
        if (count == 0)
            break;
        filled += count;
    }
    return filled;
}

// A file that grows or shrinks meanwhile is read to its end, as it is then.
// One byte more than the size sees the end without growing the buffer.
QByteArray readToEnd(int fd, off_t sizeHint)
{
    QByteArray bytes(qsizetype(sizeHint) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const qsizetype count = readFull(fd, bytes.data() + filled, bytes.size() - filled);
        filled += count;
        if (filled < bytes.size())
            break;
    }
    bytes.truncate(filled);
    return bytes;
}

std::optional<QByteArray> readOrdinaryFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.contains('\0'))
        return std::nullopt;
    // Non-blocking, so that opening a pipe with no writer returns at once.
    Descriptor file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        // A path that cannot lead to any file names no file.
        if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP)
            return std::nullopt;
        failWith(errno);
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        failWith(errno);
    requireOrdinaryFile(status, path);

    return readToEnd(file.get(), status.st_size);
}

void replaceFile(const QString &path, const std::function<QByteArray()> &nextPiece)
{
    const QByteArray target = replacedTarget(path);
    if (target.isEmpty() || target.contains('\0'))
        failWith(ENOENT);
    std::optional<struct stat> existing;
    struct stat status {};
    if (::stat(target.constData(), &status) == 0) {
        requireOrdinaryFile(status, path);
        requireWritable(target);
        existing = status;
    }
    const std::optional<QByteArray> temporary = writeTemporary(target, nextPiece, existing);
    if (!temporary) {
        writeInPlace(target, nextPiece, *existing);
        return;
    }
    if (fileCalls().rename(temporary->constData(), target.constData()) != 0)
        discard(*temporary, Failure(describeErrno(errno)));
    syncFolder(target);
}
