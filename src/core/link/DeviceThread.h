#pragma once

#include "core/link/LinkEngine.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orvex {

// The one thread that talks to the devices.  It owns the link engine, and with it every device
// handle, for its whole life: the engine is made and destroyed on this thread.  Work comes in as
// jobs, run one at a time in the order they were posted; between jobs the engine's due ticks run,
// and while nothing is due the thread sleeps.  What the engine announces goes to the listener,
// on this thread.
class DeviceThread
{
public:
    using Job = std::function<void(LinkEngine &engine)>;

    DeviceThread(DeviceAccess &access, LinkEngine::Listener &listener);
    // Runs every job posted so far, then ends the thread.
    ~DeviceThread();

    DeviceThread(const DeviceThread &) = delete;
    DeviceThread &operator=(const DeviceThread &) = delete;

    // From any thread.
    void post(Job job);

private:
    void run();
    bool waitForWork(std::unique_lock<std::mutex> &lock, const LinkEngine &engine);

    DeviceAccess &m_access;
    LinkEngine::Listener &m_listener;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;  // guarded by m_mutex
    bool m_stopping = false; // guarded by m_mutex

    std::thread m_thread; // last: it starts once everything above is ready
};

} // namespace orvex
