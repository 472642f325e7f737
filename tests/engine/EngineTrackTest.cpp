// Track switching through the real engine while it plays: the sound keeps the format the audio
// renderer is connected with, its pitch and its speed when the new track has another rate and
// channel count; repeated switches neither hang nor stop playback; a track that fails to open,
// or one that ends early, leaves every queue bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "MediaFixture.h"
#include "media/PacketQueue.h"
#include "media/VeltoAudioStream.h"
#include "media/VeltoSource.h"
#include "platform/graph/SoundRenderer.h"
#include "support/EngineHarness.h"

namespace {

using namespace std::chrono_literals;

constexpr double kClipSeconds = 5.0;
constexpr int kConnectedRate = 48000; // the first audio track's: 48 kHz stereo, 440 Hz
constexpr int kConnectedChannels = 2;
constexpr double kFirstTone = 440.0;
constexpr double kSecondTone = 1000.0; // the second audio track's: 22.05 kHz mono
// Stream indexes in the clip: video, the two audio tracks, two subtitle tracks.
constexpr int kVideoStream = 0;
constexpr int kFirstAudio = 1;
constexpr int kSecondAudio = 2;
constexpr int kFirstSubtitle = 3;
constexpr int kSecondSubtitle = 4;
// The worker stops reading once the video queue holds more than 10 records (its full mark).
constexpr int kVideoQueueBound = 11;
// No queue holds more than this, whatever the other tracks do.
constexpr int kQueueLimit = 500;
constexpr auto kOperationLimit = 2s;

std::string ClipWithTracksOfTwoFormats() {
    const std::string srt =
        WriteFixtureFile("tracks_cue_500ms_4s.srt", "1\n00:00:00,500 --> 00:00:04,000\nTrack\n\n");
    // clang-format off
    return MakeMedia("tracks_160x120_5s_g25_aac48k2ch440_aac22k1ch1000_srt_srt.mkv", {
        "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=5",
        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=5",
        "-f", "lavfi", "-i", "sine=frequency=1000:sample_rate=22050:duration=5",
        "-i", srt,
        "-map", "0:v", "-map", "1:a", "-map", "2:a", "-map", "3:s", "-map", "3:s",
        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "25",
        "-c:a", "aac", "-ac:a:0", "2", "-ac:a:1", "1", "-c:s", "srt"});
    // clang-format on
}

// 30 s of 25 fps video (750 packets) with sound for its first second only.
std::string ClipWhoseSoundEndsEarly() {
    return MakeMedia("tracks_160x120_30s_aac_1s.mkv",
                     {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=30", "-f",
                      "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=1", "-c:v",
                      "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac"});
}

// The left channel of everything the sound renderer hands to the device, in order.
class CHeardSound {
public:
    bool Attach(CEngineDS& engine) {
        std::vector<std::shared_ptr<IBaseFilter>> filters;
        if (!engine.Graph() || FAILED(engine.Graph()->EnumFilters(&filters))) {
            return false;
        }
        for (const auto& filter : filters) {
            if (auto renderer = QueryInterface<CSoundRenderer>(filter)) {
                renderer->SetChunkHook(
                    [this](REFERENCE_TIME, const std::uint8_t* pcm, std::size_t bytes) {
                        std::lock_guard lock(m_lock);
                        const std::size_t frameBytes = kConnectedChannels * sizeof(std::int16_t);
                        for (std::size_t at = 0; at + frameBytes <= bytes; at += frameBytes) {
                            std::int16_t left = 0;
                            std::memcpy(&left, pcm + at, sizeof(left));
                            m_left.push_back(left);
                        }
                    });
                return true;
            }
        }
        return false;
    }
    std::size_t Frames() {
        std::lock_guard lock(m_lock);
        return m_left.size();
    }
    // The tone's frequency from its sign changes, over frames [from, to).
    double ToneBetween(std::size_t from, std::size_t to) {
        std::lock_guard lock(m_lock);
        to = std::min(to, m_left.size());
        if (to <= from + 1) {
            return 0.0;
        }
        int changes = 0;
        for (std::size_t i = from + 1; i < to; ++i) {
            changes += (m_left[i - 1] < 0) != (m_left[i] < 0);
        }
        return changes / 2.0 / (static_cast<double>(to - from) / kConnectedRate);
    }

private:
    std::mutex m_lock;
    std::vector<std::int16_t> m_left; // guarded by m_lock
};

REFERENCE_TIME CurrentPosition(CEngineDS& engine) {
    REFERENCE_TIME position = 0;
    if (auto seeking = QueryInterface<IMediaSeeking>(engine.Graph())) {
        seeking->GetCurrentPosition(&position);
    }
    return position;
}

void ExpectConnectedFormat(CEngineDS& engine) {
    CWaveFormatEx wave;
    ASSERT_TRUE(engine.GetSource()->AudioPin()->ConnectionMediaType().GetFormat(wave));
    EXPECT_EQ(wave.samplesPerSec, static_cast<std::uint32_t>(kConnectedRate));
    EXPECT_EQ(wave.channels, kConnectedChannels);
}

// The two-track clip loaded, its engine events recorded and its sound heard.
class EngineTrackTimed : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(host.Load(ClipWithTracksOfTwoFormats()), 1);
        log.Watch(engine, EngineEventNames());
        ASSERT_TRUE(heard.Attach(engine));
    }

    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    CEventLog log;
    CHeardSound heard;
};

