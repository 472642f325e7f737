#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "MediaFixture.h"
#include "core/WideText.h"
#include "media/PlaybackInfo.h"

namespace {

std::string ClipWithTwoAudioTracksAndSubtitle() {
    const std::string srt =
        WriteFixtureFile("probe_cue.srt", "1\n00:00:00,000 --> 00:00:01,000\nHi\n");
    return MakeMedia("probe_testsrc2_64x48_2s_sine_two_tracks_srt.mkv",
                     {"-f",   "lavfi", "-i",   "testsrc2=s=64x48:r=25:d=2",
                      "-f",   "lavfi", "-i",   "sine=f=440:d=2",
                      "-f",   "lavfi", "-i",   "sine=f=880:d=2",
                      "-i",   srt,     "-map", "0",
                      "-map", "1",     "-map", "2",
                      "-map", "3",     "-c:v", "mpeg4",
                      "-c:a", "mp2",   "-c:s", "srt"});
}

// 40 s with a key frame every second, so seeks land close to their target.
std::string LongClip(const std::string& extension) {
    return MakeMedia("probe_testsrc2_160x120_r25_g25_40s_sine." + extension,
                     {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=40", "-f", "lavfi", "-i",
                      "sine=d=40", "-c:v", "mpeg4", "-g", "25", "-b:v", "200k", "-c:a", "mp2"});
}

// Seconds of the first video packet read after a seek.
double FirstVideoSecondsAfterSeek(CPlaybackInfo& media, REFERENCE_TIME target) {
    EXPECT_EQ(media.Seek(target), 0);
    CAVPacketPtr packet(av_packet_alloc());
    while (!media.ReadFrame(packet.get())) {
        if (packet->stream_index == media.VideoIndex() && packet->pts != AV_NOPTS_VALUE) {
            const AVStream* stream = media.Stream(media.VideoIndex());
            return static_cast<double>(packet->pts -
                                       std::max<std::int64_t>(stream->start_time, 0)) *
                   av_q2d(stream->time_base);
        }
        av_packet_unref(packet.get());
    }
    return -1;
}

TEST(PlaybackInfoTest, BadFilesFailToParseAndLeaveNothingOpen) {
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    const std::string whole =
        MakeMedia("probe_testsrc2_64x48_1s_moov_at_end.mp4",
                  {"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=1", "-c:v", "mpeg4"});
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string files[] = {
        FixtureFolder() + "probe_does_not_exist.mkv", WriteFixtureFile("probe_empty.mkv", ""),
        WriteFixtureFile("probe_noise.mp4", noise),
        WriteFixtureFile("probe_first_half.mp4", bytes.substr(0, bytes.size() / 2))};
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        CPlaybackInfo media;
        EXPECT_EQ(media.ParseMediaContext(Utf8ToWide(file)), E_FAIL);
        EXPECT_FALSE(media.HasVideo());
        EXPECT_FALSE(media.HasAudio());
        EXPECT_EQ(media.GetCodecContext(STREAM_VIDEO), nullptr);
        EXPECT_EQ(media.Width(), 0);
        CAVPacketPtr packet(av_packet_alloc());
        EXPECT_TRUE(media.ReadFrame(packet.get()));
        EXPECT_EQ(media.Seek(10000000), -1);
        CMediaDuration duration;
        EXPECT_FALSE(media.Duration(duration));
    }
}

