#pragma once

#include <QFile>
#include <QRegularExpression>

#include <csignal>
#include <malloc.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

// Lowers one of this process's resource limits while it lives.
class ResourceLimit
{
public:
    ResourceLimit(int resource, rlim_t limit) : m_resource(resource)
    {
        getrlimit(resource, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = limit;
        m_active = setrlimit(resource, &lowered) == 0;
    }
    ~ResourceLimit() { setrlimit(m_resource, &m_saved); }
    ResourceLimit(const ResourceLimit &) = delete;
    ResourceLimit &operator=(const ResourceLimit &) = delete;

    bool isActive() const { return m_active; }

private:
    int m_resource;
    rlimit m_saved{};
    bool m_active = false;
};

// Writes past the limit fail as on a full disk, for root too.
struct FileSizeLimit : ResourceLimit
{
    explicit FileSizeLimit(rlim_t bytes) : ResourceLimit(RLIMIT_FSIZE, bytes) { std::signal(SIGXFSZ, SIG_IGN); }
};

// Allows this process only so many bytes more of address space than it uses now.
struct MemoryLimit : ResourceLimit
{
    explicit MemoryLimit(rlim_t moreBytes) : ResourceLimit(RLIMIT_AS, addressSpaceInUse() + moreBytes) {}

    // Called before anything large is allocated: from then on large blocks
    // go back to the system when freed, rather than staying in the heap
    // where a later limit would not count them.
    static void countLargeBlocks() { mallopt(M_MMAP_THRESHOLD, 128 * 1024); }

    static rlim_t addressSpaceInUse()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        static const QRegularExpression vmSize(QStringLiteral("VmSize:\\s*(\\d+) kB"));
        return vmSize.match(QString::fromLatin1(status.readAll())).captured(1).toULongLong() * 1024;
    }
};

// Acts on the file system as the unprivileged user "nobody" while it lives,
// on this thread only; needs root.
class ActingAsNobody
{
public:
    static constexpr uid_t uid = 65534;
    static constexpr gid_t gid = 65534;

    ActingAsNobody()
    {
        if (geteuid() != 0)
            return;
        setfsgid(gid);
        setfsuid(uid);
        m_active = setfsuid(uid) == int(uid);
    }
    ~ActingAsNobody()
    {
        setfsuid(0);
        setfsgid(0);
    }
    ActingAsNobody(const ActingAsNobody &) = delete;
    ActingAsNobody &operator=(const ActingAsNobody &) = delete;

    bool isActive() const { return m_active; }

private:
    bool m_active = false;
};

// Whether the sanitizers watch this build; they bring their own malloc,
// and reserve more address space than any memory limit would leave.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESTRAVA_UNDER_SANITIZER 1
constexpr bool underSanitizer = true;
#else
constexpr bool underSanitizer = false;
#endif