TEST_F(EngineTrackTimed, SwitchToATrackOfAnotherRateAndChannelCountKeepsPitchAndSpeed) {
    ExpectConnectedFormat(engine);

    ASSERT_TRUE(SUCCEEDED(engine.Play()));
    // Past the first key frame, so that the switch does not restart the clip.
    ASSERT_TRUE(PumpUntil([&] { return heard.Frames() >= kConnectedRate * 3 / 2; }));
    const std::size_t beforeSwitch = heard.Frames();
    ASSERT_TRUE(engine.SelectAudioStream(kSecondAudio));
    // The seek inside the switch emptied the renderer: what it hears from now on is the new
    // track, from its first packet after the seek (the seek lands on the key frame before the
    // position).
    const std::size_t afterSwitch = heard.Frames();
    const REFERENCE_TIME switchedAt = engine.GetSource()->AudioStart();
    std::vector<int> tracks;
    int current = -1;
    ASSERT_TRUE(engine.GetAudioStreams(tracks, current));
    EXPECT_EQ(current, kSecondAudio);
    ASSERT_TRUE(PumpUntil([&] { return log.Count(L"Completed") > 0; }, 15s));
    ExpectConnectedFormat(engine);

    const std::size_t tenth = kConnectedRate / 10;
    EXPECT_NEAR(heard.ToneBetween(tenth * 2, beforeSwitch), kFirstTone, kFirstTone * 0.03);
    const double tone = heard.ToneBetween(afterSwitch + tenth, heard.Frames() - tenth);
    EXPECT_NEAR(tone, kSecondTone, kSecondTone * 0.03) << "the new track's pitch";
    // Sound frames at the connected rate against the media time they cover: the rest of the
    // track from its first packet after the switch.
    const double heardSeconds = static_cast<double>(heard.Frames() - afterSwitch) / kConnectedRate;
    const double mediaSeconds = kClipSeconds - static_cast<double>(switchedAt) / UNITS;
    EXPECT_NEAR(heardSeconds / mediaSeconds, 1.0, 0.05)
        << heardSeconds << " s heard for " << mediaSeconds << " s of the track";
    std::printf("switch at %.2f s: %.1f Hz after it, %.3f s heard per media second\n",
                static_cast<double>(switchedAt) / UNITS, tone, heardSeconds / mediaSeconds);
    host.controller.Shutdown();
}

