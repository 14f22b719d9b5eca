#include "core/ListWork.h"

#include <QMetaObject>

#include <new>
#include <system_error>

ListWork::ListWork(QObject *parent) : QObject(parent) {}

ListWork::~ListWork()
{
    stop();
}

void ListWork::stop()
{
    if (!m_thread.joinable())
        return;
    cancel();
    m_thread.join();
}

void ListWork::start(Task task)
{
    stop();
    m_progress.permille = 0;
    m_progress.cancelled = false;
    m_failure = nullptr;
    std::promise<void> done;
    m_done = done.get_future();
    // The object outlives the thread: stop() joins it before it goes. A
    // thread that cannot be had is memory that cannot be had.
    try {
        startThread(std::move(task), std::move(done));
    } catch (const std::system_error &) {
        m_done = {};
        throw std::bad_alloc();
    }
}

void ListWork::startThread(Task task, std::promise<void> done)
{
    m_thread = std::thread([this, task = std::move(task), done = std::move(done)]() mutable {
        try {
            task(m_progress);
        } catch (...) {
            m_failure = std::current_exception();
        }
        done.set_value();
        QMetaObject::invokeMethod(this, [this] { emit ended(); }, Qt::QueuedConnection);
    });
}

bool ListWork::waitFor(std::chrono::milliseconds patience)
{
    return !m_done.valid() || m_done.wait_for(patience) == std::future_status::ready;
}

void ListWork::cancel()
{
    m_progress.cancelled = true;
}

bool ListWork::isRunning() const
{
    return m_done.valid() && m_done.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}
