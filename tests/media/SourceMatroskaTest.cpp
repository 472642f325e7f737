#include <gtest/gtest.h>

#include <cstring>

#include "MediaFixture.h"
#include "support/DvdSubtitleTrack.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

namespace {
constexpr int kWidth = 160, kHeight = 120;
constexpr double kSeconds = 4.0;
constexpr int kRate = 48000;
constexpr int kBytesPerSecond = kRate * 2 * 2; // stereo, 16 bits
constexpr double kSecondTone = 2000.0;

// Each subtitle track shows at another time (the bitmap in white, like text), so a frame with
// text at the wrong time names the wrong track.
const char* const kAss = "[Script Info]\r\nScriptType: v4.00+\r\nPlayResX: 160\r\nPlayResY: 120\r\n"
                         "\r\n[V4+ Styles]\r\nFormat: Name, Fontname, Fontsize, PrimaryColour, "
                         "SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, "
                         "StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, "
                         "Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\nStyle: "
                         "Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,"
                         "100,100,0,0,1,1,0,2,10,10,10,1\r\n\r\n[Events]\r\nFormat: Layer, Start, "
                         "End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\nDialogue: "
                         "0,0:00:01.00,0:00:02.00,Default,,0,0,0,,HELLO ASS\r\n";
const char* const kSrt = "1\r\n00:00:02,500 --> 00:00:03,500\r\nHELLO SRT\r\n\r\n";

// Video, two audio tracks (440 Hz, then 2000 Hz), then SRT, ASS (the default) and DVD bitmap
// subtitles: streams 0 to 5.
std::string StageMatroska() {
    CDvdBitmapCue cue;
    cue.x = 20;
    cue.y = 20;
    cue.w = 40;
    cue.h = 20;
    cue.boxes = {{0, 0, 40, 20, 0xFFFFFF}};
    cue.startMs = 500;
    cue.durationMs = 3000;
    const std::string dvd = MakeDvdSubtitleTrack(
        "matroska_dvdsub_at_20_20_40x20_white_500ms_3s.mkv", cue, kWidth, kHeight);
    const std::string srt = WriteFixtureFile("matroska_cue_2500ms_3500ms.srt", kSrt);
    const std::string ass = WriteFixtureFile("matroska_cue_1s_2s.ass", kAss);
    if (dvd.empty()) {
        return "";
    }
    return MakeMedia(
        "matroska_black_160x120_r25_4s_mpeg4_aac440_aac2000_srt_ass_default_dvdsub.mkv",
        {"-f",
         "lavfi",
         "-i",
         "color=c=black:s=160x120:r=25:d=4",
         "-f",
         "lavfi",
         "-i",
         "sine=f=440:d=4:sample_rate=48000",
         "-f",
         "lavfi",
         "-i",
         "sine=f=2000:d=4:sample_rate=48000",
         "-i",
         srt,
         "-i",
         ass,
         "-i",
         dvd,
         "-map",
         "0",
         "-map",
         "1",
         "-map",
         "2",
         "-map",
         "3",
         "-map",
         "4",
         "-map",
         "5",
         "-c:v",
         "mpeg4",
         "-q:v",
         "2",
         "-c:a",
         "aac",
         "-ac",
         "2",
         "-c:s",
         "copy",
         "-disposition:s:0",
         "0",
         "-disposition:s:1",
         "default",
         "-disposition:s:2",
         "0"});
}

// The tone's frequency in [from, to) seconds of the recorded audio, from the left channel's
// sign changes.
double ToneBetween(const std::vector<std::int16_t>& pcm, double from, double to) {
    const std::size_t first = static_cast<std::size_t>(from * kRate) * 2;
    const std::size_t last = std::min(pcm.size(), static_cast<std::size_t>(to * kRate) * 2);
    int changes = 0;
    for (std::size_t i = first + 2; i < last; i += 2) {
        changes += (pcm[i - 2] < 0) != (pcm[i] < 0);
    }
    return changes / 2.0 / (to - from);
}
} // namespace

TEST(SourceMatroska, TracksAreListedTheDefaultSubtitleDrawnAndTheAudioSwitched) {
    CWatchdog watchdog(60s);
    const std::string path = StageMatroska();
    ASSERT_FALSE(path.empty());
    CSourceGraph graph(path);
    ASSERT_EQ(graph.loadResult, S_OK);
    CPlaybackInfo& media = graph.source.Media();
    std::vector<int> audio, subtitles;
    EXPECT_EQ(media.GetAudioStreams(audio), 1);
    EXPECT_EQ(audio, (std::vector<int>{1, 2})) << "container order";
    EXPECT_EQ(media.GetSubtitleStreams(subtitles), 4) << "the default subtitle track";
    EXPECT_EQ(subtitles, (std::vector<int>{3, 4, 5}));

    graph.video.keepData = [](std::size_t, const CMediaSample&) { return true; };
    graph.audio.keepData = [](std::size_t, const CMediaSample&) { return true; };
    // Both renderers hold their first sample, so the switch happens with packets of the first
    // track queued and the rest of the file unread; as the engine does, the source switches
    // inside a seek to where playback is, the start.
    graph.video.Hold(true);
    graph.audio.Hold(true);
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.video.WaitInReceive());
    ASSERT_TRUE(graph.audio.WaitInReceive());
    EXPECT_TRUE(graph.source.SelectStream(STREAM_AUDIO, 2, [&graph] {
        REFERENCE_TIME at = 0;
        return graph.source.PrimaryPin()->SetPositions(&at, SEEKING_ABSOLUTE_POSITIONING, nullptr,
                                                       SEEKING_NO_POSITIONING);
    }));
    graph.video.Hold(false);
    graph.audio.Hold(false);
    ASSERT_TRUE(graph.WaitForEnd());
    graph.Stop();
    EXPECT_EQ(media.GetAudioStreams(audio), 2);

    // The held first samples were flushed: everything recorded comes after the switch.
    EXPECT_GE(graph.video.samples.size(), 100u);
    ExpectTextOnlyDuring(graph.video.samples, kWidth, kHeight, 1.0, 2.0);

    std::vector<std::int16_t> pcm;
    for (const CRecordedSample& sample : graph.audio.samples) {
        const std::size_t at = pcm.size();
        pcm.resize(at + sample.data.size() / 2);
        std::memcpy(pcm.data() + at, sample.data.data(), sample.data.size() / 2 * 2);
    }
    EXPECT_NEAR(static_cast<double>(pcm.size() * 2), kSeconds * kBytesPerSecond,
                0.1 * kBytesPerSecond)
        << "the file once from the switch: nothing of the old track kept, nothing repeated";
    EXPECT_NEAR(ToneBetween(pcm, 0.1, kSeconds - 0.1), kSecondTone, 50)
        << "only the other track after the switch";
}
