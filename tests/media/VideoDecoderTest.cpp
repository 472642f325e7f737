#include <gtest/gtest.h>

#include <fstream>

#include "MediaFixture.h"
#include "TestFiles.h"
#include "media/Subtitle.h"
#include "support/DecoderHarness.h"

namespace {

// Top half and bottom half in two colours whose red, green and blue all differ, so that a
// swapped byte order or an upside-down picture both show.
constexpr char kTwoColours[] = "color=c=0x2060C0:s=64x24:r=25:d=1[a];"
                               "color=c=0xC08020:s=64x24:r=25:d=1[b];[a][b]vstack";

struct CBgr {
    int b, g, r;
};

CBgr PixelAt(const std::vector<std::uint8_t>& frame, int width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return {frame[at], frame[at + 1], frame[at + 2]};
}

void ExpectColour(const CBgr& pixel, int r, int g, int b) {
    EXPECT_NEAR(pixel.b, b, 2);
    EXPECT_NEAR(pixel.g, g, 2);
    EXPECT_NEAR(pixel.r, r, 2);
}

TEST(VideoDecoderTest, PicturesComeOutBgrTopRowFirstWhateverTheSourceFormat) {
    struct CRecipe {
        std::string name;
        std::vector<std::string> codec;
    };
    const CRecipe recipes[] = {
        {"video_two_colours_64x48_yuv420p_x264.mp4",
         {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-qp", "0"}},
        {"video_two_colours_64x48_yuv444p_raw.nut", {"-c:v", "rawvideo", "-pix_fmt", "yuv444p"}},
        {"video_two_colours_64x48_nv12_raw.nut", {"-c:v", "rawvideo", "-pix_fmt", "nv12"}},
        {"video_two_colours_64x48_rgb24_raw.nut", {"-c:v", "rawvideo", "-pix_fmt", "rgb24"}},
        {"video_two_colours_64x48_yuvj420p_mjpeg.avi",
         {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p", "-q:v", "1"}},
    };
    for (const CRecipe& recipe : recipes) {
        SCOPED_TRACE(recipe.name);
        std::vector<std::string> args{"-f", "lavfi", "-i", kTwoColours};
        args.insert(args.end(), recipe.codec.begin(), recipe.codec.end());
        CDecoderHarness source(MakeMedia(recipe.name, args));
        ASSERT_EQ(source.ParseResult(), S_OK);
        source.FillAll();
        const CDecodedVideo video = source.DecodeVideo();
        EXPECT_EQ(video.pictures, 25);
        ASSERT_EQ(video.first.size(), 64u * 48 * 3);
        for (int x : {0, 31, 63}) {
            ExpectColour(PixelAt(video.first, 64, x, 4), 0x20, 0x60, 0xC0);
            ExpectColour(PixelAt(video.first, 64, x, 43), 0xC0, 0x80, 0x20);
        }
    }
}

TEST(VideoDecoderTest, FillsExactlyTheConnectedPictureSize) {
    CDecoderHarness source(MakeMedia(
        "video_red_640x480_1frame_mpeg4.mkv",
        {"-f", "lavfi", "-i", "color=c=red:s=640x480:r=25:d=0.04", "-c:v", "mpeg4", "-q:v", "2"}));
    ASSERT_EQ(source.ParseResult(), S_OK);
    source.FillAll();
    constexpr std::size_t kPicture = 921600; // 640 x 480 x 3, rows of 1920 bytes
    constexpr std::uint8_t kGuard = 0x5A;
    std::vector<std::uint8_t> buffer(kPicture + 4096, kGuard);
    CVeltoVideoDecoder decoder;
    int used = 0;
    bool got = false;
    REFERENCE_TIME stamp = 0;
    REFERENCE_TIME next = 0;
    bool pictured = false;
    while (decoder.DecodeFrameToBuffer(source, {640, -480, 24}, buffer.data(), &used, &got, &stamp,
                                       &next)) {
        pictured = pictured || got;
    }
    ASSERT_TRUE(pictured);
    ExpectColour({buffer[kPicture - 3], buffer[kPicture - 2], buffer[kPicture - 1]}, 0xFE, 0, 0);
    for (std::size_t i = kPicture; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], kGuard) << i;
    }
}

// Plain rgb24 and gray pictures made by hand, of whatever size.
CAVFramePtr SolidPicture(AVPixelFormat format, int width, int height, std::uint8_t value) {
    CAVFramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    for (int y = 0; y < height; ++y) {
        std::fill_n(frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0],
                    width * (format == AV_PIX_FMT_RGB24 ? 3 : 1), value);
    }
    return frame;
}

TEST(VideoDecoderTest, ConversionFollowsPictureSizeAndFormatChanges) {
    const CFrameFormat out{64, -48, 24};
    std::vector<std::uint8_t> buffer(64 * 48 * 3);
    CSwsContextPtr scaler;
    const struct {
        AVPixelFormat format;
        int width, height;
        std::uint8_t value;
    } pictures[] = {{AV_PIX_FMT_RGB24, 64, 48, 10},
                    {AV_PIX_FMT_RGB24, 320, 240, 200},
                    {AV_PIX_FMT_GRAY8, 16, 8, 128},
                    {AV_PIX_FMT_RGB24, 64, 48, 60}};
    for (const auto& picture : pictures) {
        const CAVFramePtr frame =
            SolidPicture(picture.format, picture.width, picture.height, picture.value);
        ASSERT_TRUE(copy_buffer(buffer.data(), *frame, out, scaler));
        for (std::size_t at : {std::size_t{0}, buffer.size() / 2, buffer.size() - 1}) {
            EXPECT_NEAR(buffer[at], picture.value, 2) << picture.width << " at " << at;
        }
    }
    const CAVFramePtr frame = SolidPicture(AV_PIX_FMT_RGB24, 64, 48, 1);
    EXPECT_FALSE(copy_buffer(buffer.data(), *frame, {64, -48, 32}, scaler));
    EXPECT_FALSE(copy_buffer(nullptr, *frame, out, scaler));
}

TEST(VideoDecoderTest, DrainsEveryPictureWithRisingStamps) {
    // B-frames and frame threads keep pictures inside the decoder until the end.
    CDecoderHarness source(MakeMedia("video_testsrc2_160x120_r25_50frames_x264_bframes.mp4",
                                     {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=2", "-c:v",
                                      "libx264", "-bf", "3", "-g", "12"}));
    ASSERT_EQ(source.ParseResult(), S_OK);
    ASSERT_EQ(source.Media().Stream(source.Media().VideoIndex())->nb_frames, 50);
    source.FillAll();
    const CDecodedVideo video = source.DecodeVideo();
    EXPECT_EQ(video.pictures, 50);
    EXPECT_GE(video.samples, 50);
    for (std::size_t i = 1; i < video.stamps.size(); ++i) {
        EXPECT_GT(video.stamps[i], video.stamps[i - 1]) << i;
    }
}

TEST(VideoDecoderTest, DamagedFilesDecodeToTheirEnd) {
    const std::string ts = MakeMedia(
        "video_testsrc2_160x120_r25_3s_x264.ts",
        {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=3", "-c:v", "libx264", "-g", "25"});
    const std::string mp4 = MakeMedia("video_testsrc2_160x120_r25_3s_x264_faststart.mp4",
                                      {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=3", "-c:v",
                                       "libx264", "-g", "25", "-movflags", "+faststart"});
    std::string garbled = ReadFile(ts);
    for (std::size_t i = garbled.size() / 3; i < garbled.size() / 3 + 20000; i += 7) {
        garbled[i] = static_cast<char>(i * 31);
    }
    const std::string mp4Bytes = ReadFile(mp4);
    const std::string files[] = {
        WriteFixtureFile("video_garbled_middle.ts", garbled),
        WriteFixtureFile("video_first_half.ts", ReadFile(ts).substr(0, ReadFile(ts).size() / 2)),
        WriteFixtureFile("video_first_half_faststart.mp4",
                         mp4Bytes.substr(0, mp4Bytes.size() / 2))};
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        CDecoderHarness source(file);
        ASSERT_EQ(source.ParseResult(), S_OK);
        source.FillAll();
        const CDecodedVideo video = source.DecodeVideo();
        EXPECT_GT(video.pictures, 10);
        EXPECT_LT(video.pictures, 75);
    }
}

TEST(VideoDecoderTest, AbortedOrExhaustedQueueEndsAtOnce) {
    CDecoderHarness source(MakeMedia(
        "video_red_640x480_1frame_mpeg4.mkv",
        {"-f", "lavfi", "-i", "color=c=red:s=640x480:r=25:d=0.04", "-c:v", "mpeg4", "-q:v", "2"}));
    ASSERT_EQ(source.ParseResult(), S_OK);
    std::vector<std::uint8_t> buffer(640 * 480 * 3);
    CVeltoVideoDecoder decoder;
    int used = 0;
    bool got = false;
    REFERENCE_TIME stamp = 0;
    REFERENCE_TIME next = 0;
    source.VideoQueue()->Abort(); // nothing queued: an unaborted Get would wait for ever
    EXPECT_FALSE(decoder.DecodeFrameToBuffer(source, {640, -480, 24}, buffer.data(), &used, &got,
                                             &stamp, &next));
    source.VideoQueue()->Resume();
    source.FillAll();
    int pictures = 0;
    while (decoder.DecodeFrameToBuffer(source, {640, -480, 24}, buffer.data(), &used, &got, &stamp,
                                       &next)) {
        pictures += got ? 1 : 0;
    }
    EXPECT_EQ(pictures, 1);
    // After the end the decoder keeps answering "no more" rather than waiting on the queue.
    EXPECT_FALSE(decoder.DecodeFrameToBuffer(source, {640, -480, 24}, buffer.data(), &used, &got,
                                             &stamp, &next));
}

TEST(VideoDecoderTest, StreamSubtitlesAreDrawnOnlyWhileTheyLast) {
    const std::string srt =
        WriteFixtureFile("video_cue_0_to_1s.srt", "1\n00:00:00,000 --> 00:00:01,000\nMMMMMMMM\n");
    CSubtitle subtitles;
    CDecoderHarness source(MakeMedia("video_black_320x240_r25_2s_mpeg4_srt.mkv",
                                     {"-f", "lavfi", "-i", "color=c=black:s=320x240:r=25:d=2", "-i",
                                      srt, "-c:v", "mpeg4", "-q:v", "2", "-c:s", "srt"}),
                           &subtitles);
    ASSERT_EQ(source.ParseResult(), S_OK);
    ASSERT_TRUE(source.Media().HasSubtitle());
    ASSERT_TRUE(subtitles.Initial(320, 240));
    source.FillAll();
    int litDuringCue = 0;
    int litAfterCue = 0;
    source.DecodeVideo([&](REFERENCE_TIME stamp, const std::vector<std::uint8_t>& frame) {
        int bright = 0;
        for (std::uint8_t byte : frame) {
            bright += byte > 128 ? 1 : 0;
        }
        if (stamp < 9 * UNITS / 10) {
            litDuringCue += bright > 100 ? 1 : 0;
        } else if (stamp > 11 * UNITS / 10) {
            litAfterCue += bright > 100 ? 1 : 0;
        }
    });
    EXPECT_GT(litDuringCue, 15);
    EXPECT_EQ(litAfterCue, 0);
    subtitles.Teardown();
}

} // namespace
