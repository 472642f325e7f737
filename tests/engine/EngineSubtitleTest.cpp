// Loading a long external subtitle while a clip plays: the user-interface thread is not held up,
// pictures and sound keep coming, and the subtitle shows once it is parsed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <mutex>
#include <tuple>
#include <vector>

#include "MediaFixture.h"
#include "SanitizerLimits.h"
#include "core/WideText.h"
#include "media/VeltoSource.h"
#include "platform/graph/SoundRenderer.h"
#include "platform/graph/VideoRenderer.h"
#include "support/EngineHarness.h"

namespace {

using Clock = std::chrono::steady_clock;

// Pictures come every 40 ms; sound is pulled in chunks of about 10 to 20 ms. Three frames'
// worth of gap is still smooth to the eye.
constexpr auto kLongestGap = std::chrono::milliseconds(150);
// Starting the load: checking the file and starting a thread.
constexpr auto kLongestCall = std::chrono::milliseconds(100);
// The subtitle found beside a clip at its load: twice as long, about two seconds' conversion.
constexpr int kBesideCues = 2 * kLongSubtitleCues;

// Cue i from i s to i s + 1 s: some text is always due.
std::string LongSrt(int cues) {
    std::string srt;
    for (int i = 0; i < cues; ++i) {
        const int next = i + 1;
        char cue[96];
        std::snprintf(cue, sizeof cue, "%d\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,000\nCue %d\n\n",
                      i + 1, i / 3600, i % 3600 / 60, i % 60, next / 3600, next % 3600 / 60,
                      next % 60, i);
        srt += cue;
    }
    return srt;
}

// Wall times of the pictures shown and of the sound pulled, and whether a picture carried text
// (bright pixels in the lower third of a black clip).
class CDeliveryTap {
public:
    bool Attach(CEngineDS& engine) {
        std::vector<std::shared_ptr<IBaseFilter>> filters;
        if (!engine.Graph() || FAILED(engine.Graph()->EnumFilters(&filters))) {
            return false;
        }
        int hooked = 0;
        for (const auto& filter : filters) {
            if (auto video = QueryInterface<CVideoRenderer>(filter)) {
                video->SetFrameHook([this](REFERENCE_TIME, REFERENCE_TIME, int w, int h,
                                           const std::uint8_t* bgr) { OnFrame(w, h, bgr); });
                ++hooked;
            }
            if (auto sound = QueryInterface<CSoundRenderer>(filter)) {
                sound->SetChunkHook([this](REFERENCE_TIME, const std::uint8_t*, std::size_t) {
                    const std::lock_guard lock(m_lock);
                    chunks.push_back(Clock::now());
                });
                ++hooked;
            }
        }
        return hooked == 2;
    }

    // Under the lock: the first picture with text shown at or after `from`.
    bool TextShownSince(Clock::time_point from, Clock::time_point* at) {
        const std::lock_guard lock(m_lock);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (frames[i] >= from && withText[i]) {
                *at = frames[i];
                return true;
            }
        }
        return false;
    }

    template <class F> auto Locked(F f) {
        const std::lock_guard lock(m_lock);
        return f(*this);
    }

    std::vector<Clock::time_point> frames; // guarded by m_lock
    std::vector<bool> withText;            // guarded by m_lock
    std::vector<Clock::time_point> chunks; // guarded by m_lock

private:
    void OnFrame(int width, int height, const std::uint8_t* bgr) {
        const int rows = std::abs(height);
        int bright = 0;
        for (int y = rows * 2 / 3; y < rows; ++y) {
            const std::uint8_t* row = bgr + static_cast<std::size_t>(y) * width * 3;
            for (int x = 0; x < width; ++x) {
                bright += row[x * 3] > 160 && row[x * 3 + 1] > 160 && row[x * 3 + 2] > 160;
            }
        }
        const std::lock_guard lock(m_lock);
        frames.push_back(Clock::now());
        withText.push_back(bright > 20);
    }

    std::mutex m_lock;
};

