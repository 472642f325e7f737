#include "platform/PlatformLog.h"

#include <cstdio>
#include <mutex>

namespace {

struct CSinkSlot {
    std::mutex lock;
    PlatformLogSink sink; // guarded by lock
};

// Made on first use: core sets the sink from a static initialiser of its own, which may run
// before this file's would.
CSinkSlot& Slot() {
    static CSinkSlot slot;
    return slot;
}

} // namespace

void SetPlatformLog(PlatformLogSink sink) {
    CSinkSlot& slot = Slot();
    std::lock_guard lock(slot.lock);
    slot.sink = std::move(sink);
}

void PlatformLog(int level, const std::string& where, const std::string& text) {
    CSinkSlot& slot = Slot();
    PlatformLogSink sink;
    {
        std::lock_guard lock(slot.lock);
        sink = slot.sink;
    }
    if (sink) {
        sink(level, where, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", where.c_str(), text.c_str());
}
