#include <gtest/gtest.h>

#include "platform/graph/SoundClock.h"

namespace {

constexpr int kRate = 48000;
constexpr REFERENCE_TIME kMs = UNITS / 1000;

// A sound clock on a hand-moved steady time.
struct ClockOnFakeTime {
    REFERENCE_TIME now = 1000 * UNITS;
    CSoundClock clock{[this] { return now; }};

    // One pull of `frames` frames of sound, `frames` of wall time after the previous one.
    void PullSound(int frames) {
        clock.OnPulled(frames, frames);
        now += static_cast<REFERENCE_TIME>(frames) * UNITS / kRate;
    }
};

TEST(SoundClock, RunsOnSteadyTimeWithoutSoundAndStandsStillWhilePaused) {
    ClockOnFakeTime t;
    const REFERENCE_TIME first = t.clock.GetTime();
    t.now += 250 * kMs;
    EXPECT_EQ(t.clock.GetTime(), first + 250 * kMs);

    t.clock.SetState(CSoundClock::EMode::Paused);
    t.now += 900 * kMs;
    EXPECT_EQ(t.clock.GetTime(), first + 250 * kMs);

    // Running with nothing pulled yet: the steady clock again, from where it stood.
    t.clock.SetFormat(kRate, 0);
    t.clock.SetState(CSoundClock::EMode::Running, first);
    t.now += 40 * kMs;
    EXPECT_EQ(t.clock.GetTime(), first + 290 * kMs);
}

TEST(SoundClock, FollowsPlayedFramesMinusLatencyFromTheRunStart) {
    ClockOnFakeTime t;
    t.clock.SetFormat(kRate, 960); // 20 ms in the device
    const REFERENCE_TIME start = t.clock.GetTime() + 10 * kMs;
    t.clock.SetState(CSoundClock::EMode::Running, start);
    for (int i = 0; i < 50; ++i) {
        t.PullSound(960);
    }
    // 50 pulls of 20 ms, the last one fully heard, minus the 20 ms latency: 980 ms heard.
    EXPECT_EQ(t.clock.GetTime(), start + 980 * kMs);
    // Between pulls it moves on at the device's pace, but not beyond the last pull.
    t.now += 5 * kMs;
    EXPECT_EQ(t.clock.GetTime(), start + 980 * kMs);
    t.clock.OnPulled(960, 960);
    t.now += 5 * kMs;
    EXPECT_EQ(t.clock.GetTime(), start + 985 * kMs);
    t.now += 50 * kMs;
    EXPECT_EQ(t.clock.GetTime(), start + 1000 * kMs);
    // The frame mapping used for the hook agrees.
    EXPECT_EQ(t.clock.TimeOfFrame(kRate), start + UNITS);
}

TEST(SoundClock, NeverGoesBackwardsWhenSoundLagsOrStarves) {
    ClockOnFakeTime t;
    t.clock.SetFormat(kRate, 0);
    const REFERENCE_TIME start = t.clock.GetTime();
    t.clock.SetState(CSoundClock::EMode::Running, start);
    // The device starved for 100 ms: the clock ran on steady time.
    t.clock.OnPulled(0, 960);
    t.now += 100 * kMs;
    EXPECT_EQ(t.clock.GetTime(), start + 100 * kMs);
    // Sound arrives: its frames say 20 ms, 40 ms...; the clock holds at 100 ms until the sound
    // catches up, then follows it.
    REFERENCE_TIME last = t.clock.GetTime();
    for (int i = 0; i < 8; ++i) {
        t.PullSound(960);
        const REFERENCE_TIME now = t.clock.GetTime();
        EXPECT_GE(now, last);
        last = now;
    }
    EXPECT_EQ(last, start + 160 * kMs);
    // Starving again continues on steady time from there.
    t.clock.OnPulled(0, 960);
    t.now += 30 * kMs;
    EXPECT_EQ(t.clock.GetTime(), start + 190 * kMs);
}

// Pulls at the device's pace never jump the clock; a pull sooner than the last one's length jumps
// it by the rest of that length, and the listener hears of jumps beyond 2 ms only.
TEST(SoundClock, TellsTheListenerOfJumpsAheadOnly) {
    ClockOnFakeTime t;
    t.clock.SetFormat(kRate, 0);
    t.clock.SetState(CSoundClock::EMode::Running, t.clock.GetTime());
    int told = 0;
    t.clock.SetJumpListener([&] { ++told; });
    struct Pull {
        REFERENCE_TIME after; // steady time since the previous pull of 20 ms
        std::int64_t data;
        bool jumps;
    };
    const Pull pulls[] = {
        {0, 960, false},         // the first sound, not heard yet
        {20 * kMs, 960, false},  // at the device's pace
        {25 * kMs, 960, false},  // late: the clock stood still, and goes on from there
        {17 * kMs, 960, true},   // 3 ms early
        {19 * kMs, 960, false},  // 1 ms early: not told
        {5 * kMs, 0, false},     // starved: the clock runs on steady time
        {100 * kMs, 960, false}, // sound again, behind the clock: it holds
    };
    for (const Pull& pull : pulls) {
        t.now += pull.after;
        const bool jumped = t.clock.OnPulled(pull.data, 960);
        EXPECT_EQ(jumped, pull.jumps) << "pull after " << pull.after / kMs << " ms";
        if (jumped) {
            t.clock.TellJump();
        }
    }
    EXPECT_EQ(told, 1);
    int replaced = 0;
    t.clock.SetJumpListener([&] { ++replaced; });
    t.clock.TellJump();
    t.clock.SetJumpListener(nullptr);
    t.clock.TellJump();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(replaced, 1);
}

TEST(SoundClock, AFlushRestartsTheStreamAndARunStartMovesIt) {
    ClockOnFakeTime t;
    t.clock.SetFormat(kRate, 0);
    const REFERENCE_TIME start = t.clock.GetTime();
    t.clock.SetState(CSoundClock::EMode::Running, start);
    for (int i = 0; i < 10; ++i) {
        t.PullSound(960);
    }
    EXPECT_EQ(t.clock.GetTime(), start + 200 * kMs);
    t.clock.SetState(CSoundClock::EMode::Paused);
    t.clock.ResetStream();
    t.now += 500 * kMs;
    EXPECT_EQ(t.clock.GetTime(), start + 200 * kMs);
    // A seek's new run: stream time 0 is now; frames count from 0 again.
    const REFERENCE_TIME restart = start + 200 * kMs;
    t.clock.SetState(CSoundClock::EMode::Running, restart);
    for (int i = 0; i < 5; ++i) {
        t.PullSound(960);
    }
    EXPECT_EQ(t.clock.GetTime(), restart + 100 * kMs);
    EXPECT_EQ(t.clock.TimeOfFrame(0), restart);
}

} // namespace
