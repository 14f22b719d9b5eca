#pragma once

#include <QtGlobal>

#include <future>
#include <system_error>
#include <vector>

// Runs work on the first half of so many items here and on the second on a
// thread of its own, where there are at least so many to be worth it (or
// where no thread can be had, on all of them here); answers the results in
// order: one, or one for each half.
template<typename Work>
auto inHalves(qsizetype count, qsizetype parallelFrom, Work work) -> std::vector<decltype(work(0, 0))>
{
    using Result = decltype(work(0, 0));
    std::vector<Result> results;
    std::future<Result> second;
    const qsizetype middle = count / 2;
    if (count >= parallelFrom) {
        try {
            second = std::async(std::launch::async, work, middle, count);
        } catch (const std::system_error &) {
        }
    }
    if (!second.valid()) {
        results.push_back(work(0, count));
        return results;
    }
    try {
        results.push_back(work(0, middle));
    } catch (...) {
        second.wait();
        throw;
    }
    results.push_back(second.get());
    return results;
}
