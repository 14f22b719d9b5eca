#pragma once

#include <QChar>

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
    // For room of so many characters about to be written from its start:
    // making a page costs more than writing it, so the writer makes the
    // first quarter of the pages as it writes, and the other thread, which
    // only makes pages, has the rest ready about when the writer comes to
    // them. Below a few megabytes no thread is worth it.
    static Prefault ofRoom(QChar *start, qsizetype characters);

    // Waits until the pages are made, as replacing or destroying a Prefault
    // does. The memory should stay its owner's until then; should it be let
    // go first, making a page ready still changes nothing any memory holds.
    void wait();

private:
    std::future<void> m_done; // from std::async, whose end is waited for
};
