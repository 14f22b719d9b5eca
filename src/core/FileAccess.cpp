#include "core/FileAccess.h"

#include "core/Failure.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

void writeAll(int fd, QByteArrayView bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t count = ::write(fd, bytes.data() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            failWith(errno);
        written += count;
    }
}

// The file a save should replace: the end of a chain of links, so that the
// link itself stays a link.
QByteArray replacedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return QFile::encodeName(path);
    const QString canonical = info.canonicalFilePath();
    return QFile::encodeName(canonical.isEmpty() ? info.symLinkTarget() : canonical);
}

mode_t modeForNewFiles()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes every piece; answers how many bytes were written.
qint64 writePieces(int fd, const Pieces &nextPiece)
{
    qint64 written = 0;
    for (QByteArray piece = nextPiece(); !piece.isEmpty(); piece = nextPiece()) {
        writeAll(fd, piece);
        written += piece.size();
    }
    return written;
}

void writeInPlace(const QByteArray &target, const Pieces &nextPiece)
{
    Descriptor file(::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        failWith(errno);
    // Overwrite first, cut the rest after: a text no longer than the old one
    // needs no new space on a full disk.
    const qint64 size = writePieces(file.get(), nextPiece);
    if (::ftruncate(file.get(), size) != 0 || ::fsync(file.get()) != 0)
        failWith(errno);
    file.closeChecked();
}

// Writes the bytes to a new temporary file; answers its name, or nothing when
// no file can be made in the folder (for want of write permission there).
std::optional<QByteArray> writeTemporary(const QByteArray &target, const Pieces &nextPiece,
                                         const std::optional<struct stat> &existing)
{
    // A short name of our own, so that a target name at the file system's
    // length limit still leaves room for it.
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray name = (slash < 0 ? QByteArray(".") : target.left(slash + 1)) + ".kestrava-XXXXXX";
    Descriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (file.get() < 0) {
        if (existing && (errno == EACCES || errno == EPERM || errno == EROFS))
            return std::nullopt;
        failWith(errno);
    }
    try {
        if (existing && ::fchown(file.get(), existing->st_uid, existing->st_gid) != 0) {
            ::unlink(name.constData());
            return std::nullopt;
        }
        const mode_t mode = existing ? existing->st_mode & 07777 : modeForNewFiles();
        if (::fchmod(file.get(), mode) != 0)
            failWith(errno);
        writePieces(file.get(), nextPiece);
        if (::fsync(file.get()) != 0)
            failWith(errno);
        file.closeChecked();
    } catch (...) {
        ::unlink(name.constData());
        throw;
    }
    return name;
}

} // namespace

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

    // The size is only a hint: a file that grows or shrinks meanwhile is read
    // to its end, as it is then. One byte more than the size sees the end
    // without growing the buffer.
    QByteArray bytes(qsizetype(status.st_size) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t count = ::read(file.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            failWith(errno);
        if (count == 0)
            break;
        filled += count;
    }
    bytes.truncate(filled);
    return bytes;
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
        existing = status;
    }
    const std::optional<QByteArray> temporary = writeTemporary(target, nextPiece, existing);
    if (!temporary) {
        writeInPlace(target, nextPiece);
        return;
    }
    if (::rename(temporary->constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary->constData());
        failWith(code);
    }
}
