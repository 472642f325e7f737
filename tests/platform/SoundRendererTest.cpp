#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <thread>

#include "platform/graph/SoundRenderer.h"
#include "support/RenderTestSupport.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * 2;

// 16-bit values from `value(i)` for `frames` stereo frames.
template <class F> std::vector<std::uint8_t> Pcm(int frames, F value) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * kFrameBytes);
    for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        const auto v = static_cast<std::int16_t>(value(i));
        std::memcpy(&bytes[i * 2], &v, 2);
    }
    return bytes;
}

std::vector<std::int16_t> Values(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> values(bytes.size() / 2);
    std::memcpy(values.data(), bytes.data(), values.size() * 2);
    return values;
}

// A connected renderer on the null output (10 ms pulls) recording what reaches the device.
struct SoundRig {
    CEventRecorder events;
    CSoundRenderer renderer{[] { return CreateNullSoundOutput(kRate / 100); }};
    CTestSamples samples{kRate * kFrameBytes * 2};
    std::mutex lock;
    std::vector<std::uint8_t> played; // guarded by lock

    SoundRig() {
        renderer.SetEventSink(&events);
        EXPECT_EQ(renderer.ReceiveConnection(nullptr, PcmType(kRate, kChannels)), S_OK);
        renderer.SetChunkHook([this](REFERENCE_TIME, const std::uint8_t* pcm, std::size_t n) {
            std::lock_guard guard(lock);
            played.insert(played.end(), pcm, pcm + n);
        });
    }
    ~SoundRig() { renderer.Stop(); }

    void Start() {
        ASSERT_EQ(renderer.Pause(), S_OK);
        ASSERT_EQ(renderer.Run(renderer.Clock()->GetTime()), S_OK);
    }
    HRESULT Deliver(const std::vector<std::uint8_t>& bytes) {
        CSamplePtr sample = samples.Make(bytes);
        return sample ? renderer.Receive(*sample) : E_FAIL;
    }
    std::vector<std::uint8_t> Played() {
        std::lock_guard guard(lock);
        return played;
    }
};

TEST(SoundRenderer, AcceptsOnlySixteenBitMonoOrStereoPcm) {
    CSoundRenderer renderer{[] { return CreateNullSoundOutput(); }};
    EXPECT_EQ(renderer.QueryAccept(PcmType(44100, 1)), S_OK);
    EXPECT_EQ(renderer.QueryAccept(PcmType(8000, 2)), S_OK);
    EXPECT_EQ(renderer.QueryAccept(PcmType(44100, 2, 8)), S_FALSE);
    EXPECT_EQ(renderer.QueryAccept(PcmType(44100, 3)), S_FALSE);
    EXPECT_EQ(renderer.QueryAccept(PcmType(0, 2)), S_FALSE);

    CMediaType badAlign = PcmType(48000, 2);
    badAlign.format[12] = 2; // block align of a mono stream on a stereo one
    EXPECT_EQ(renderer.QueryAccept(badAlign), S_FALSE);
    CMediaType shortBlock = PcmType(48000, 2);
    shortBlock.format.resize(10);
    EXPECT_EQ(renderer.QueryAccept(shortBlock), S_FALSE);
    CMediaType video = PcmType(48000, 2);
    video.majorType = EMajorType::Video;
    EXPECT_EQ(renderer.QueryAccept(video), S_FALSE);
    EXPECT_EQ(renderer.ReceiveConnection(nullptr, video), E_FAIL);

    // One connection at a time.
    EXPECT_EQ(renderer.ReceiveConnection(nullptr, PcmType(48000, 2)), S_OK);
    EXPECT_EQ(renderer.ReceiveConnection(nullptr, PcmType(48000, 2)), E_UNEXPECTED);
    EXPECT_EQ(renderer.Disconnect(), S_OK);
}

TEST(SoundRenderer, PlaysEveryWholeFrameOnceThenCompletesOnce) {
    SoundRig rig;
    rig.Start();
    const auto first = Pcm(4800, [](std::size_t i) { return static_cast<int>(i % 30000); });
    const auto second = Pcm(9600, [](std::size_t i) { return -static_cast<int>(i % 20000); });
    auto third = Pcm(2400, [](std::size_t i) { return static_cast<int>(i * 7 % 32000); });
    const auto steadyStart = std::chrono::steady_clock::now();
    ASSERT_EQ(rig.Deliver(first), S_OK);
    ASSERT_EQ(rig.Deliver(second), S_OK);
    // A trailing partial frame must not shift the channels of what follows: it is dropped.
    third.push_back(0x55);
    ASSERT_EQ(rig.Deliver(third), S_OK);
    third.pop_back();
    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    EXPECT_EQ(rig.Deliver(first), VFW_E_SAMPLE_REJECTED_EOS);

    ASSERT_TRUE(rig.events.WaitFor(EC_COMPLETE));
    // 0.35 s of sound at real time: completion cannot come before it has been played.
    EXPECT_GE(std::chrono::steady_clock::now() - steadyStart, 300ms);
    std::vector<std::uint8_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    expected.insert(expected.end(), third.begin(), third.end());
    EXPECT_TRUE(rig.Played() == expected)
        << "played " << rig.Played().size() << " bytes of " << expected.size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rig.events.CountOf(EC_COMPLETE), 1u);
}

