#include "app/ReportFile.h"

#include "core/Failure.h"
#include "core/FileAccess.h"
#include "options/LineSorter.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString describeErrno(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A file in the temporary folder that is gone once closed.
std::FILE *openSpool()
{
    QByteArray pattern = QFile::encodeName(LineSorter::temporaryFolder() + QStringLiteral("/kestrava-report-XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    ::unlink(pattern.constData());
    std::FILE *file = ::fdopen(fd, "w+");
    if (!file)
        ::close(fd);
    return file;
}

} // namespace

ReportFile::ReportFile(const QString &path) : m_path(path)
{
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    m_spooled = ::stat(name.constData(), &status) != 0 || S_ISREG(status.st_mode);
    m_file = m_spooled ? openSpool() : std::fopen(name.constData(), "we");
    if (!m_file)
        fail(m_spooled ? QStringLiteral("cannot make a temporary file in %1: %2")
                             .arg(LineSorter::temporaryFolder(), describeErrno(errno))
                       : describeErrno(errno));
}

ReportFile::~ReportFile()
{
    if (m_file)
        std::fclose(m_file);
}

void ReportFile::write(QByteArrayView lines)
{
    if (m_file && std::fwrite(lines.data(), 1, size_t(lines.size()), m_file) != size_t(lines.size()))
        fail(describeErrno(errno));
}

bool ReportFile::commit()
{
    if (!m_file || m_failed)
        return false;
    if (std::fflush(m_file) != 0) {
        fail(describeErrno(errno));
        return false;
    }
    if (m_spooled) {
        try {
            if (std::fseek(m_file, 0, SEEK_SET) != 0)
                throw Failure(describeErrno(errno));
            const int fd = ::fileno(m_file);
            replaceFile(m_path, [fd] {
                QByteArray piece(1 << 20, Qt::Uninitialized);
                piece.truncate(readFull(fd, piece.data(), piece.size()));
                return piece;
            });
        } catch (const Failure &failure) {
            fail(failure.description());
            return false;
        }
    }
    if (std::fclose(std::exchange(m_file, nullptr)) != 0)
        fail(describeErrno(errno));
    return !m_failed;
}

void ReportFile::fail(const QString &description)
{
    if (!m_failed)
        std::fprintf(stderr, "kestrava: %s: %s\n", qPrintable(m_path), qPrintable(description));
    m_failed = true;
    if (m_file)
        std::fclose(std::exchange(m_file, nullptr));
}

QString ReportFile::overwrittenInput(const QString &path, const QStringList &inputs)
{
    struct stat report {};
    if (::stat(QFile::encodeName(path).constData(), &report) != 0 || !S_ISREG(report.st_mode))
        return {};
    const auto same = [&report](const struct stat &other) {
        return other.st_dev == report.st_dev && other.st_ino == report.st_ino;
    };
    struct stat status {};
    for (const QString &input : inputs) {
        const bool held = input == u"-" ? ::fstat(STDIN_FILENO, &status) == 0
                                        : ::stat(QFile::encodeName(input).constData(), &status) == 0;
        if (held && same(status))
            return QStringLiteral("%1, which the run reads").arg(input);
    }
    if (::fstat(STDOUT_FILENO, &status) == 0 && same(status))
        return QStringLiteral("standard output");
    return {};
}
