#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "MediaFixture.h"
#include "media/AudioDecoder.h"
#include "support/DecoderHarness.h"

namespace {

std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& pcm) {
    std::vector<std::int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    return samples;
}

// Largest absolute sample of one channel of interleaved PCM.
int Peak(const std::vector<std::int16_t>& samples, int channels, int channel) {
    int peak = 0;
    for (std::size_t i = channel; i < samples.size(); i += channels) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return peak;
}

TEST(AudioDecoderTest, DecodedLengthMatchesTheDurationInStereoOrMono) {
    struct CCase {
        std::string name;
        std::vector<std::string> args;
        int rate, channels, packetSamples;
    };
    const CCase cases[] = {
        {"audio_sine_stereo_44k_2s_aac.mp4",
         {"-f", "lavfi", "-i", "sine=d=2:sample_rate=44100", "-ac", "2", "-c:a", "aac"},
         44100,
         2,
         1024},
        {"audio_sine_mono_44k_2s.mp3",
         {"-f", "lavfi", "-i", "sine=d=2:sample_rate=44100", "-ac", "1", "-c:a", "libmp3lame"},
         44100,
         1,
         1152},
        {"audio_sine_6ch_48k_2s.ac3",
         {"-f", "lavfi", "-i", "sine=d=2:sample_rate=48000", "-af",
          "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:a", "ac3"},
         48000,
         2,
         1536},
        {"audio_sine_stereo_22k_2s_f32.wav",
         {"-f", "lavfi", "-i", "sine=d=2:sample_rate=22050", "-ac", "2", "-c:a", "pcm_f32le"},
         22050,
         2,
         4096},
    };
    for (const CCase& test : cases) {
        SCOPED_TRACE(test.name);
        CDecoderHarness source(MakeMedia(test.name, test.args));
        ASSERT_EQ(source.ParseResult(), S_OK);
        ASSERT_EQ(source.Media().AudioConversion().targetChannels, test.channels);
        source.FillAll();
        const std::vector<std::uint8_t> pcm = source.DecodeAudio(576000);
        const long expected = 2L * test.rate * test.channels * 2;
        EXPECT_NEAR(static_cast<long>(pcm.size()), expected,
                    test.packetSamples * test.channels * 2);
        const std::vector<std::int16_t> samples = Samples(pcm);
        for (int channel = 0; channel < test.channels; ++channel) {
            EXPECT_GT(Peak(samples, test.channels, channel), 1000) << "channel " << channel;
        }
    }
}

TEST(AudioDecoderTest, SixteenBitStereoIsCopiedUnchanged) {
    const std::vector<std::string> sine{"-f",  "lavfi", "-i", "sine=d=1:sample_rate=44100",
                                        "-ac", "2"};
    std::vector<std::string> asWav = sine;
    asWav.insert(asWav.end(), {"-c:a", "pcm_s16le"});
    std::vector<std::string> asRaw = sine;
    asRaw.insert(asRaw.end(), {"-f", "s16le"});
    CDecoderHarness source(MakeMedia("audio_sine_stereo_44k_1s_s16.wav", asWav));
    ASSERT_EQ(source.ParseResult(), S_OK);
    source.FillAll();
    const std::vector<std::uint8_t> pcm = source.DecodeAudio(576000);
    std::ifstream raw(MakeMedia("audio_sine_stereo_44k_1s_s16.raw", asRaw), std::ios::binary);
    const std::vector<std::uint8_t> expected((std::istreambuf_iterator<char>(raw)),
                                             std::istreambuf_iterator<char>());
    ASSERT_EQ(pcm.size(), 44100u * 2 * 2);
    EXPECT_TRUE(pcm == expected);
    EXPECT_FALSE(source.Media().AudioConversion().resampler);
}

TEST(AudioDecoderTest, SmallSamplesLoseNothing) {
    const std::string clip =
        MakeMedia("audio_sine_stereo_44k_2s_aac.mp4",
                  {"-f", "lavfi", "-i", "sine=d=2:sample_rate=44100", "-ac", "2", "-c:a", "aac"});
    CDecoderHarness large(clip);
    CDecoderHarness small(clip);
    ASSERT_EQ(large.ParseResult(), S_OK);
    ASSERT_EQ(small.ParseResult(), S_OK);
    large.FillAll();
    small.FillAll();
    const std::vector<std::uint8_t> whole = large.DecodeAudio(576000);
    // Smaller than one decoded chunk: the rest of each chunk must wait for the next sample.
    const std::vector<std::uint8_t> pieces = small.DecodeAudio(1000);
    EXPECT_GT(whole.size(), 300000u);
    EXPECT_TRUE(whole == pieces) << whole.size() << " vs " << pieces.size();
}

TEST(AudioDecoderTest, StampsAndEndOfStream) {
    CDecoderHarness source(
        MakeMedia("audio_sine_stereo_44k_4s_aac.mp4",
                  {"-f", "lavfi", "-i", "sine=d=4:sample_rate=44100", "-ac", "2", "-c:a", "aac"}));
    ASSERT_EQ(source.ParseResult(), S_OK);
    std::vector<std::uint8_t> sample(576000);
    CVeltoAudioDecoder decoder;
    int bytes = -1;
    REFERENCE_TIME first = -1;
    REFERENCE_TIME next = -1;
    source.AudioQueue()->Abort(); // nothing queued: an unaborted fill would wait for ever
    EXPECT_FALSE(decoder.FillAudio(source, sample.data(), &bytes, 576000, &first, &next));
    EXPECT_EQ(bytes, 0);
    source.AudioQueue()->Resume();
    source.FillAll();

    next = 0;
    ASSERT_TRUE(decoder.FillAudio(source, sample.data(), &bytes, 576000, &first, &next));
    EXPECT_GE(bytes, CVeltoAudioDecoder::kFillTarget);
    EXPECT_GT(next, first);
    const REFERENCE_TIME secondFirst = next;
    ASSERT_TRUE(decoder.FillAudio(source, sample.data(), &bytes, 576000, &first, &next));
    // Each sample starts where the previous one's next stamp said.
    EXPECT_EQ(first, secondFirst);
    // The last fill ends the stream but keeps what it copied.
    while (decoder.FillAudio(source, sample.data(), &bytes, 576000, &first, &next)) {
    }
    EXPECT_GT(bytes, 0);
    EXPECT_FALSE(decoder.FillAudio(source, sample.data(), &bytes, 576000, &first, &next));
    EXPECT_EQ(bytes, 0);
}

} // namespace