TEST(SoundRendererTimed, ClockRunsAtRealTimeWhilePlayingAndStandsStillWhilePaused) {
    SoundRig rig;
    rig.Start();
    const REFERENCE_TIME start = rig.renderer.Clock()->GetTime();
    auto feeder = std::async(std::launch::async, [&] {
        const auto second = Pcm(kRate, [](std::size_t i) { return static_cast<int>(i % 1000); });
        for (int i = 0; i < 4; ++i) {
            if (rig.Deliver(second) != S_OK) {
                return;
            }
        }
    });
    IReferenceClock* clock = rig.renderer.Clock();
    std::this_thread::sleep_for(100ms);
    const REFERENCE_TIME c1 = clock->GetTime();
    const auto s1 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(500ms);
    const REFERENCE_TIME c2 = clock->GetTime();
    const auto s2 = std::chrono::steady_clock::now();
    const double wall = std::chrono::duration<double>(s2 - s1).count();
    const double ticked = static_cast<double>(c2 - c1) / UNITS;
    EXPECT_NEAR(ticked, wall, wall * 0.1);
    // The clock follows the sound: what was heard since the start, within a pull or two.
    const double heard = static_cast<double>(rig.Played().size()) / (kRate * kFrameBytes);
    EXPECT_NEAR(static_cast<double>(c2 - start) / UNITS, heard, 0.05);

    ASSERT_EQ(rig.renderer.Pause(), S_OK);
    const REFERENCE_TIME paused = clock->GetTime();
    const std::size_t playedAtPause = rig.Played().size();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(clock->GetTime(), paused);
    EXPECT_EQ(rig.Played().size(), playedAtPause);

    ASSERT_EQ(rig.renderer.Run(start), S_OK);
    std::this_thread::sleep_for(200ms);
    EXPECT_GT(clock->GetTime(), paused + UNITS / 10);
    rig.renderer.Stop();
    EXPECT_EQ(feeder.wait_for(2s), std::future_status::ready);
}

TEST(SoundRenderer, VolumeIsAGainInHundredthsOfADecibel) {
    SoundRig rig;
    EXPECT_EQ(rig.renderer.put_Volume(1), E_INVALIDARG);
    EXPECT_EQ(rig.renderer.put_Volume(-10001), E_INVALIDARG);
    ASSERT_EQ(rig.renderer.put_Volume(-903), S_OK);
    long volume = 0;
    ASSERT_EQ(rig.renderer.get_Volume(&volume), S_OK);
    EXPECT_EQ(volume, -903);

    rig.Start();
    ASSERT_EQ(rig.Deliver(Pcm(2400, [](std::size_t i) { return i % 2 ? 10000 : -20000; })), S_OK);
    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    ASSERT_TRUE(rig.events.WaitFor(EC_COMPLETE));
    const auto values = Values(rig.Played());
    ASSERT_EQ(values.size(), 4800u);
    for (std::size_t i = 0; i < values.size(); i += 997) {
        const double ratio = values[i] / (i % 2 ? 10000.0 : -20000.0);
        EXPECT_NEAR(ratio, 0.354, 0.001) << "at " << i;
    }

    // -10000 is silence, not a very small gain.
    rig.renderer.Stop();
    {
        std::lock_guard guard(rig.lock);
        rig.played.clear();
    }
    ASSERT_EQ(rig.renderer.put_Volume(-10000), S_OK);
    rig.Start();
    ASSERT_EQ(rig.Deliver(Pcm(2400, [](std::size_t) { return 32767; })), S_OK);
    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    ASSERT_TRUE(rig.events.WaitFor(EC_COMPLETE, 2));
    const auto silent = Values(rig.Played());
    ASSERT_EQ(silent.size(), 4800u);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](std::int16_t v) { return v == 0; }));
}

TEST(SoundRendererTimed, FlushAndStopEndAReceiveBlockedOnAFullQueue) {
    SoundRig rig;
    ASSERT_EQ(rig.renderer.Pause(), S_OK); // paused: the device takes nothing
    const auto twoSeconds = Pcm(kRate * 2, [](std::size_t i) { return static_cast<int>(i); });

    auto blocked = std::async(std::launch::async, [&] { return rig.Deliver(twoSeconds); });
    ASSERT_EQ(blocked.wait_for(300ms), std::future_status::timeout);
    const auto flushed = std::chrono::steady_clock::now();
    rig.renderer.BeginFlush();
    ASSERT_EQ(blocked.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - flushed, 200ms);
    // An end of stream during the flush is forgotten: no completion after the run.
    EXPECT_EQ(rig.renderer.EndOfStream(), S_OK);
    rig.renderer.EndFlush();

    blocked = std::async(std::launch::async, [&] { return rig.Deliver(twoSeconds); });
    ASSERT_EQ(blocked.wait_for(300ms), std::future_status::timeout);
    rig.renderer.Stop();
    ASSERT_EQ(blocked.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), E_UNEXPECTED);
    EXPECT_EQ(rig.Deliver(twoSeconds), E_UNEXPECTED);

    rig.Start();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(rig.events.CountOf(EC_COMPLETE), 0u);
    EXPECT_TRUE(rig.Played().empty());
}

} // namespace
