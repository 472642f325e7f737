#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "core/WideText.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

TEST(SourceEdge, AudioOnlyFileHasOnlyAnUntimedAudioPin) {
    CWatchdog watchdog(60s);
    CSourceGraph graph(MakeMedia(
        "source_sine_stereo_44k_3s.mp3",
        {"-f", "lavfi", "-i", "sine=d=3:sample_rate=44100", "-ac", "2", "-c:a", "libmp3lame"}));
    ASSERT_EQ(graph.loadResult, S_OK);
    EXPECT_EQ(graph.source.GetPinCount(), 1);
    EXPECT_EQ(graph.source.VideoPin(), nullptr);
    EXPECT_EQ(graph.source.VideoQueue(), nullptr);
    EXPECT_EQ(graph.source.PrimaryPin(), graph.source.AudioPin());
    EXPECT_EQ(graph.source.VideoStart(), 0);
    EXPECT_EQ(graph.source.CallWorker(7), E_NOTIMPL) << "unknown worker command";
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();
    long bytes = 0;
    for (const auto& sample : graph.audio.samples) {
        EXPECT_FALSE(sample.hasTime);
        bytes += sample.length;
    }
    EXPECT_NEAR(bytes, 3 * 44100 * 4, 1152 * 4 * 2) << "all of it, the last second included";
}

TEST(SourceEdge, RealMediaAudioIsTimedAndNeverEnds) {
    CWatchdog watchdog(60s);
    CSourceGraph graph(
        MakeMedia("source_testsrc2_64x48_r25_2s_rv10_sine_ac3.rm",
                  {"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=2", "-f", "lavfi", "-i",
                   "sine=d=2:sample_rate=44100", "-c:v", "rv10", "-c:a", "ac3", "-ac", "2"}));
    ASSERT_EQ(graph.loadResult, S_OK);
    ASSERT_NE(graph.source.AudioPin(), nullptr);
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();
    ASSERT_FALSE(graph.audio.samples.empty());
    for (const auto& sample : graph.audio.samples) {
        ASSERT_TRUE(sample.hasTime);
        EXPECT_EQ(sample.stop, 0x7FFFFFFFFFFFFFFF);
    }
    EXPECT_EQ(graph.audio.samples.front().start, 0) << "the first one starts at the audio start";
}

TEST(SourceEdge, UnknownDurationReportsZero) {
    CWatchdog watchdog(60s);
    // FLAC written to a pipe has no length in its header.
    const std::string path = FixtureFolder() + "source_sine_2s_piped.flac";
    if (!std::ifstream(path)) {
        const std::string command = std::string(QOR_FFMPEG_COMMAND) +
                                    " -v error -y -f lavfi -i sine=d=2 -f flac pipe:1 > '" + path +
                                    ".part' && mv '" + path + ".part' '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    CSourceGraph graph(path);
    ASSERT_EQ(graph.loadResult, S_OK);
    ASSERT_NE(graph.source.AudioPin(), nullptr);
    ASSERT_EQ(graph.Connect(), S_OK);
    REFERENCE_TIME duration = -1;
    EXPECT_EQ(graph.source.AudioPin()->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 0);
    ASSERT_EQ(graph.Run(), S_OK);
    EXPECT_TRUE(graph.WaitForEnd()) << "it still plays to its end";
}

TEST(SourceEdge, YuyProposalIsAcceptedAndTheFramesStayRgb) {
    CWatchdog watchdog(60s);
    CSourceGraph graph(MakeMedia(
        "source_green_64x48_r25_1s_mpeg4.avi",
        {"-f", "lavfi", "-i", "color=c=0x00FF00:s=64x48:r=25:d=1", "-c:v", "mpeg4", "-q:v", "1"}));
    ASSERT_EQ(graph.loadResult, S_OK);
    CMediaType proposal;
    proposal.majorType = EMajorType::Video;
    proposal.subType = ESubType::YUY2;
    proposal.formatType = EFormatType::VideoInfo;
    CVideoInfoHeader info;
    info.bitmap.width = 640; // larger than the pin's buffer: must not be written past it
    info.bitmap.height = 480;
    info.bitmap.bitCount = 16;
    proposal.SetFormat(info);
    CMediaType pcm = proposal;
    pcm.subType = ESubType::PCM;
    EXPECT_EQ(graph.source.VideoPin()->CheckMediaType(pcm), E_FAIL);

    graph.video.keepData = [](std::size_t index, const CMediaSample&) { return index == 5; };
    ASSERT_EQ(graph.Connect(&proposal), S_OK);
    EXPECT_EQ(graph.video.connectedType.subType, ESubType::YUY2);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();
    ASSERT_GT(graph.video.samples.size(), 5u);
    EXPECT_EQ(graph.video.samples[5].length, 64 * 48 * 3);
    CPixel p = PixelAt(graph.video.samples[5], 64, 32, 24);
    EXPECT_LE(p.b, 8);
    EXPECT_GE(p.g, 240);
    EXPECT_LE(p.r, 8);
}

TEST(SourceEdge, BadFilesFailToLoadOrPlayToTheEnd) {
    CWatchdog watchdog(120s);
    const std::string whole =
        MakeMedia("source_testsrc2_64x48_r25_2s_h264_sine_aac.mp4",
                  {"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=2", "-f", "lavfi", "-i",
                   "sine=d=2", "-c:v", "libx264", "-c:a", "aac", "-movflags", "+faststart"});
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 1000u);
    std::string noise(20000, '\0');
    std::mt19937 random(7);
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    std::string damaged = bytes;
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + bytes.size() / 4; ++i) {
        damaged[i] = static_cast<char>(random());
    }
    const std::pair<const char*, std::string> files[] = {
        {"source_bad_empty.mp4", ""},
        {"source_bad_noise.mp4", noise},
        {"source_bad_cut_in_half.mp4", bytes.substr(0, bytes.size() / 2)},
        {"source_bad_damaged_middle.mp4", damaged},
    };
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name);
        CSourceGraph graph(WriteFixtureFile(name, content));
        if (FAILED(graph.loadResult)) {
            EXPECT_EQ(graph.source.GetPinCount(), 0);
            continue;
        }
        ASSERT_EQ(graph.Connect(), S_OK);
        ASSERT_EQ(graph.Run(), S_OK);
        EXPECT_TRUE(graph.WaitForEnd(30s)) << "a playable file plays to its end";
    }
    CVeltoSource unnamed;
    EXPECT_EQ(unnamed.Load(nullptr), E_POINTER);
    EXPECT_EQ(unnamed.GetCurFile(nullptr), E_POINTER);
}
