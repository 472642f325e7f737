#pragma once
// Ends a hung test: a test that waits on the code under test without a limit of its own (a seek
// or a stop that never returns) would otherwise wait until the test runner kills it, without a
// word about where it hung.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Aborts the process (failing the test) when it is still alive after the limit.
class CWatchdog {
public:
    explicit CWatchdog(std::chrono::seconds limit);
    ~CWatchdog();

private:
    std::mutex m_lock;
    std::condition_variable m_done; // guarded by m_lock, as m_finished
    bool m_finished = false;
    std::thread m_thread;
};
