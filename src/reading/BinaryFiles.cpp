#include "reading/BinaryFiles.h"

#include "core/Failure.h"
#include "core/FileAccess.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <zlib.h>

namespace BinaryFiles {

namespace {

struct Signature
{
    QByteArrayView start;
    const char *kind;
};

constexpr Signature signatures[] = {
    {"%PDF-", "PDF"},
    {"PK\x03\x04", "zip archive: a spreadsheet or document"},
    {"PK\x05\x06", "zip archive"},
    {"\x89PNG\r\n\x1A\n", "PNG image"},
    {"\xFF\xD8\xFF", "JPEG image"},
    {"GIF87a", "GIF image"},
    {"GIF89a", "GIF image"},
    {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "Office document"},
    {"\x7F" "ELF", "program"},
    {"BZh", "bzip2 archive"},
    {"\xFD" "7zXZ", "xz archive"},
    {"7z\xBC\xAF\x27\x1C", "7-Zip archive"},
};

// Inflates what read hands out, a block at a time, handing each block of
// the result to write.
void inflateAll(const std::function<qsizetype(char *, qsizetype)> &read,
                const std::function<void(QByteArrayView)> &write)
{
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK)
        throw std::bad_alloc();
    QByteArray in(1 << 16, Qt::Uninitialized);
    QByteArray out(1 << 18, Qt::Uninitialized);
    int result = Z_OK;
    try {
        for (;;) {
            if (stream.avail_in == 0) {
                const qsizetype count = read(in.data(), in.size());
                if (count == 0)
                    break;
                stream.next_in = reinterpret_cast<Bytef *>(in.data());
                stream.avail_in = uInt(count);
            }
            // A file of several gzip members is their bytes one after another.
            if (result == Z_STREAM_END && inflateReset(&stream) != Z_OK)
                break;
            stream.next_out = reinterpret_cast<Bytef *>(out.data());
            stream.avail_out = uInt(out.size());
            result = inflate(&stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                throw Failure(QStringLiteral("not gzip data throughout: %1").arg(QString::fromLatin1(stream.msg ? stream.msg : "damaged")));
            write(QByteArrayView(out).first(out.size() - stream.avail_out));
        }
    } catch (...) {
        inflateEnd(&stream);
        throw;
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw Failure(QStringLiteral("the gzip data ends early"));
}

} // namespace

bool isGzip(QByteArrayView start)
{
    return start.startsWith("\x1F\x8B");
}

QString kindOf(QByteArrayView start)
{
    for (const Signature &signature : signatures)
        if (start.startsWith(signature.start))
            return QString::fromLatin1(signature.kind);
    if (isGzip(start) || start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF"))
        return {};
    return start.first(qMin(start.size(), lookedAt)).contains('\0') ? QStringLiteral("binary data") : QString();
}

QByteArray gunzip(QByteArrayView compressed)
{
    QByteArray result;
    inflateAll(
        [&compressed](char *to, qsizetype room) {
            const qsizetype count = qMin(room, compressed.size());
            std::memcpy(to, compressed.data(), size_t(count));
            compressed = compressed.sliced(count);
            return count;
        },
        [&result](QByteArrayView bytes) { result += bytes; });
    return result;
}

int gunzipToTemporaryFile(int fd)
{
    const QString folder = qEnvironmentVariableIsEmpty("TMPDIR") ? QStringLiteral("/tmp") : qEnvironmentVariable("TMPDIR");
    const auto failure = [&folder](const QString &description) {
        return Failure(QStringLiteral("cannot decompress into a temporary file in %1%2: %3")
                           .arg(folder, qEnvironmentVariableIsEmpty("TMPDIR") ? QString() : QStringLiteral(" (TMPDIR)"),
                                description));
    };
    const int out = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (out < 0)
        throw failure(QString::fromLocal8Bit(std::strerror(errno)));
    try {
        if (::lseek(fd, 0, SEEK_SET) != 0)
            throw Failure(QString::fromLocal8Bit(std::strerror(errno)));
        inflateAll([fd](char *to, qsizetype room) { return readFull(fd, to, room); },
                   [out, &failure](QByteArrayView bytes) {
                       try {
                           writeAll(out, bytes);
                       } catch (const Failure &trouble) {
                           throw failure(trouble.description());
                       }
                   });
        if (::lseek(out, 0, SEEK_SET) != 0)
            throw failure(QString::fromLocal8Bit(std::strerror(errno)));
    } catch (...) {
        ::close(out);
        throw;
    }
    return out;
}

} // namespace BinaryFiles
