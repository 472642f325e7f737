// Music files with embedded cover art play as audio: the picture is no video stream, the load
// reads only the start of the file, and a seek is as quick as on the same audio without art.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "MediaFixture.h"
#include "media/VeltoSource.h"
#include "support/EngineHarness.h"

namespace {

using Clock = std::chrono::steady_clock;

// A seek waits for the renderers' first data; one that waits for a picture that never comes
// takes the graph's whole preroll limit (a second).
constexpr auto kMaxSeekLatency = std::chrono::milliseconds(300);
// The load reads until the first audio packet; the clips hold hundreds.
constexpr int kMaxPacketsQueuedAtLoad = 20;
constexpr double kSeekTargets[] = {12.0, 4.0, 15.0, 8.0};

struct CMusic {
    const char* name;
    const char* codec;
    bool art;
};

std::string MakeMusic(const CMusic& music) {
    std::vector<std::string> recipe{"-f", "lavfi", "-i", "sine=f=440:d=20:sample_rate=44100"};
    if (music.art) {
        const std::string cover =
            MakeMedia("cover_art_200x200.png",
                      {"-f", "lavfi", "-i", "testsrc2=s=200x200:d=1", "-frames:v", "1"});
        recipe.insert(recipe.end(), {"-i", cover, "-map", "0", "-map", "1", "-c:v", "png",
                                     "-disposition:v", "attached_pic"});
    }
    recipe.insert(recipe.end(), {"-c:a", music.codec});
    return MakeMedia(music.name, recipe);
}

TEST(EngineCoverArtTimed, PlaysAsAudioLoadsLittleAndSeeksAsFastAsWithoutArt) {
    const CMusic files[] = {
        {"music_20s_art.mp3", "libmp3lame", true},
        {"music_20s_plain.mp3", "libmp3lame", false},
        {"music_20s_art.flac", "flac", true},
        {"music_20s_plain.flac", "flac", false},
    };
    for (const CMusic& music : files) {
        SCOPED_TRACE(music.name);
        CPlayerHost host;
        CEngineDS& engine = host.controller.GetEngine();
        ASSERT_EQ(host.Load(MakeMusic(music)), 1);
        CVeltoSource* source = engine.GetSource();
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->VideoPin(), nullptr);
        EXPECT_EQ(host.item.noVideo, 1);
        ASSERT_NE(source->AudioQueue(), nullptr);
        const int queuedAtLoad = source->AudioQueue()->Count();
        EXPECT_LE(queuedAtLoad, kMaxPacketsQueuedAtLoad);

        host.controller.PlayPause();
        ASSERT_TRUE(PumpUntil([&] { return engine.GetPosition() > 0.5; }));
        Clock::duration slowest{};
        std::string latencies;
        for (double target : kSeekTargets) {
            const auto requested = Clock::now();
            host.controller.SetPosition(target);
            const auto latency = Clock::now() - requested;
            slowest = std::max(slowest, latency);
            latencies +=
                " " + std::to_string(
                          std::chrono::duration_cast<std::chrono::milliseconds>(latency).count());
            PumpFor(std::chrono::milliseconds(100));
        }
        const double position = engine.GetPosition();
        std::printf("%-20s packets queued at load %4d, seeks took%s ms\n", music.name, queuedAtLoad,
                    latencies.c_str());
        EXPECT_LE(slowest, kMaxSeekLatency);
        EXPECT_NEAR(position, kSeekTargets[std::size(kSeekTargets) - 1], 1.0);
    }
}

} // namespace
