#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "MediaFixture.h"
#include "core/WideText.h"
#include "support/DvdSubtitleTrack.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

namespace {
constexpr int kWidth = 160, kHeight = 120;
const char* const kCue = "1\r\n00:00:01,000 --> 00:00:02,000\r\nHELLO SUBTITLE\r\n\r\n";

std::vector<std::string> BlackClipArgs() {
    return {"-f", "lavfi", "-i", "color=c=black:s=160x120:r=25:d=3", "-c:v", "mpeg4", "-q:v", "2"};
}

// Plays the file and checks that text shows exactly in the frames inside the cue.
void ExpectCueDrawn(CSourceGraph& graph) {
    graph.source.FoundSubtitle().wait();
    graph.video.keepData = [](std::size_t, const CMediaSample&) { return true; };
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();
    ExpectTextOnlyDuring(graph.video.samples, kWidth, kHeight, 1.0, 2.0);
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
    EXPECT_TRUE(graph.source.FoundSubtitle().get());
    std::vector<std::wstring> found;
    std::wstring current;
    graph.source.Subtitles()->ListSubtitles(Utf8ToWide(media), found, current);
    EXPECT_FALSE(current.empty()) << "the subtitle next to the file was loaded";

    ExpectCueDrawn(graph);
    graph.source.Subtitles()->ListSubtitles(Utf8ToWide(media), found, current);
    EXPECT_TRUE(current.empty()) << "stop drops the external subtitle";
}

// Cues count from the file's start: on files whose stamps start near 1000 s an SRT timed from 0
// (next to the file or inside it) shows during its cue in file time.
TEST(SourceSubtitle, CuesCountFromTheStartOfFilesThatStartLate) {
    CWatchdog watchdog(120s);
    const std::string srt = WriteFixtureFile("source_cue_1s_2s_late_track.srt", kCue);
    struct CCase {
        const char* name;
        const char* subtitleCodec; // the file's own track; none: the SRT lies next to the file
    };
    const CCase cases[] = {{"source_black_160x120_r25_3s_mpeg4_from_1001s.ts", nullptr},
                           {"source_black_160x120_r25_3s_mpeg4_srt_track_from_1000s.mkv", "srt"},
                           {"source_black_160x120_r25_3s_mpeg4_ass_track_from_1000s.mkv", "ass"}};
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"-f", "lavfi", "-i", "color=c=black:s=160x120:r=25:d=3"};
        if (c.subtitleCodec != nullptr) {
            args.insert(args.end(), {"-i", srt, "-map", "0", "-map", "1", "-c:s", c.subtitleCodec});
        }
        args.insert(args.end(), {"-c:v", "mpeg4", "-q:v", "2", "-output_ts_offset", "1000"});
        const std::string media = MakeMedia(c.name, args);
        if (c.subtitleCodec == nullptr) {
            WriteFixtureFile(std::filesystem::path(media).stem().string() + ".srt", kCue);
        }
        CSourceGraph graph(media);
        ASSERT_EQ(graph.loadResult, S_OK);
        ASSERT_GE(graph.source.Media().FormatContext()->start_time, 1000 * AV_TIME_BASE);
        EXPECT_EQ(graph.source.SubtitleQueue() != nullptr, c.subtitleCodec != nullptr);
        ExpectCueDrawn(graph);
    }
}

