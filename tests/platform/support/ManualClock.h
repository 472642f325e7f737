#pragma once
// A reference clock the test moves by hand: setting `now` moves it silently, JumpTo tells the
// jump listener as the sound clock does. It counts its reads.
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/graph/ReferenceClock.h"

class CManualClock : public IReferenceClock {
public:
    REFERENCE_TIME GetTime() override {
        ++reads;
        return now.load();
    }
    void SetJumpListener(std::function<void()> listener) override {
        std::lock_guard guard(m_listenerLock);
        m_listener = std::move(listener);
    }
    void JumpTo(REFERENCE_TIME time) {
        now = time;
        std::lock_guard guard(m_listenerLock);
        if (m_listener) {
            m_listener();
        }
    }

    std::atomic<REFERENCE_TIME> now{1000 * UNITS};
    std::atomic<int> reads{0};

private:
    std::mutex m_listenerLock;
    std::function<void()> m_listener; // guarded by m_listenerLock
};
