#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "core/WideText.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

namespace {
constexpr int kWidth = 160, kHeight = 120;
const char* const kCue = "1\r\n00:00:01,000 --> 00:00:02,000\r\nHELLO SUBTITLE\r\n\r\n";

// Bright pixels in a black clip can only be drawn text.
int BrightPixels(const CRecordedSample& frame) {
    int count = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            CPixel p = PixelAt(frame, kWidth, x, y);
            count += p.r > 160 && p.g > 160 && p.b > 160;
        }
    }
    return count;
}

std::vector<std::string> BlackClipArgs() {
    return {"-f", "lavfi", "-i", "color=c=black:s=160x120:r=25:d=3", "-c:v", "mpeg4", "-q:v", "2"};
}

// Plays the file and checks that text shows exactly in the frames inside the cue.
void ExpectCueDrawn(CSourceGraph& graph) {
    graph.video.keepData = [](std::size_t, const CMediaSample&) { return true; };
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();
    int inside = 0, outside = 0;
    for (const auto& frame : graph.video.samples) {
        const double seconds = static_cast<double>(frame.start) / UNITS;
        if (seconds > 1.1 && seconds < 1.9) {
            EXPECT_GT(BrightPixels(frame), 20) << "no text at " << seconds << " s";
            ++inside;
        } else if (seconds < 0.9 || seconds > 2.1) {
            EXPECT_EQ(BrightPixels(frame), 0) << "text at " << seconds << " s";
            ++outside;
        }
    }
    EXPECT_GT(inside, 10);
    EXPECT_GT(outside, 30);
}
} // namespace

TEST(SourceSubtitle, SrtTrackOfTheFileIsDrawnDuringItsCue) {
    CWatchdog watchdog(60s);
    const std::string srt = WriteFixtureFile("source_cue_1s_2s_track.srt", kCue);
    const std::vector<std::string> args = {
        "-f",   "lavfi", "-i",   "color=c=black:s=160x120:r=25:d=3",
        "-i",   srt,     "-map", "0",
        "-map", "1",     "-c:v", "mpeg4",
        "-q:v", "2",     "-c:s", "srt"};
    CSourceGraph graph(MakeMedia("source_black_160x120_r25_3s_mpeg4_srt_track.mkv", args));
    ASSERT_EQ(graph.loadResult, S_OK);
    ASSERT_NE(graph.source.SubtitleQueue(), nullptr);
    ExpectCueDrawn(graph);
}

TEST(SourceSubtitle, ExternalSrtIsFoundDrawnAndDroppedOnStop) {
    CWatchdog watchdog(60s);
    const std::string media =
        MakeMedia("source_black_160x120_r25_3s_mpeg4_external.avi", BlackClipArgs());
    WriteFixtureFile("source_black_160x120_r25_3s_mpeg4_external.srt", kCue);
    CSourceGraph graph(media);
    ASSERT_EQ(graph.loadResult, S_OK);
    EXPECT_EQ(graph.source.SubtitleQueue(), nullptr);
    std::vector<std::wstring> found;
    std::wstring current;
    graph.source.Subtitles()->ListSubtitles(Utf8ToWide(media), found, current);
    EXPECT_FALSE(current.empty()) << "the subtitle next to the file was loaded";

    ExpectCueDrawn(graph);
    graph.source.Subtitles()->ListSubtitles(Utf8ToWide(media), found, current);
    EXPECT_TRUE(current.empty()) << "stop drops the external subtitle";
}
