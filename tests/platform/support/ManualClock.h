#pragma once
// A reference clock the test moves by hand.
#include <atomic>

#include "platform/graph/ReferenceClock.h"

class CManualClock : public IReferenceClock {
public:
    REFERENCE_TIME GetTime() override { return now.load(); }
    std::atomic<REFERENCE_TIME> now{1000 * UNITS};
};
