// Audio and video stay together: a clip with a white frame and a beep at each whole second,
// played through the real graph; the clock times at which each flash is shown and its beep is
// heard must agree, in plain playback and after seeks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "support/EngineHarness.h"
#include "support/RendererTap.h"

namespace {

// Lip-sync error a viewer does not notice.
constexpr REFERENCE_TIME kMaxSkew = 40 * 10000;
constexpr double kPlainSeconds = 30.0;
constexpr double kSeekTargets[] = {5.0, 17.0, 9.0, 24.0, 2.0};
// Long enough after each seek to see two flashes.
constexpr auto kAfterSeek = std::chrono::milliseconds(3200);

// For each flash, the distance to the nearest beep; fails when a flash has no beep at all.
std::vector<REFERENCE_TIME> Skews(const std::vector<REFERENCE_TIME>& flashes,
                                  const std::vector<REFERENCE_TIME>& beeps) {
    std::vector<REFERENCE_TIME> skews;
    for (REFERENCE_TIME flash : flashes) {
        if (beeps.empty()) {
            ADD_FAILURE() << "no beep heard";
            break;
        }
        REFERENCE_TIME best = std::abs(beeps.front() - flash);
        for (REFERENCE_TIME beep : beeps) {
            best = std::min(best, std::abs(beep - flash));
        }
        skews.push_back(best);
    }
    return skews;
}

// The flashes from index `from` on, less the first: every run and every seek starts on a flash,
// and that first picture is the still of the pause before the run, shown as soon as it is
// decoded rather than at its time.
void ExpectTogether(CRendererTap& tap, std::size_t from, std::size_t minFlashes,
                    const char* phase) {
    const std::vector<REFERENCE_TIME> all = tap.FlashTimes();
    ASSERT_GE(all.size(), from + 1 + minFlashes) << phase;
    const std::vector<REFERENCE_TIME> flashes(all.begin() + static_cast<long>(from) + 1, all.end());
    const std::vector<REFERENCE_TIME> skews = Skews(flashes, tap.BeepTimes());
    const REFERENCE_TIME worst = *std::max_element(skews.begin(), skews.end());
    std::printf("%s: %zu flashes, worst audio/video distance %.1f ms\n", phase, flashes.size(),
                static_cast<double>(worst) / 10000.0);
    EXPECT_LE(worst, kMaxSkew) << phase;
}

TEST(EngineSyncTimed, FlashesAndBeepsStayTogetherWhilePlayingAndAfterSeeks) {
    CRendererTap tap;
    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    ASSERT_EQ(host.Load(ClipFlashAndBeep()), 1);
    ASSERT_TRUE(tap.Attach(engine, true, true));
    host.controller.PlayPause();
    ASSERT_TRUE(
        PumpUntil([&] { return engine.GetPosition() >= kPlainSeconds; }, std::chrono::seconds(45)));
    ExpectTogether(tap, 0, 28, "30 s of playing");

    for (double target : kSeekTargets) {
        const std::size_t before = tap.FlashTimes().size();
        host.controller.SetPosition(target);
        PumpFor(kAfterSeek);
        ExpectTogether(tap, before, 2, "after a seek");
    }
    EXPECT_EQ(host.StateName(), L"Playing");
}

} // namespace
