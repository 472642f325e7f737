#pragma once
// Log lines of the renderers and their sound back ends. The platform layer cannot reach the
// program's log, so the engine installs a sink when the first engine is made; until then (and in
// tests of this layer alone) lines go to stderr.
//
// Threads: SetRenderLog from the UI thread, before any graph runs; RenderLog from any thread
// (delivery threads, the audio device thread).
#include <functional>
#include <string>

// Levels as the program's log uses them.
inline constexpr int RENDER_LOG_ERROR = 0;
inline constexpr int RENDER_LOG_INFO = 1;
inline constexpr int RENDER_LOG_DEBUG = 2;

using RenderLogSink =
    std::function<void(int level, const std::string& where, const std::string& text)>;

// An empty sink restores the stderr default.
void SetRenderLog(RenderLogSink sink);
void RenderLog(int level, const std::string& where, const std::string& text);
