#include <cstdlib>

#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

namespace {
constexpr int kWidth = 128, kHeight = 48; // red left half, blue right half
constexpr REFERENCE_TIME kFrame25 = UNITS / 25;

std::string RedBlueClip() {
    return MakeMedia("source_red_blue_128x48_r25_2s_h264_sine_aac.mp4",
                     {"-f",
                      "lavfi",
                      "-i",
                      "color=c=red:s=64x48:r=25:d=2",
                      "-f",
                      "lavfi",
                      "-i",
                      "color=c=blue:s=64x48:r=25:d=2",
                      "-f",
                      "lavfi",
                      "-i",
                      "sine=d=2:sample_rate=48000",
                      "-filter_complex",
                      "[0][1]hstack[v]",
                      "-map",
                      "[v]",
                      "-map",
                      "2",
                      "-ac",
                      "2",
                      "-c:v",
                      "libx264",
                      "-qp",
                      "0",
                      "-pix_fmt",
                      "yuv420p",
                      "-c:a",
                      "aac"});
}

bool Near(int value, int expected) {
    return std::abs(value - expected) <= 2;
}
} // namespace

TEST(SourcePlayback, H264AacFramesKeepTheirColoursAndTimes) {
    CWatchdog watchdog(60s);
    CSourceGraph graph(RedBlueClip());
    ASSERT_EQ(graph.loadResult, S_OK);
    ASSERT_EQ(graph.source.GetPinCount(), 2);
    EXPECT_EQ(graph.source.GetPin(0), static_cast<CSourceStream*>(graph.source.AudioPin()))
        << "audio is pin 0";
    EXPECT_EQ(graph.source.PrimaryPin(), graph.source.AudioPin());
    graph.video.keepData = [](std::size_t index, const CMediaSample&) { return index == 10; };
    ASSERT_EQ(graph.Connect(), S_OK);

    CVideoInfoHeader info;
    ASSERT_TRUE(graph.video.connectedType.GetFormat(info));
    EXPECT_EQ(info.bitmap.width, kWidth);
    EXPECT_EQ(info.bitmap.height, -kHeight) << "top-down rows";
    EXPECT_EQ(info.bitmap.bitCount, 24);
    CWaveFormatEx wave;
    ASSERT_TRUE(graph.audio.connectedType.GetFormat(wave));
    EXPECT_EQ(wave.channels, 2);
    EXPECT_EQ(wave.samplesPerSec, 48000u);
    EXPECT_EQ(wave.blockAlign, 4);

    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();

    const auto& frames = graph.video.samples;
    // Packets the decoder holds back at the start still give samples, and the held pictures
    // come out at the end: as many samples as packets plus the drained pictures.
    ASSERT_GE(frames.size(), 50u);
    EXPECT_TRUE(frames[0].discontinuity);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i].hasTime);
        EXPECT_TRUE(frames[i].syncPoint);
        EXPECT_EQ(frames[i].length, kWidth * kHeight * 3);
        if (i > 0) {
            EXPECT_GT(frames[i].start, frames[i - 1].start) << "frame " << i;
        }
    }
    // The first picture carries the first packet's stamp, which the video queue derives back
    // from the second's by its own frame duration; the spacing holds from the second picture on.
    for (std::size_t i = 4; i + 2 < frames.size(); ++i) {
        EXPECT_NEAR(frames[i].start - frames[i - 1].start, kFrame25, 1) << "frame " << i;
        EXPECT_EQ(frames[i - 1].stop, frames[i].start) << "a frame lasts until the next";
    }
    EXPECT_GE(frames.back().start, 19 * UNITS / 10) << "the last pictures arrive";
    const CRecordedSample& frame = frames[10];
    for (auto [x, y] : {std::pair{5, 5}, std::pair{60, 40}}) {
        CPixel p = PixelAt(frame, kWidth, x, y);
        EXPECT_TRUE(Near(p.r, 255) && Near(p.g, 0) && Near(p.b, 0))
            << "red at " << x << "," << y << ": " << p.b << " " << p.g << " " << p.r;
    }
    for (auto [x, y] : {std::pair{70, 5}, std::pair{120, 40}}) {
        CPixel p = PixelAt(frame, kWidth, x, y);
        EXPECT_TRUE(Near(p.r, 0) && Near(p.g, 0) && Near(p.b, 255))
            << "blue at " << x << "," << y << ": " << p.b << " " << p.g << " " << p.r;
    }

    long bytes = 0;
    for (const auto& sample : graph.audio.samples) {
        EXPECT_FALSE(sample.hasTime) << "audio plays as it arrives";
        bytes += sample.length;
    }
    const long expected = 2 * 48000 * 2 * 2;
    EXPECT_NEAR(bytes, expected, 1024 * 2 * 2) << "two seconds, within one AAC packet";
    EXPECT_TRUE(graph.audio.samples.front().discontinuity);
}