TEST(PlaybackInfoTest, FileOfUnknownLengthPlaysWithoutPicture) {
    // Read through a pipe, a Matroska file written for streaming has no length to tell.
    const std::string streamed = FixtureFolder() + "probe_streamed.mkv";
    if (!std::filesystem::exists(streamed)) {
        const std::string command =
            std::string(QOR_FFMPEG_COMMAND) +
            " -nostdin -v error -y -f lavfi -i testsrc2=s=64x48:r=25:d=2 "
            "-f lavfi -i sine=d=2 -c:v mpeg4 -c:a mp2 -f matroska pipe:1 > " +
            streamed + ".tmp && mv " + streamed + ".tmp " + streamed;
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    const std::string fifo = FixtureFolder() + "probe_fifo_" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN); // the reader closes before the writer is done
    std::thread writer([&] {
        std::ifstream in(streamed, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        const int fd = open(fifo.c_str(), O_WRONLY);
        for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        close(fd);
    });
    {
        CPlaybackInfo media;
        EXPECT_EQ(media.ParseMediaContext(Utf8ToWide(fifo)), S_OK);
        EXPECT_FALSE(media.HasVideo());
        EXPECT_EQ(media.GetCodecContext(STREAM_VIDEO), nullptr);
        EXPECT_TRUE(media.HasAudio());
        CMediaDuration duration;
        EXPECT_FALSE(media.Duration(duration));
    }
    writer.join();
    unlink(fifo.c_str());
}

TEST(PlaybackInfoTest, SurroundAudioOpensAsStereoAndMonoStaysMono) {
    const std::string surround =
        MakeMedia("probe_sine_6ch_48k_2s.ac3",
                  {"-f", "lavfi", "-i", "sine=d=2:sample_rate=48000", "-af",
                   "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:a", "ac3"});
    const std::string mono =
        MakeMedia("probe_sine_mono_44k_2s.mp3", {"-f", "lavfi", "-i", "sine=d=2:sample_rate=44100",
                                                 "-ac", "1", "-c:a", "libmp3lame"});
    CPlaybackInfo six;
    ASSERT_EQ(six.ParseMediaContext(Utf8ToWide(surround)), S_OK);
    ASSERT_EQ(six.Stream(six.AudioIndex())->codecpar->ch_layout.nb_channels, 6);
    EXPECT_EQ(six.AudioConversion().targetChannels, 2);
    EXPECT_EQ(six.AudioConversion().targetLayout, 3);
    EXPECT_EQ(six.AudioConversion().targetRate, 48000);
    EXPECT_EQ(six.AudioConversion().targetFormat, AV_SAMPLE_FMT_S16);

    CPlaybackInfo one;
    ASSERT_EQ(one.ParseMediaContext(Utf8ToWide(mono)), S_OK);
    EXPECT_FALSE(one.HasVideo());
    EXPECT_EQ(one.AudioConversion().targetChannels, 1);
    EXPECT_EQ(one.AudioConversion().targetLayout, static_cast<std::int64_t>(AV_CH_LAYOUT_MONO));
    EXPECT_EQ(one.AudioConversion().targetRate, 44100);
}

TEST(PlaybackInfoTest, WantedLayoutRules) {
    AVChannelLayout layout{};
    av_channel_layout_from_mask(&layout, AV_CH_LAYOUT_5POINT1);
    EXPECT_EQ(CPlaybackInfo::WantedLayout(layout), 3);
    av_channel_layout_from_mask(&layout, AV_CH_LAYOUT_STEREO_DOWNMIX);
    EXPECT_EQ(CPlaybackInfo::WantedLayout(layout), 3); // pseudo channels only: plain stereo
    av_channel_layout_from_mask(&layout, AV_CH_FRONT_LEFT | AV_CH_STEREO_LEFT);
    EXPECT_EQ(CPlaybackInfo::WantedLayout(layout), static_cast<std::int64_t>(AV_CH_FRONT_LEFT));
    av_channel_layout_uninit(&layout);
    layout.order = AV_CHANNEL_ORDER_UNSPEC;
    layout.nb_channels = 1;
    EXPECT_EQ(CPlaybackInfo::WantedLayout(layout), static_cast<std::int64_t>(AV_CH_LAYOUT_MONO));
}

TEST(PlaybackInfoTest, DurationRecordSplitsTheContainerLength) {
    const std::string wav =
        MakeMedia("probe_sine_8k_u8_65.5s.wav",
                  {"-f", "lavfi", "-i", "sine=d=65.5:sample_rate=8000", "-c:a", "pcm_u8"});
    CPlaybackInfo media;
    ASSERT_EQ(media.ParseMediaContext(Utf8ToWide(wav)), S_OK);
    CMediaDuration duration;
    ASSERT_TRUE(media.Duration(duration));
    EXPECT_DOUBLE_EQ(duration.totalSeconds, 65.5);
    EXPECT_EQ(duration.hours, 0);
    EXPECT_EQ(duration.minutes, 1);
    EXPECT_EQ(duration.seconds, 5);
    EXPECT_EQ(duration.microseconds, 500000);
}

TEST(PlaybackInfoTest, FrameRateKeepsToTenThroughThirty) {
    const AVRational realAndAverage[] = {{50, 1}, {25, 1}};
    EXPECT_FLOAT_EQ(CPlaybackInfo::PickFrameRate(realAndAverage), 25.0f);
    const AVRational tooFast[] = {{60, 1}, {60, 1}, {0, 1}, {1, 0}};
    EXPECT_FLOAT_EQ(CPlaybackInfo::PickFrameRate(tooFast), 30.0f);
    const AVRational bounds[] = {{9, 1}, {10, 1}};
    EXPECT_FLOAT_EQ(CPlaybackInfo::PickFrameRate(bounds), 10.0f);
    const AVRational film[] = {{0, 0}, {24000, 1001}};
    EXPECT_NEAR(CPlaybackInfo::PickFrameRate(film), 23.976f, 0.001f);
    EXPECT_FLOAT_EQ(CPlaybackInfo::PickFrameRate({}), 30.0f);

    const std::string fast =
        MakeMedia("probe_testsrc2_64x48_r60_1s.mkv",
                  {"-f", "lavfi", "-i", "testsrc2=s=64x48:r=60:d=1", "-c:v", "mpeg4"});
    const std::string pal =
        MakeMedia("probe_testsrc2_64x48_r25_1s.mkv",
                  {"-f", "lavfi", "-i", "testsrc2=s=64x48:r=25:d=1", "-c:v", "mpeg4"});
    CPlaybackInfo sixty;
    ASSERT_EQ(sixty.ParseMediaContext(Utf8ToWide(fast)), S_OK);
    EXPECT_FLOAT_EQ(sixty.FrameRate(), 30.0f);
    CPlaybackInfo twentyFive;
    ASSERT_EQ(twentyFive.ParseMediaContext(Utf8ToWide(pal)), S_OK);
    EXPECT_FLOAT_EQ(twentyFive.FrameRate(), 25.0f);
    EXPECT_EQ(twentyFive.Width(), 64);
    EXPECT_EQ(twentyFive.Height(), 48);
}

TEST(PlaybackInfoTest, ByteSeekTargetIsWholePerCentOfTheFile) {
    // 1,000,000 bytes, 100 s, 33.3 s: 33 per cent.
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(1000000, 100000000, 333000000), 330000);
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(1000000, 100000000, 290000000), 290000);
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(999, 100000000, 500000000), 499);
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(1000000, 100000000, 2000000000), 1000000);
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(1000000, 100000000, -5), 0);
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(1000000, 0, 333000000), -1);
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(1000000, AV_NOPTS_VALUE, 333000000), -1);
    EXPECT_EQ(CPlaybackInfo::ByteSeekTarget(-1, 100000000, 333000000), -1);
}

