// Seeking a 1080p H.264 file with a key frame each second: the next frame shown and the
// reported position are near the target, and soon.
#include <gtest/gtest.h>

#include <optional>

#include "support/EngineHarness.h"
#include "support/RendererTap.h"

namespace {

constexpr double kTarget = 30.0;
constexpr REFERENCE_TIME kMaxDistance = UNITS; // one second: at most one key frame interval
constexpr auto kMaxLatency = std::chrono::milliseconds(300);

TEST(EngineSeekTimed, NextFrameAndPositionAreNearTheTargetWithinLatency) {
    CRendererTap tap;
    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    ASSERT_EQ(host.Load(Clip1080pKeyEachSecond()), 1);
    ASSERT_TRUE(tap.Attach(engine, true, false));
    host.controller.PlayPause();
    ASSERT_TRUE(PumpUntil([&] { return tap.Frames().size() >= 10; }));

    const auto requested = std::chrono::steady_clock::now();
    host.controller.SetPosition(kTarget);
    const auto returned = std::chrono::steady_clock::now();
    const std::size_t before = tap.Frames().size();
    auto nextFrame = [&]() -> std::optional<CShownFrame> {
        const std::vector<CShownFrame> frames = tap.Frames();
        for (std::size_t i = before; i < frames.size(); ++i) {
            if (frames[i].wall >= returned) {
                return frames[i];
            }
        }
        return std::nullopt;
    };
    ASSERT_TRUE(PumpUntil([&] { return nextFrame().has_value(); }, std::chrono::seconds(5)));
    const CShownFrame frame = *nextFrame();
    const auto latency = frame.wall - requested;
    std::printf("seek to %.0f s: first frame after %lld ms, sample start %.3f s after the seek\n",
                kTarget,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(latency).count()),
                static_cast<double>(frame.sampleStart) / UNITS);
    EXPECT_LE(latency, kMaxLatency);
    // Stream time restarts at the seek: the frame's media time is the target plus its start.
    EXPECT_LE(std::llabs(frame.sampleStart), kMaxDistance);
    const double position = engine.GetPosition();
    EXPECT_GE(position, kTarget - 1.0);
    EXPECT_LE(position, kTarget + 1.0);
}

} // namespace