// The longest distance between neighbouring times within [from, to].
Clock::duration LongestGap(const std::vector<Clock::time_point>& times, Clock::time_point from,
                           Clock::time_point to) {
    Clock::duration longest{0};
    Clock::time_point previous = from;
    for (Clock::time_point t : times) {
        if (t < from || t > to) {
            continue;
        }
        longest = std::max(longest, t - previous);
        previous = t;
    }
    return std::max(longest, to - previous);
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A black clip with a tone, under the given name.
std::string BlackClipWithTone(const std::string& name) {
    return MakeMedia(name, {"-f", "lavfi", "-i", "color=c=black:size=320x240:rate=25:duration=20",
                            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=20",
                            "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                            "-c:a", "aac", "-shortest"});
}

TEST(EngineSubtitleTimed, LoadingAHundredThousandCueFileKeepsPlaybackGoing) {
    const std::string clip = BlackClipWithTone("engine_black_320x240_tone_20s.mp4");
    const std::string srt =
        WriteFixtureFile("engine_long_" + std::to_string(kLongSubtitleCues) + "_cues.srt",
                         LongSrt(kLongSubtitleCues));
    // The renderers call the tap until the host is gone, so the tap outlives it.
    CDeliveryTap tap;
    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    ASSERT_EQ(host.Load(clip), 1);
    ASSERT_TRUE(tap.Attach(engine));
    host.controller.PlayPause();
    ASSERT_TRUE(PumpUntil([&] { return engine.GetPosition() >= 1.5; }));

    const Clock::time_point asked = Clock::now();
    ASSERT_TRUE(engine.LoadExternalSubtitle(Utf8ToWide(srt)));
    const Clock::duration call = Clock::now() - asked;
    Clock::time_point shown;
    ASSERT_TRUE(
        PumpUntil([&] { return tap.TextShownSince(asked, &shown); }, std::chrono::seconds(60)))
        << "the subtitle never showed";
    const Clock::time_point until = shown + std::chrono::milliseconds(200);
    PumpUntil([&] { return Clock::now() > until; });
    EXPECT_EQ(host.StateName(), L"Playing");

    const auto [frameGap, chunkGap, frameGapBefore, chunkGapBefore] = tap.Locked([&](auto& t) {
        const Clock::time_point before = asked - std::chrono::milliseconds(1000);
        return std::make_tuple(
            LongestGap(t.frames, asked, until), LongestGap(t.chunks, asked, until),
            LongestGap(t.frames, before, asked), LongestGap(t.chunks, before, asked));
    });
    std::printf("%d cues: the load call took %.1f ms, the subtitle showed after %.0f ms; longest "
                "gap between pictures %.1f ms (%.1f ms in the second before), between sound "
                "chunks %.1f ms (%.1f ms before)\n",
                kLongSubtitleCues, Ms(call), Ms(shown - asked), Ms(frameGap), Ms(frameGapBefore),
                Ms(chunkGap), Ms(chunkGapBefore));
    EXPECT_LT(call, kLongestCall);
    if (kTimeBoundsChecked) {
        EXPECT_LT(frameGap, kLongestGap);
        EXPECT_LT(chunkGap, kLongestGap);
    }
}

// The subtitle beside a clip is found by the load and loaded in the background: the load
// returns before a long file is converted, a release right after a load does not wait for the
// conversion either, and the text shows once the file is parsed.
TEST(EngineSubtitleTimed, LongSubtitleBesideTheClipHoldsUpNeitherTheLoadNorTheRelease) {
    const std::string clip = BlackClipWithTone("engine_beside_black_320x240_tone_20s.mp4");
    WriteFixtureFile(std::filesystem::path(clip).stem().string() + ".srt", LongSrt(kBesideCues));
    CDeliveryTap tap;
    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();

    const Clock::time_point asked = Clock::now();
    ASSERT_EQ(host.Load(clip), 1);
    const Clock::duration load = Clock::now() - asked;
    const std::shared_future<bool> found = engine.GetSource()->FoundSubtitle();
    ASSERT_TRUE(found.valid());
    EXPECT_EQ(found.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
        << "the load waited for the subtitle";
    ASSERT_TRUE(tap.Attach(engine));
    host.controller.PlayPause();
    Clock::time_point shown;
    ASSERT_TRUE(
        PumpUntil([&] { return tap.TextShownSince(asked, &shown); }, std::chrono::seconds(60)))
        << "the subtitle never showed";
    EXPECT_TRUE(found.get());
    EXPECT_EQ(host.StateName(), L"Playing");

    ASSERT_EQ(host.Load(clip), 1);
    const Clock::time_point releasing = Clock::now();
    host.controller.Shutdown();
    const Clock::duration release = Clock::now() - releasing;
    std::printf("%d cues beside the clip: the load took %.1f ms, the subtitle showed %.0f ms after "
                "the load began; a release during its conversion took %.1f ms\n",
                kBesideCues, Ms(load), Ms(shown - asked), Ms(release));
    // The conversion stops at the next cue: the release takes what it takes without a subtitle,
    // a fraction of the whole load's time however loaded the machine is.
    if (kTimeBoundsChecked) {
        EXPECT_LT(release, (shown - asked) / 2);
    }
}

} // namespace
