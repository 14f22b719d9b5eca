#include "core/Prefault.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

// From Linux 5.14; older kernels answer EINVAL and nothing is made.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

// Every page the range touches, whole: making a neighbour's page ready as
// well changes nothing it holds.
void populate(quintptr start, quintptr end)
{
    const quintptr first = start & ~quintptr(sysconf(_SC_PAGESIZE) - 1);
    madvise(reinterpret_cast<void *>(first), end - first, MADV_POPULATE_WRITE);
}

} // namespace

Prefault::Prefault(void *start, qsizetype bytes)
{
    const quintptr from = reinterpret_cast<quintptr>(start);
    try {
        m_done = std::async(std::launch::async, populate, from, from + quintptr(bytes));
    } catch (...) {
        // No thread, or no memory for one: the pages are made as they are
        // written.
    }
}

Prefault Prefault::ofRoom(QChar *start, qsizetype characters)
{
    constexpr qsizetype worthFrom = qsizetype(1) << 21;
    if (characters < worthFrom)
        return {};
    const qsizetype writersPart = characters / 4;
    return Prefault(start + writersPart, (characters - writersPart) * qsizetype(sizeof(QChar)));
}

void Prefault::wait()
{
    if (m_done.valid())
        m_done.wait();
}