// The bitmap is drawn over frames of the video's size and, scaled, over those of a connection
// at half that size, which are written at that size and no larger.
TEST(SourceSubtitle, DvdBitmapTrackIsDrawnInItsPaletteColoursAndStays) {
    CWatchdog watchdog(120s);
    // A red box with a green box inside, and a blue one inside that, from 1 s to 2 s.
    CDvdBitmapCue cue;
    cue.x = 40;
    cue.y = 30;
    cue.w = 64;
    cue.h = 40;
    cue.boxes = {{0, 0, 64, 40, 0xFF0000}, {16, 10, 32, 20, 0x00FF00}, {28, 16, 8, 8, 0x0000FF}};
    cue.startMs = 1000;
    cue.durationMs = 1000;
    const std::string track = MakeDvdSubtitleTrack(
        "source_dvdsub_at_40_30_64x40_rgb_boxes_1s_1s.mkv", cue, kWidth, kHeight);
    ASSERT_FALSE(track.empty());
    const std::string media =
        MakeMedia("source_black_160x120_r25_3s_mpeg4_dvdsub_rgb_boxes.mkv",
                  {"-f", "lavfi", "-i", "color=c=black:s=160x120:r=25:d=3", "-i", track, "-map",
                   "0", "-map", "1", "-c:v", "mpeg4", "-q:v", "2", "-c:s", "copy"});
    struct CExpected {
        int x, y, b, g, r;
    };
    // In video pixels: inside each box (B, G, R exactly: the bitmap overwrites the picture) and
    // around the bitmap, where the black picture shows.
    const CExpected drawn[] = {{42, 32, 0, 0, 255},  {101, 67, 0, 0, 255},  {58, 42, 0, 255, 0},
                               {85, 57, 0, 255, 0},  {70, 48, 255, 0, 0},   {75, 53, 255, 0, 0},
                               {39, 50, -1, -1, -1}, {104, 50, -1, -1, -1}, {70, 29, -1, -1, -1},
                               {70, 70, -1, -1, -1}};
    for (const int divisor : {1, 2}) {
        SCOPED_TRACE("1/" + std::to_string(divisor) + " of the video's size");
        const int width = kWidth / divisor;
        CSourceGraph graph(media);
        ASSERT_EQ(graph.loadResult, S_OK);
        ASSERT_NE(graph.source.SubtitleQueue(), nullptr);
        CMediaType half;
        half.majorType = EMajorType::Video;
        half.subType = ESubType::YUY2;
        half.formatType = EFormatType::VideoInfo;
        CVideoInfoHeader info;
        info.bitmap.width = width;
        info.bitmap.height = -kHeight / divisor;
        info.bitmap.bitCount = 16;
        half.SetFormat(info);
        graph.video.keepData = [](std::size_t, const CMediaSample&) { return true; };
        ASSERT_EQ(graph.Connect(divisor == 1 ? nullptr : &half), S_OK);
        ASSERT_EQ(graph.Run(), S_OK);
        ASSERT_TRUE(graph.WaitForEnd());
        graph.Stop();

        const auto& frames = graph.video.samples;
        ASSERT_GE(frames.size(), 70u);
        EXPECT_EQ(frames[0].length, width * (kHeight / divisor) * 3);
        std::size_t firstDrawn = frames.size();
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (PixelAt(frames[i], width, 42 / divisor, 32 / divisor).r == 255) {
                firstDrawn = i;
                break;
            }
        }
        // The decoder takes a subtitle packet as soon as the reader queued it, so the bitmap may
        // show a little before its time, but not with the first picture: the reader runs at most
        // about half a second ahead of the pictures.
        ASSERT_LT(firstDrawn, frames.size()) << "the bitmap was never drawn";
        EXPECT_GT(firstDrawn, 0u);
        EXPECT_LE(frames[firstDrawn].start, UNITS) << "drawn from its start on";
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const bool shown = i >= firstDrawn;
            for (const CExpected& e : drawn) {
                const int x = e.x / divisor, y = e.y / divisor;
                const CPixel p = PixelAt(frames[i], width, x, y);
                if (e.b < 0 || !shown) {
                    EXPECT_TRUE(p.b < 40 && p.g < 40 && p.r < 40)
                        << "frame " << i << " not black at " << x << "," << y << ": " << p.b << " "
                        << p.g << " " << p.r;
                } else {
                    EXPECT_TRUE(p.b == e.b && p.g == e.g && p.r == e.r)
                        << "frame " << i << " at " << x << "," << y << ": " << p.b << " " << p.g
                        << " " << p.r;
                }
            }
        }
    }
}

// After a seek the demuxer reads the cues still showing at the target before the first video
// packet; they are drawn from the first picture after the seek on.
TEST(SourceSubtitle, CueShowingAtTheSeekTargetIsDrawnRightAfterTheSeek) {
    CWatchdog watchdog(120s);
    const std::string srt = WriteFixtureFile(
        "source_hello_9600ms_12s.srt", "1\n00:00:09,600 --> 00:00:12,000\nHELLO SUBTITLE\n\n");
    // The subtitle stream comes first, so its packets lead the video's in the file.
    CSourceGraph graph(
        MakeMedia("source_black_160x120_r25_g25_15s_mpeg4_hello_srt_first.mkv",
                  {"-f", "lavfi", "-i", "color=c=black:s=160x120:r=25:d=15", "-i", srt, "-map", "1",
                   "-map", "0", "-c:v", "mpeg4", "-g", "25", "-q:v", "2", "-c:s", "srt"}));
    ASSERT_EQ(graph.loadResult, S_OK);
    ASSERT_NE(graph.source.SubtitleQueue(), nullptr);
    graph.video.keepData = [](std::size_t, const CMediaSample&) { return true; };
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.video.WaitFor([](CRecordingPin& p) { return p.samples.size() >= 5; }));
    REFERENCE_TIME target = 10 * UNITS;
    ASSERT_EQ(graph.source.PrimaryPin()->SetPositions(&target, SEEKING_ABSOLUTE_POSITIONING,
                                                      nullptr, SEEKING_NO_POSITIONING),
              S_OK);
    ASSERT_NEAR(static_cast<double>(graph.source.VideoStart()), static_cast<double>(target),
                UNITS / 25.0)
        << "a key frame every second";
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();

    // Output time 0 is the target now: the cue runs from -0.4 s to 2 s. The samples placed
    // before 0 stand for the pictures the decoder's threads still hold, and show none.
    const auto& frames = graph.video.samples;
    std::vector<CRecordedSample> afterSeek;
    std::copy_if(frames.begin() + static_cast<std::ptrdiff_t>(graph.video.samplesBeforeFlushEnd),
                 frames.end(), std::back_inserter(afterSeek),
                 [](const CRecordedSample& frame) { return frame.start >= 0; });
    ExpectTextOnlyDuring(afterSeek, kWidth, kHeight, -0.4, 2.0);
}
