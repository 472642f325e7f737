#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "core/WideText.h"
#include "media/PacketQueue.h"
#include "media/PlaybackInfo.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

namespace {
constexpr REFERENCE_TIME kFrame25 = UNITS / 25;

// 40 s of test pattern at 25 fps and a tone, followed by the given codec options.
std::string FortySecondClip(const std::string& name, const std::vector<std::string>& codecs) {
    std::vector<std::string> args = {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=40",
                                     "-f", "lavfi", "-i", "sine=d=40:sample_rate=44100"};
    args.insert(args.end(), codecs.begin(), codecs.end());
    return MakeMedia(name, args);
}

std::string FortySecondClip() {
    return FortySecondClip(
        "source_testsrc2_160x120_r25_g25_40s_mpeg4_sine_mp3.avi",
        {"-c:v", "mpeg4", "-g", "25", "-b:v", "200k", "-c:a", "libmp3lame", "-ac", "2"});
}

// A key frame exactly every second, B-frames between them.
std::string FortySecondH264Clip() {
    return FortySecondClip("source_testsrc2_160x120_r25_key1s_40s_h264_sine_aac.mp4",
                           {"-c:v", "libx264", "-g", "25", "-keyint_min", "25", "-sc_threshold",
                            "0", "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "2"});
}

HRESULT SeekTo(CSeekableStream* pin, REFERENCE_TIME t) {
    return pin->SetPositions(&t, SEEKING_ABSOLUTE_POSITIONING, nullptr, SEEKING_NO_POSITIONING);
}

// Connects and runs until both pins delivered, so that a seek interrupts real playback.
void StartPlaying(CSourceGraph& graph) {
    ASSERT_EQ(graph.loadResult, S_OK);
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.source.PrimaryPin(), graph.source.AudioPin());
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.video.WaitFor([](CRecordingPin& p) { return p.samples.size() >= 5; }));
    ASSERT_TRUE(graph.audio.WaitFor([](CRecordingPin& p) { return p.samples.size() >= 1; }));
}

// After one seek: both pins were flushed once, play to the end and restart with a discontinuity.
void ExpectBothRestarted(CSourceGraph& graph) {
    EXPECT_EQ(graph.video.flushes, 1);
    EXPECT_EQ(graph.audio.flushes, 1);
    ASSERT_TRUE(graph.WaitForEnd(60s));
    graph.Stop();
    for (CRecordingPin* pin : {&graph.video, &graph.audio}) {
        ASSERT_GT(pin->samples.size(), pin->samplesBeforeFlushEnd);
        EXPECT_TRUE(pin->samples[pin->samplesBeforeFlushEnd].discontinuity)
            << "the first sample after the seek starts a new run";
    }
}

// The video queue's stamps of the file's key frames, read straight from the file.
std::vector<REFERENCE_TIME> KeyFrameStamps(const std::string& path) {
    CPlaybackInfo media;
    std::vector<REFERENCE_TIME> stamps;
    if (FAILED(media.ParseMediaContext(Utf8ToWide(path)))) {
        ADD_FAILURE() << "cannot open " << path;
        return stamps;
    }
    CPacketQueueVideo queue(media, "V", 10);
    CAVPacketPtr packet(av_packet_alloc());
    while (!media.ReadFrame(packet.get())) {
        if (packet->stream_index == media.VideoIndex() && (packet->flags & AV_PKT_FLAG_KEY)) {
            stamps.push_back(queue.ToStamp(*packet));
        }
        av_packet_unref(packet.get());
    }
    return stamps;
}
} // namespace

TEST(SourceSeek, OnlyThePrimaryPinMovesBothStreams) {
    CWatchdog watchdog(90s);
    CSourceGraph graph(FortySecondClip());
    StartPlaying(graph);
    CVeltoAudioStream* audio = graph.source.AudioPin();
    CVeltoVideoStream* video = graph.source.VideoPin();

    REFERENCE_TIME duration = 0;
    EXPECT_EQ(audio->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration), 40.0 * UNITS, 0.1 * UNITS);
    EXPECT_EQ(audio->SetRate(0.0), E_INVALIDARG);
    EXPECT_EQ(audio->SetRate(2.0), S_OK);
    EXPECT_EQ(audio->GetRate(), 2.0);

    const REFERENCE_TIME videoStartBefore = graph.source.VideoStart();
    EXPECT_EQ(SeekTo(video, 30 * UNITS), E_NOTIMPL);
    EXPECT_EQ(graph.source.VideoStart(), videoStartBefore) << "the refused seek changed nothing";
    EXPECT_EQ(graph.video.flushes, 0);

    ASSERT_EQ(SeekTo(audio, 30 * UNITS), S_OK);
    const REFERENCE_TIME videoStart = graph.source.VideoStart();
    const REFERENCE_TIME audioStart = graph.source.AudioStart();
    EXPECT_LE(videoStart, 30 * UNITS) << "video resumes at the key frame before the target";
    EXPECT_GT(videoStart, 28 * UNITS);
    EXPECT_GE(audioStart, videoStart);
    EXPECT_LT(audioStart, videoStart + UNITS);

    ExpectBothRestarted(graph);
    // Output time 0 is the audio start: the first picture lies just before it.
    const CRecordedSample& first = graph.video.samples[graph.video.samplesBeforeFlushEnd];
    EXPECT_LE(first.start, 0);
    EXPECT_GT(first.start, -UNITS);
    EXPECT_GE(graph.video.samples.size() - graph.video.samplesBeforeFlushEnd, 200u)
        << "about ten seconds of frames after the seek";
}

