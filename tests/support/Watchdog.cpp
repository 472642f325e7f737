#include "Watchdog.h"

#include <cstdio>
#include <cstdlib>

CWatchdog::CWatchdog(std::chrono::seconds limit) {
    m_thread = std::thread([this, limit] {
        std::unique_lock lock(m_lock);
        if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
            std::fprintf(stderr, "watchdog: test still running after %lld s\n",
                         static_cast<long long>(limit.count()));
            std::abort();
        }
    });
}

CWatchdog::~CWatchdog() {
    {
        std::lock_guard lock(m_lock);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}
