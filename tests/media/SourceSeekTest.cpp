#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

namespace {
std::string FortySecondClip() {
    return MakeMedia("source_testsrc2_160x120_r25_g25_40s_mpeg4_sine_mp3.avi",
                     {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=40", "-f", "lavfi", "-i",
                      "sine=d=40:sample_rate=44100", "-c:v", "mpeg4", "-g", "25", "-b:v", "200k",
                      "-c:a", "libmp3lame", "-ac", "2"});
}

HRESULT SeekTo(CSeekableStream* pin, REFERENCE_TIME t) {
    return pin->SetPositions(&t, SEEKING_ABSOLUTE_POSITIONING, nullptr, SEEKING_NO_POSITIONING);
}
} // namespace

TEST(SourceSeek, OnlyThePrimaryPinMovesBothStreams) {
    CWatchdog watchdog(90s);
    CSourceGraph graph(FortySecondClip());
    ASSERT_EQ(graph.loadResult, S_OK);
    ASSERT_EQ(graph.Connect(), S_OK);
    CVeltoAudioStream* audio = graph.source.AudioPin();
    CVeltoVideoStream* video = graph.source.VideoPin();
    ASSERT_EQ(graph.source.PrimaryPin(), audio);

    REFERENCE_TIME duration = 0;
    EXPECT_EQ(audio->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration), 40.0 * UNITS, 0.1 * UNITS);
    EXPECT_EQ(audio->SetRate(0.0), E_INVALIDARG);
    EXPECT_EQ(audio->SetRate(2.0), S_OK);
    EXPECT_EQ(audio->GetRate(), 2.0);

    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.video.WaitFor([](CRecordingPin& p) { return p.samples.size() >= 5; }));
    ASSERT_TRUE(graph.audio.WaitFor([](CRecordingPin& p) { return p.samples.size() >= 1; }));

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
    EXPECT_EQ(graph.video.flushes, 1);
    EXPECT_EQ(graph.audio.flushes, 1);

    ASSERT_TRUE(graph.WaitForEnd(60s));
    graph.Stop();
    for (CRecordingPin* pin : {&graph.video, &graph.audio}) {
        ASSERT_GT(pin->samples.size(), pin->samplesBeforeFlushEnd);
        EXPECT_TRUE(pin->samples[pin->samplesBeforeFlushEnd].discontinuity)
            << "the first sample after the seek starts a new run";
    }
    // Output time 0 is the audio start: the first picture lies just before it.
    const CRecordedSample& first = graph.video.samples[graph.video.samplesBeforeFlushEnd];
    EXPECT_LE(first.start, 0);
    EXPECT_GT(first.start, -UNITS);
    EXPECT_GE(graph.video.samples.size() - graph.video.samplesBeforeFlushEnd, 200u)
        << "about ten seconds of frames after the seek";
}
