#pragma once
// Log lines of the platform services (the renderers and their sound back ends, the disc access).
// The platform layer cannot reach the program's log, so core installs a sink into it at start-up
// of every program that links core's log (see core/Log.cpp); in programs of this layer alone, and
// while no sink is set, lines go to stderr.
//
// Threads: SetPlatformLog from any thread, normally once before any service runs; PlatformLog from
// any thread (delivery threads, the audio device thread, the user-interface thread).
#include <functional>
#include <string>

// Levels as the program's log uses them.
inline constexpr int PLATFORM_LOG_ERROR = 0;
inline constexpr int PLATFORM_LOG_INFO = 1;
inline constexpr int PLATFORM_LOG_DEBUG = 2;

using PlatformLogSink =
    std::function<void(int level, const std::string& where, const std::string& text)>;

// An empty sink restores the stderr default.
void SetPlatformLog(PlatformLogSink sink);
void PlatformLog(int level, const std::string& where, const std::string& text);
