// Damaged files: with 0.1 % of their bytes flipped (fixed seeds), the source delivers nearly all
// the video frames and audio the ffmpeg command decodes from the same file, and never hangs.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "TestFiles.h"
#include "support/SourceGraph.h"

using namespace std::chrono_literals;

namespace {

// One byte in this many is flipped.
constexpr std::size_t kFlipEvery = 1000;
// The first bytes hold the container's headers (a fast-start MP4's index, a Matroska file's
// track list); flips there mostly leave a file that neither we nor the reference can open.
constexpr std::size_t kKeptHeader = 8192;
// The share of the reference's frames and audio the source must deliver.
constexpr double kMinShare = 0.9;
// Output rate of the reference's audio decode, only used to measure its length.
constexpr int kReferenceRate = 48000;

struct CClip {
    const char* name;
    std::vector<std::string> recipe;
    std::size_t keptHeader;
    std::vector<unsigned> seeds;
};

std::vector<std::string> Recipe(const char* videoCodec, const char* audioCodec) {
    return {"-f",   "lavfi",    "-i",   "testsrc2=s=160x120:r=25:d=4",
            "-f",   "lavfi",    "-i",   "sine=f=440:d=4:sample_rate=48000",
            "-c:v", videoCodec, "-c:a", audioCodec,
            "-ac",  "2",        "-g",   "25"};
}

// XORs one byte in kFlipEvery, past the kept header, with a non-zero random value.
std::string Flip(std::string bytes, std::size_t keptHeader, unsigned seed) {
    std::mt19937 random(seed);
    if (bytes.size() <= keptHeader) {
        return bytes;
    }
    std::uniform_int_distribution<std::size_t> at(keptHeader, bytes.size() - 1);
    std::uniform_int_distribution<int> mask(1, 255);
    for (std::size_t i = 0; i < bytes.size() / kFlipEvery; ++i) {
        bytes[at(random)] ^= static_cast<char>(mask(random));
    }
    return bytes;
}

struct CCounts {
    std::size_t videoFrames = 0;
    double audioSeconds = 0.0;
};

// What the ffmpeg command decodes, in one run that reads both streams (a stream left out is
// discarded, and some demuxers then read the others differently): every video frame as decoded
// (no duplicates or drops for timing) and the audio's length. withAudio false: the video alone,
// for files in which the reference finds no sound.
CCounts Reference(const std::string& path, bool withAudio = true) {
    const std::string frames = path + ".framemd5";
    const std::string pcm = path + ".pcm";
    std::string command = std::string(QOR_FFMPEG_COMMAND) + " -nostdin -v quiet -y -i '" + path +
                          "' -map 0:v:0 -fps_mode passthrough -f framemd5 '" + frames + "'";
    if (withAudio) {
        command +=
            " -map 0:a:0 -ac 2 -ar " + std::to_string(kReferenceRate) + " -f s16le '" + pcm + "'";
    }
    CCounts counts;
    if (std::system(command.c_str()) != 0) {
        return counts; // the file does not open, or lacks one of the streams
    }
    std::ifstream lines(frames);
    for (std::string line; std::getline(lines, line);) {
        counts.videoFrames += !line.empty() && line[0] != '#';
    }
    counts.audioSeconds = static_cast<double>(ReadFile(pcm).size()) / (kReferenceRate * 4.0);
    return counts;
}

// What the source delivers through its pins, played to the end (or the bounded wait). ended:
// the file failed to load, or every pin had its end of stream.
CCounts Delivered(const std::string& path, bool* ended) {
    CCounts counts;
    CSourceGraph graph(path);
    *ended = FAILED(graph.loadResult);
    if (FAILED(graph.loadResult) || FAILED(graph.Connect()) || FAILED(graph.Run())) {
        return counts;
    }
    *ended = graph.WaitForEnd(30s);
    graph.Stop();
    counts.videoFrames = graph.VideoCount();
    CWaveFormatEx wave;
    if (graph.audio.connected && graph.audio.connectedType.GetFormat(wave) && wave.blockAlign > 0 &&
        wave.samplesPerSec > 0) {
        long bytes = 0;
        for (const auto& sample : graph.audio.samples) {
            bytes += sample.length;
        }
        counts.audioSeconds = static_cast<double>(bytes) / wave.blockAlign / wave.samplesPerSec;
    }
    return counts;
}

TEST(SourceDamage, FlippedBytesPlayOnLikeTheReferenceDecoder) {
    CWatchdog watchdog(600s);
    std::vector<std::string> fastStart = Recipe("libx264", "aac");
    fastStart.insert(fastStart.end(), {"-movflags", "+faststart"});
    const std::vector<unsigned> seeds{1, 2, 3};
    const CClip clips[] = {
        {"damage_h264_aac_faststart.mp4", fastStart, kKeptHeader, seeds},
        {"damage_h264_opus.mkv", Recipe("libx264", "libopus"), kKeptHeader, seeds},
        {"damage_h264_vorbis.mkv", Recipe("libx264", "libvorbis"), kKeptHeader, seeds},
        {"damage_mpeg2_mp2.ts", Recipe("mpeg2video", "mp2"), kKeptHeader, seeds},
        {"damage_mpeg4_mp3.avi", Recipe("mpeg4", "libmp3lame"), kKeptHeader, seeds},
        // The index at the end, flips anywhere: with seed 5 a sample's size is spoiled, and the
        // demuxer fails at the same sample every time it is asked again.
        {"damage_mpeg4_aac.mov", Recipe("mpeg4", "aac"), 0, {5}},
    };
    for (const CClip& clip : clips) {
        const std::string whole = ReadFile(MakeMedia(clip.name, clip.recipe));
        ASSERT_GT(whole.size(), kKeptHeader * 4) << clip.name;
        for (unsigned seed : clip.seeds) {
            const std::string name = "seed" + std::to_string(seed) + "_" + clip.name;
            SCOPED_TRACE(name);
            const std::string path = WriteFixtureFile(name, Flip(whole, clip.keptHeader, seed));
            const CCounts reference = Reference(path);
            bool ended = false;
            const CCounts delivered = Delivered(path, &ended);
            std::printf("%-28s video %4zu of %4zu frames, audio %5.2f of %5.2f s%s\n", name.c_str(),
                        delivered.videoFrames, reference.videoFrames, delivered.audioSeconds,
                        reference.audioSeconds, ended ? "" : " (no end of stream)");
            EXPECT_TRUE(ended);
            EXPECT_GE(static_cast<double>(delivered.videoFrames),
                      kMinShare * static_cast<double>(reference.videoFrames));
            EXPECT_GE(delivered.audioSeconds, kMinShare * reference.audioSeconds);
        }
    }
}

// Damage that other players get past. The AVI's signature is spoiled, so FFmpeg takes it for a
// bare MPEG-4 stream of unknown length without sound; the transport stream's picture starts
// after more sound than the probe reads, so nothing tells its size before it is decoded; the
// WebM's second cluster has its header zeroed, so the demuxer must find the next one.
TEST(SourceDamage, DamagedHeadersAndLateStreamsStillPlay) {
    CWatchdog watchdog(300s);
    const std::string avi =
        ReadFile(MakeMedia("damage_mpeg4_mp3.avi", Recipe("mpeg4", "libmp3lame")));
    const std::string webm =
        ReadFile(MakeMedia("damage_vp8_vorbis.webm", Recipe("libvpx", "libvorbis")));
    ASSERT_GT(avi.size(), 4u);
    std::string spoiledAvi = avi;
    spoiledAvi[3] = '[';
    std::string spoiledWebm = webm;
    const std::size_t firstCluster = webm.find("\x1F\x43\xB6\x75");
    const std::size_t secondCluster = webm.find("\x1F\x43\xB6\x75", firstCluster + 1);
    ASSERT_NE(secondCluster, std::string::npos);
    spoiledWebm.replace(secondCluster + 4, 16, std::string(16, '\0'));
    const std::string latePicture =
        MakeMedia("damage_late_mpeg2_after_15s.ts",
                  {"-f", "lavfi", "-i", "sine=f=440:d=20:sample_rate=48000", "-itsoffset", "15",
                   "-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=3", "-map", "0", "-map", "1",
                   "-c:a", "mp2", "-c:v", "mpeg2video"});
    const struct {
        std::string path;
        bool referenceAudio;
        double lastFrameFrom; // seconds: frames reach that far into the clip
    } files[] = {
        {WriteFixtureFile("damage_riff_signature.avi", spoiledAvi), false, 3.5},
        {latePicture, true, 2.5},
        {WriteFixtureFile("damage_second_cluster.webm", spoiledWebm), true, 3.5},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.path);
        const CCounts reference = Reference(file.path, file.referenceAudio);
        ASSERT_GT(reference.videoFrames, 50u);
        CSourceGraph graph(file.path);
        ASSERT_TRUE(SUCCEEDED(graph.loadResult));
        ASSERT_NE(graph.source.VideoPin(), nullptr);
        ASSERT_EQ(graph.Connect(), S_OK);
        CVideoInfoHeader info;
        ASSERT_TRUE(graph.video.connectedType.GetFormat(info));
        EXPECT_EQ(info.bitmap.width, 160);
        EXPECT_EQ(std::abs(info.bitmap.height), 120);
        ASSERT_EQ(graph.Run(), S_OK);
        EXPECT_TRUE(graph.WaitForEnd(30s));
        graph.Stop();
        EXPECT_GE(static_cast<double>(graph.VideoCount()),
                  kMinShare * static_cast<double>(reference.videoFrames));
        ASSERT_GT(graph.VideoCount(), 0u);
        // Output time 0 is the first sound (or picture) played, so the last picture's time says
        // how far into the clip the pictures went.
        const REFERENCE_TIME last = graph.video.samples.back().start;
        EXPECT_GE(static_cast<double>(last) / UNITS, file.lastFrameFrom);
    }
}

