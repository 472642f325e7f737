#pragma once
// Reference clocks: the time base against which renderers present samples. The graph picks one
// (the sound renderer's when there is one) and hands it to every filter.
#include <chrono>

#include "platform/graph/Result.h"

class IReferenceClock {
public:
    // Any thread: the clock's current time in 100-ns units. Never goes backwards.
    virtual REFERENCE_TIME GetTime() = 0;

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
