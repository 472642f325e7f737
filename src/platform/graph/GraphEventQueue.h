#pragma once
// The filter graph's event queue: events in the order raised, each also announced to a notify
// target with a posted CGraphNotifyEvent, and taken by the engine with a wait that has a
// time-out.
//
// Threads: Post from any thread (pin delivery, device callback, engine); SetNotifyWindow and
// Take from the engine thread. One mutex guards everything; posting to Qt happens under it, so
// once SetNotifyWindow returns the old target gets nothing more.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/graph/Result.h"

class QObject;

struct CGraphEvent {
    long code = 0;
    std::intptr_t param1 = 0;
    std::intptr_t param2 = 0;
};

class CGraphEventQueue {
public:
    // Null target: events are queued only. E_INVALIDARG for a message outside Qt's user range.
    HRESULT SetNotifyWindow(QObject* target, int message, std::intptr_t param);
    // Queues the event, wakes a waiting Take and posts to the notify target.
    void Post(const CGraphEvent& event);
    // The oldest event, waiting up to timeoutMs (negative: without limit; woken by Post).
    // False when none came in time.
    bool Take(CGraphEvent* event, int timeoutMs);

private:
    std::mutex m_lock;
    std::condition_variable m_arrived; // signalled by Post
    std::deque<CGraphEvent> m_events;  // guarded by m_lock
    QObject* m_target = nullptr;       // guarded by m_lock
    int m_message = 0;                 // guarded by m_lock
    std::intptr_t m_param = 0;         // guarded by m_lock
};
