#pragma once

#include <QtGlobal>

#include <future>

// Memory just allocated costs a page fault and a page of zeros the first time
// each page is written, which for tens of megabytes takes longer than the
// writing itself. A Prefault has the kernel make the pages of a range ready
// on a thread of its own while the caller writes what comes before it; it
// never touches what the range holds. Where no thread can be had, or the
// kernel cannot do it, the pages are made as they are first written, as ever.
class Prefault
{
public:
    Prefault() = default;
    Prefault(void *start, qsizetype bytes);

    // Waits until the pages are made, as replacing or destroying a Prefault
    // does: the memory is let go, or handed on, only then.
    void wait();

private:
    std::future<void> m_done; // from std::async, whose end is waited for
};
