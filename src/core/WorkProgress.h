#pragma once

#include <atomic>

// How far long work has come, for another thread to show, and a way for it
// to stop the work: the work then raises WorkCancelled.
struct WorkProgress
{
    std::atomic<int> permille{0};
    std::atomic<bool> cancelled{false};
};

struct WorkCancelled
{
};
