#include "platform/graph/RenderLog.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_lock;
RenderLogSink g_sink; // guarded by g_lock
} // namespace

void SetRenderLog(RenderLogSink sink) {
    std::lock_guard lock(g_lock);
    g_sink = std::move(sink);
}

void RenderLog(int level, const std::string& where, const std::string& text) {
    RenderLogSink sink;
    {
        std::lock_guard lock(g_lock);
        sink = g_sink;
    }
    if (sink) {
        sink(level, where, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", where.c_str(), text.c_str());
}
