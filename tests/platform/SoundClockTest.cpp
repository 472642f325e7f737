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