TEST(PlaybackInfoTest, SeekLandsNearTheTargetByTimeAndByByte) {
    for (const std::string extension : {"mkv", "ts"}) {
        SCOPED_TRACE(extension);
        CPlaybackInfo media;
        ASSERT_EQ(media.ParseMediaContext(Utf8ToWide(LongClip(extension))), S_OK);
        // Transport streams are sought by byte, in whole per cent of the file.
        EXPECT_EQ((media.FormatContext()->iformat->flags & AVFMT_TS_DISCONT) != 0,
                  extension == "ts");
        const double at20 = FirstVideoSecondsAfterSeek(media, 20 * UNITS);
        EXPECT_GT(at20, 16.0);
        EXPECT_LT(at20, 24.0);
        const double atStart = FirstVideoSecondsAfterSeek(media, 0);
        EXPECT_GE(atStart, 0.0);
        EXPECT_LT(atStart, 1.0);
    }
}

TEST(PlaybackInfoTest, TrackListsAndSwitching) {
    CPlaybackInfo media;
    ASSERT_EQ(media.ParseMediaContext(Utf8ToWide(ClipWithTwoAudioTracksAndSubtitle())), S_OK);
    std::vector<int> audio;
    std::vector<int> subtitles;
    EXPECT_EQ(media.GetAudioStreams(audio), 1);
    EXPECT_EQ(audio, (std::vector<int>{1, 2}));
    EXPECT_EQ(media.GetSubtitleStreams(subtitles), 3);
    EXPECT_EQ(subtitles, (std::vector<int>{3}));
    ASSERT_TRUE(media.HasSubtitle());
    EXPECT_NE(media.GetCodecContext(STREAM_SUBTITLE), nullptr);

    EXPECT_TRUE(media.OpenStream(STREAM_AUDIO, 2));
    EXPECT_EQ(media.AudioIndex(), 2);
    EXPECT_NE(media.GetCodecContext(STREAM_AUDIO), nullptr);
    EXPECT_FALSE(media.OpenStream(STREAM_AUDIO, -1));
    EXPECT_EQ(media.AudioIndex(), 2);
    EXPECT_FALSE(media.OpenStream(STREAM_AUDIO, 99));
    EXPECT_FALSE(media.OpenStream(2, 1)); // not a stream kind we play
    EXPECT_EQ(media.GetCodecContext(2), nullptr);
    // A video stream asked for as audio is refused and leaves the kind without stream.
    EXPECT_FALSE(media.OpenStream(STREAM_AUDIO, 0));
    EXPECT_FALSE(media.HasAudio());
    EXPECT_EQ(media.GetCodecContext(STREAM_AUDIO), nullptr);
}

TEST(PlaybackInfoTest, RealMediaIsKnownByItsExactExtension) {
    const std::string clip =
        MakeMedia("probe_sine_mono_44k_2s.mp3", {"-f", "lavfi", "-i", "sine=d=2:sample_rate=44100",
                                                 "-ac", "1", "-c:a", "libmp3lame"});
    std::ifstream in(clip, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& [extension, real] : std::vector<std::pair<std::string, bool>>{
             {"rm", true}, {"rmvb", true}, {"RM", false}, {"rma", false}, {"mp3", false}}) {
        CPlaybackInfo media;
        ASSERT_EQ(media.ParseMediaContext(
                      Utf8ToWide(WriteFixtureFile("probe_named_as." + extension, bytes))),
                  S_OK);
        EXPECT_EQ(media.IsRealMedia(), real) << extension;
    }
}

} // namespace
