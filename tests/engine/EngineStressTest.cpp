// Nothing hangs: random user operations against the real graph on good, missing and broken
// files, each timed.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>

#include "support/EngineHarness.h"

namespace {

// Longest an operation may take before the user would call the player hung.
constexpr auto kOperationLimit = std::chrono::seconds(2);
constexpr int kOperations = 300;
// Fixed, so that a failure can be replayed.
constexpr unsigned kSeed = 20240611;

struct COperation {
    const char* name;
    std::function<void()> run;
};

TEST(EngineStressTimed, RandomOperationsEachReturnWithinTheLimit) {
    CPlayerHost host;
    CPlaybackController& controller = host.controller;
    CEngineDS& engine = controller.GetEngine();
    const std::vector<std::string> files = {
        ClipWithVideoAndAudio(),       ClipAudioOnly(), ClipTagged(), ClipFlashAndBeep(),
        "/nonexistent/qor/stress.mp4", ClipBroken()};
    std::mt19937 random(kSeed);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };

    const std::vector<COperation> operations = {
        {"load", [&] { host.Load(files[pick(static_cast<int>(files.size()))]); }},
        {"load and play",
         [&] {
             if (host.Load(files[pick(static_cast<int>(files.size()))]) != 0) {
                 controller.PlayPause();
             }
         }},
        {"play/pause", [&] { controller.PlayPause(); }},
        {"engine play", [&] { engine.Play(); }},
        {"engine pause", [&] { engine.Pause(); }},
        {"force play", [&] { engine.ForcePlay(); }},
        {"seek", [&] { controller.SetPosition(pick(40) - 2); }},
        {"seek forward", [&] { controller.SeekForward(); }},
        {"seek backward", [&] { controller.SeekBackward(); }},
        {"stop", [&] { controller.Stop(); }},
        {"engine stop", [&] { engine.Stop(); }},
        {"abort", [&] { controller.Abort(); }},
        {"engine abort", [&] { engine.Abort(); }},
        {"volume", [&] { controller.SetVolume(pick(101)); }},
        {"mute", [&] { controller.SetMute(pick(2)); }},
        {"release", [&] { engine.ReleaseGraph(); }},
        // Index 0 is a video stream where there is one: a switch that fails.
        {"audio track", [&] { engine.SelectAudioStream(pick(3)); }},
        {"subtitle track", [&] { engine.SelectSubtitleStream(pick(3)); }},
        {"subtitles off", [&] { engine.DisableInternalSubtitle(); }},
        {"position", [&] { controller.GetPosition(); }},
    };

    for (int i = 0; i < kOperations; ++i) {
        const COperation& operation = operations[pick(static_cast<int>(operations.size()))];
        const auto start = std::chrono::steady_clock::now();
        operation.run();
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_LT(took, kOperationLimit)
            << "operation " << i << " (" << operation.name << ") took "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        // Let the graph play a little and its notifications arrive between commands.
        PumpFor(std::chrono::milliseconds(pick(60)));
    }
    const auto start = std::chrono::steady_clock::now();
    controller.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kOperationLimit) << "shutdown";
}

} // namespace
