#pragma once
// Reference clocks: the time base against which renderers present samples. The graph picks one
// (the sound renderer's when there is one) and hands it to every filter.
#include <chrono>
#include <functional>

#include "platform/graph/Result.h"

class IReferenceClock {
public:
    // Any thread: the clock's current time in 100-ns units. Never goes backwards.
    virtual REFERENCE_TIME GetTime() = 0;
    // Any thread, holding no lock the listener takes. Sets the one function called whenever the
    // clock jumps ahead of steady time, so that a wait timed by steady time can end early and
    // read the clock again; null removes it, and a new one replaces it. It runs on the thread
    // that moved the clock, holding none of the clock's locks; once this call returns, the
    // former function is neither running nor called again. A clock that keeps steady pace, or
    // only falls behind it, never calls it.
    virtual void SetJumpListener(std::function<void()> listener) { (void)listener; }

protected:
    ~IReferenceClock() = default;
};

// A steady clock that never stops: the graph's clock when no renderer offers one.
class CSystemClock final : public IReferenceClock {
public:
    REFERENCE_TIME GetTime() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<
                   std::chrono::duration<REFERENCE_TIME, std::ratio<1, UNITS>>>(since)
            .count();
    }
};