TEST(SourceSeek, H264ResumesAtTheKeyFrameBeforeTheTarget) {
    CWatchdog watchdog(90s);
    const std::string path = FortySecondH264Clip();
    const std::vector<REFERENCE_TIME> keys = KeyFrameStamps(path);
    ASSERT_GE(keys.size(), 39u) << "a key frame every second";
    REFERENCE_TIME keyBefore = -1;
    for (REFERENCE_TIME key : keys) {
        if (key <= 30 * UNITS) {
            keyBefore = std::max(keyBefore, key);
        }
    }
    ASSERT_GT(keyBefore, 29 * UNITS);

    CSourceGraph graph(path);
    StartPlaying(graph);
    ASSERT_EQ(SeekTo(graph.source.AudioPin(), 30 * UNITS), S_OK);
    const REFERENCE_TIME videoStart = graph.source.VideoStart();
    EXPECT_LE(videoStart, 30 * UNITS);
    EXPECT_NEAR(static_cast<double>(videoStart), static_cast<double>(keyBefore),
                static_cast<double>(kFrame25))
        << "the video starts at the last key frame at or before the target";
    EXPECT_GE(graph.source.AudioStart(), videoStart);
    EXPECT_LT(graph.source.AudioStart(), videoStart + UNITS);
    ExpectBothRestarted(graph);
}

// With its only key frame at the start, a seek to 30 s decodes from 0 but shows and sounds from
// 30 s: stream time 0 is the target, and the ten seconds after it are all that is delivered.
TEST(SourceSeek, PicturesBeforeTheTargetAreDecodedButNotShown) {
    CWatchdog watchdog(90s);
    CSourceGraph graph(FortySecondClip(
        "source_testsrc2_160x120_r25_onekey_40s_h264_sine_aac.mp4",
        {"-c:v", "libx264", "-g", "2000", "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "2"}));
    StartPlaying(graph);
    ASSERT_EQ(SeekTo(graph.source.AudioPin(), 30 * UNITS), S_OK);
    EXPECT_LT(graph.source.VideoStart(), UNITS) << "the only key frame";
    EXPECT_GE(graph.source.AudioStart(), 30 * UNITS);
    EXPECT_LT(graph.source.AudioStart(), 30 * UNITS + UNITS / 10);
    ExpectBothRestarted(graph);
    const std::size_t after = graph.video.samples.size() - graph.video.samplesBeforeFlushEnd;
    const CRecordedSample& first = graph.video.samples[graph.video.samplesBeforeFlushEnd];
    EXPECT_LE(first.start, 0);
    EXPECT_GT(first.start, -kFrame25 - UNITS / 10);
    EXPECT_GE(after, 240u);
    EXPECT_LE(after, 260u) << "only the pictures from the target on";
}

// Positions count from the container's start: on files whose stamps start near 1000 s a seek
// lands at the target in file time, not on the first key frame.
TEST(SourceSeek, TargetsCountFromTheStartOfFilesThatStartLate) {
    CWatchdog watchdog(120s);
    for (const char* container : {"mp4", "mkv"}) {
        SCOPED_TRACE(container);
        const std::string path = FortySecondClip(
            std::string("source_testsrc2_160x120_r25_g25_40s_mpeg4_sine_aac_from_1000s.") +
                container,
            {"-c:v", "mpeg4", "-g", "25", "-b:v", "200k", "-c:a", "aac", "-ac", "2",
             "-output_ts_offset", "1000"});
        CSourceGraph graph(path);
        StartPlaying(graph);
        const REFERENCE_TIME fileStart = graph.source.Media().FileStart();
        ASSERT_GE(fileStart, 999 * UNITS);

        ASSERT_EQ(SeekTo(graph.source.AudioPin(), 20 * UNITS), S_OK);
        const REFERENCE_TIME videoStart = graph.source.VideoStart() - fileStart;
        EXPECT_LE(videoStart, 20 * UNITS) << "the key frame at or before the target";
        EXPECT_GT(videoStart, 20 * UNITS - UNITS - kFrame25);
        EXPECT_GE(graph.source.AudioStart(), graph.source.VideoStart());
        EXPECT_LT(graph.source.AudioStart(), graph.source.VideoStart() + UNITS);
        ExpectBothRestarted(graph);
    }
}
