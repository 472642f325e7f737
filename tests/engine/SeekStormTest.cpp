// A thousand seeks to random places 20 ms apart while a clip plays, then a thousand while it is
// paused, through the controller as the main window drives it: no seek hangs or takes long, the
// position ends near the last target, and sound and picture are still together afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

#include "Watchdog.h"
#include "support/EngineHarness.h"
#include "support/RendererTap.h"

namespace {

using namespace std::chrono_literals;

constexpr int kClipSeconds = 60;
constexpr int kSeeksPerPhase = 1000;
constexpr auto kSeekInterval = 20ms;
// Whole seconds a target may take: from the start to well before the end, so that the check of
// sound and picture after the last seek has flashes left to see.
constexpr int kLastTarget = kClipSeconds - 8;
// A seek restarts the source and waits for the renderers' first data (a second at most); over
// three seconds were seen under the sanitizers beside seven builds on two cores. A seek that
// waits for something else takes longer, and one that never returns trips the watchdog.
constexpr auto kMaxSeekCall = 5s;
// Both phases with their checks: about a minute on an idle machine, over four minutes under the
// sanitizers or beside seven builds; short of the test runner's limit of five.
constexpr auto kStormLimit = std::chrono::seconds(290);
// Lip-sync error a viewer does not notice.
constexpr REFERENCE_TIME kMaxSkew = 40 * 10000;
// After the storm: five flashes and their beeps; on a starved machine frames are dropped, and a
// flash is a single frame.
constexpr auto kWatchAfter = 6200ms;
constexpr double kMaxPositionError = 1.0;
constexpr auto kPausedSettle = 1s;

struct CStormFigures {
    int seeks = 0;
    std::chrono::steady_clock::duration longestCall{};
    int lastTarget = 0;
};

// Seeks to random whole seconds, pumping the event loop between the calls as the window does.
CStormFigures Storm(CPlaybackController& controller, std::mt19937& random) {
    std::uniform_int_distribution<int> targets(0, kLastTarget);
    CStormFigures figures;
    for (int i = 0; i < kSeeksPerPhase; ++i) {
        figures.lastTarget = targets(random);
        const auto called = std::chrono::steady_clock::now();
        controller.SetPosition(figures.lastTarget);
        figures.longestCall =
            std::max(figures.longestCall, std::chrono::steady_clock::now() - called);
        ++figures.seeks;
        PumpFor(kSeekInterval);
    }
    return figures;
}

// Plays on for a while and checks that the flashes shown after `flashes` meet their beeps heard
// after `beeps`; prints the phase's figures.
void ExpectSettled(CPlayerHost& host, CRendererTap& tap, const CStormFigures& figures,
                   double position, const char* phase, std::size_t flashes, std::size_t beeps) {
    PumpFor(kWatchAfter);
    // The first flash after a seek is the still shown before the clock runs again. The offset is
    // the median distance: one frame shown late on a starved machine is no offset.
    std::vector<REFERENCE_TIME> skews = tap.Skews(flashes + 1, beeps);
    std::sort(skews.begin(), skews.end());
    const double offsetMs = skews.empty() ? -1.0 : skews[skews.size() / 2] / 10000.0;
    const double worstMs = skews.empty() ? -1.0 : skews.back() / 10000.0;
    const long long longestMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(figures.longestCall).count();
    std::printf("%s: %d seeks, longest seek call %lld ms, position %.1f s for target %d s, "
                "audio/video offset %.1f ms (worst flash %.1f ms, %zu flashes)\n",
                phase, figures.seeks, longestMs, position, figures.lastTarget, offsetMs, worstMs,
                skews.size());
    EXPECT_EQ(figures.seeks, kSeeksPerPhase) << phase;
    EXPECT_LE(figures.longestCall, kMaxSeekCall) << phase;
    EXPECT_NEAR(position, figures.lastTarget, kMaxPositionError) << phase;
    ASSERT_FALSE(skews.empty()) << phase << ": no flash or no beep after the storm";
    EXPECT_LE(skews[skews.size() / 2], kMaxSkew) << phase;
    EXPECT_EQ(host.StateName(), L"Playing") << phase;
}

TEST(SeekStormTimed, ThousandSeeksPlayingThenThousandPausedEndNearTargetInSync) {
    CWatchdog watchdog(kStormLimit);
    CRendererTap tap; // outlives the engine, whose renderers call it
    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    ASSERT_EQ(host.Load(ClipFlashAndBeep(kClipSeconds)), 1);
    ASSERT_TRUE(tap.Attach(engine, true, true));
    host.controller.PlayPause();
    ASSERT_TRUE(PumpUntil([&] { return tap.Frames().size() >= 10; }));
    std::mt19937 random(20261208);

    const CStormFigures playing = Storm(host.controller, random);
    std::size_t flashes = tap.FlashTimes().size();
    std::size_t beeps = tap.BeepTimes().size();
    // Read at once: the clip plays on from the target.
    const double playingPosition = engine.GetPosition();
    ExpectSettled(host, tap, playing, playingPosition, "playing", flashes, beeps);

    host.controller.PlayPause();
    ASSERT_TRUE(PumpUntil([&] { return host.StateName() == L"Paused"; }));
    const CStormFigures paused = Storm(host.controller, random);
    // Paused, the position must stay at the last target however long the pause lasts.
    PumpFor(kPausedSettle);
    const double pausedPosition = engine.GetPosition();
    flashes = tap.FlashTimes().size();
    beeps = tap.BeepTimes().size();
    host.controller.PlayPause();
    ExpectSettled(host, tap, paused, pausedPosition, "paused", flashes, beeps);
}

} // namespace
