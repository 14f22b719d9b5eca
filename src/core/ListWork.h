#pragma once

#include "core/WorkProgress.h"

#include <QObject>

#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <thread>

// Work that may take long, run on a thread of its own, so that the window
// stays responsive meanwhile, can show how far it has come and can stop it.
// One task at a time: starting one stops the one before.
class ListWork : public QObject
{
    Q_OBJECT

public:
    using Task = std::function<void(WorkProgress &)>;

    explicit ListWork(QObject *parent = nullptr);
    ~ListWork() override;

    // Raises std::bad_alloc when no thread can be had for it.
    void start(Task task);
    // Waits up to so long for the task to end; answers whether it has.
    bool waitFor(std::chrono::milliseconds patience);
    // Asks the task to stop; it ends soon after, with WorkCancelled.
    void cancel();
    bool isRunning() const;
    int permille() const { return m_progress.permille.load(std::memory_order_relaxed); }
    // What the task raised (std::bad_alloc, WorkCancelled), or nothing; known
    // once it has ended.
    std::exception_ptr failure() const { return m_failure; }

signals:
    // On the window's thread, after the task ended, however it ended.
    void ended();

private:
    void stop();
    void startThread(Task task, std::promise<void> done);

    WorkProgress m_progress;
    std::thread m_thread;
    std::future<void> m_done;
    std::exception_ptr m_failure;
};
