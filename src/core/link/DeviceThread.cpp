#include "core/link/DeviceThread.h"

namespace orvex {

DeviceThread::DeviceThread(DeviceAccess &access, LinkEngine::Listener &listener)
    : m_access(access)
    , m_listener(listener)
    , m_thread([this] { run(); })
{}

DeviceThread::~DeviceThread()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void DeviceThread::post(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void DeviceThread::run()
{
    LinkEngine engine(m_access, m_listener);
    std::unique_lock lock(m_mutex);
    while (waitForWork(lock, engine)) {
        if (m_jobs.empty()) {
            lock.unlock();
            engine.runDueTick();
        } else {
            const Job job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job(engine);
        }
        lock.lock();
    }
}

// Sleeps until a job comes or the next tick is due; false once the thread is to end and no job
// is left.
bool DeviceThread::waitForWork(std::unique_lock<std::mutex> &lock, const LinkEngine &engine)
{
    const auto hasWork = [this] {
        return !m_jobs.empty() || m_stopping;
    };
    if (const std::optional<LinkEngine::TimePoint> due = engine.nextTick())
        m_wake.wait_until(lock, *due, hasWork);
    else
        m_wake.wait(lock, hasWork);
    return !m_jobs.empty() || !m_stopping;
}

} // namespace orvex