TEST_F(EngineTrackTimed,
       RepeatedSwitchesWhilePlayingAndAFailedOneLeavePlaybackGoingAndQueuesBounded) {
    ASSERT_TRUE(SUCCEEDED(engine.Play()));
    PumpFor(300ms);

    std::chrono::steady_clock::duration longest{};
    const auto timed = [&](const char* what, int round, const std::function<bool()>& run) {
        const auto start = std::chrono::steady_clock::now();
        const bool result = run();
        const auto took = std::chrono::steady_clock::now() - start;
        longest = std::max(longest, took);
        EXPECT_LT(took, kOperationLimit)
            << what << " in round " << round << " took "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        return result;
    };
    for (int round = 0; round < 12; ++round) {
        const int audio = round % 2 == 0 ? kSecondAudio : kFirstAudio;
        EXPECT_TRUE(timed("audio switch", round, [&] { return engine.SelectAudioStream(audio); }));
        PumpFor(std::chrono::milliseconds(10 + 7 * round % 40));
        if (round % 3 == 2) {
            timed("subtitle off", round, [&] {
                engine.DisableInternalSubtitle();
                return true;
            });
        } else {
            const int subtitle = round % 3 == 0 ? kSecondSubtitle : kFirstSubtitle;
            EXPECT_TRUE(timed("subtitle switch", round,
                              [&] { return engine.SelectSubtitleStream(subtitle); }));
        }
        PumpFor(std::chrono::milliseconds(10 + 13 * round % 50));
    }
    std::printf("longest of 24 switches while playing: %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()));
    EXPECT_EQ(engine.StateName(), L"Playing");
    EXPECT_EQ(log.Count(L"Completed"), 0) << "the switches must leave time to play on";

    // A video stream asked for as audio: its decoder does not open and the clip has no sound
    // stream left, so the audio queue stays empty.
    EXPECT_FALSE(engine.SelectAudioStream(kVideoStream));
    const REFERENCE_TIME failedAt = CurrentPosition(engine);
    CPacketQueueVideo* videoQueue = engine.GetSource()->VideoQueue();
    int largest = 0;
    PumpUntil(
        [&] {
            largest = std::max(largest, videoQueue->Count());
            return false;
        },
        800ms);
    EXPECT_LE(largest, kVideoQueueBound) << "the video queue while the audio queue stays empty";
    std::printf("video queue after the failed switch: at most %d records\n", largest);
    EXPECT_GT(CurrentPosition(engine), failedAt + UNITS / 2) << "playback goes on without sound";

    // The clip's own track comes back, and with it the sound.
    const std::size_t silentUntil = heard.Frames();
    EXPECT_TRUE(engine.SelectAudioStream(kFirstAudio));
    EXPECT_TRUE(PumpUntil([&] { return heard.Frames() > silentUntil + kConnectedRate / 4; }, 3s));
    EXPECT_TRUE(PumpUntil([&] { return log.Count(L"Completed") > 0; }, 10s));
    host.controller.Shutdown();
}

TEST(EngineTrackPausedTimed, QueuesStayBoundedWhileASoundTrackThatEndedEarlyHoldsThePausedClip) {
    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    ASSERT_EQ(host.Load(ClipWhoseSoundEndsEarly()), 1);
    ASSERT_TRUE(SUCCEEDED(engine.Pause()));
    // Paused, the video pin holds its first frame while the audio pin waits for sound that
    // only the end of the file would close: nothing consumes, the worker reads on.
    CPacketQueueVideo* videoQueue = engine.GetSource()->VideoQueue();
    int largest = 0;
    int last = -1;
    PumpUntil(
        [&] {
            const int count = videoQueue->Count();
            largest = std::max(largest, count);
            const bool settled = count == last && count > 0;
            last = count;
            return settled && videoQueue->LastIsEnd();
        },
        2500ms);
    EXPECT_LE(largest, kQueueLimit + 1);
    std::printf("paused clip whose sound ended: video queue at most %d records\n", largest);
    EXPECT_FALSE(videoQueue->LastIsEnd()) << "the worker read the whole file";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(SUCCEEDED(engine.Stop()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kOperationLimit);
    host.controller.Shutdown();
}

} // namespace