// The first audio stream (marked default, so FFmpeg picks it as the best one) is Vorbis whose
// set-up header is spoiled, so its decoder will not open; the second is FLAC.
TEST(SourceDamage, AStreamWhoseDecoderWillNotOpenIsLeftOutAndTheRestPlays) {
    CWatchdog watchdog(120s);
    const std::vector<std::string> audio{"-f",
                                         "lavfi",
                                         "-i",
                                         "sine=f=300:d=3",
                                         "-f",
                                         "lavfi",
                                         "-i",
                                         "sine=f=600:d=3",
                                         "-c:a:0",
                                         "libvorbis",
                                         "-c:a:1",
                                         "flac",
                                         "-disposition:a:0",
                                         "default",
                                         "-disposition:a:1",
                                         "0"};
    std::vector<std::string> withVideo{"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=3"};
    withVideo.insert(withVideo.end(), audio.begin(), audio.end());
    withVideo.insert(withVideo.end(), {"-map", "0", "-map", "1", "-map", "2", "-c:v", "libx264"});
    std::vector<std::string> audioOnly = audio;
    audioOnly.insert(audioOnly.end(), {"-map", "0", "-map", "1"});
    const struct {
        const char* name;
        std::vector<std::string> recipe;
        bool video;
    } files[] = {
        {"undecodable_vorbis_flac.mka", audioOnly, false},
        {"undecodable_h264_vorbis_flac.mkv", withVideo, true},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        std::string bytes = ReadFile(MakeMedia(file.name, file.recipe));
        const std::size_t header = bytes.find("\x01vorbis");
        ASSERT_NE(header, std::string::npos);
        bytes[header + 6] = 'X';
        const std::string path = WriteFixtureFile(std::string("spoiled_") + file.name, bytes);

        CSourceGraph graph(path);
        ASSERT_EQ(graph.loadResult, S_OK);
        const int flac = file.video ? 2 : 1;
        EXPECT_EQ(graph.source.Media().AudioIndex(), flac);
        std::vector<int> tracks;
        graph.source.Media().GetAudioStreams(tracks);
        EXPECT_EQ(tracks, std::vector<int>{flac}) << "the track that cannot play is not offered";
        EXPECT_EQ(graph.source.VideoPin() != nullptr, file.video);
        ASSERT_EQ(graph.Connect(), S_OK);
        ASSERT_EQ(graph.Run(), S_OK);
        ASSERT_TRUE(graph.WaitForEnd(30s));
        graph.Stop();
        long bytesPlayed = 0;
        for (const auto& sample : graph.audio.samples) {
            bytesPlayed += sample.length;
        }
        CWaveFormatEx wave;
        ASSERT_TRUE(graph.audio.connectedType.GetFormat(wave));
        // The audio before the first picture is left out when there is video.
        EXPECT_NEAR(static_cast<double>(bytesPlayed) / wave.avgBytesPerSec, 3.0,
                    file.video ? 0.3 : 0.1);
        if (file.video) {
            EXPECT_GE(graph.VideoCount(), 70u);
        }
    }
}

} // namespace
