#include <gtest/gtest.h>

#include <future>
#include <limits>
#include <thread>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "platform/PlatformLog.h"
#include "platform/graph/VideoRenderer.h"
#include "support/RenderTestSupport.h"

namespace {

using namespace std::chrono_literals;

constexpr REFERENCE_TIME kMs = UNITS / 1000;
constexpr int kWidth = 8;
constexpr int kHeight = 4;

// A frame whose every byte is `tag`, so that the hook can tell frames apart.
std::vector<std::uint8_t> Frame(std::uint8_t tag) {
    return std::vector<std::uint8_t>(kWidth * kHeight * 3, tag);
}

struct Shown {
    REFERENCE_TIME sampleStart;
    REFERENCE_TIME shownAt;
    std::uint8_t tag;
};

// A connected renderer on a hand-moved clock, recording the frames it shows.
struct VideoRig {
    CManualClock clock;
    CEventRecorder events;
    CVideoRenderer renderer;
    CTestSamples samples{kWidth * kHeight * 3};
    std::mutex lock;
    std::vector<Shown> shown; // guarded by lock
    REFERENCE_TIME start = 0;
    std::function<void(const std::uint8_t* bgr)> onFrame; // set before delivering, if at all

    VideoRig() {
        renderer.SetSyncSource(&clock);
        renderer.SetEventSink(&events);
        EXPECT_EQ(renderer.ReceiveConnection(nullptr, RgbType(kWidth, -kHeight)), S_OK);
        renderer.SetFrameHook([this](REFERENCE_TIME sampleStart, REFERENCE_TIME at, int, int,
                                     const std::uint8_t* bgr) {
            if (onFrame) {
                onFrame(bgr);
            }
            std::lock_guard guard(lock);
            shown.push_back({sampleStart, at, bgr[0]});
        });
    }
    ~VideoRig() { renderer.Stop(); }

    void Run() {
        start = clock.now + 10 * kMs;
        ASSERT_EQ(renderer.Run(start), S_OK);
    }
    // Delivers on a thread of its own, like the pin's delivery thread.
    std::future<HRESULT> Deliver(std::uint8_t tag, REFERENCE_TIME at, REFERENCE_TIME length) {
        return std::async(std::launch::async, [this, tag, at, length] {
            CSamplePtr sample = samples.Make(Frame(tag), at, at + length);
            return renderer.Receive(*sample);
        });
    }
    std::vector<Shown> Shown_() {
        std::lock_guard guard(lock);
        return shown;
    }
    bool WaitShown(std::size_t count) {
        for (int i = 0; i < 200; ++i) {
            if (Shown_().size() >= count) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
};

TEST(VideoRenderer, AcceptsOnlyShowableTwentyFourBitFrames) {
    CVideoRenderer renderer;
    EXPECT_EQ(renderer.QueryAccept(RgbType(640, -480)), S_OK);
    EXPECT_EQ(renderer.QueryAccept(RgbType(640, 480)), S_OK); // bottom-up rows
    EXPECT_EQ(renderer.QueryAccept(RgbType(640, -480, 32)), S_FALSE);
    EXPECT_EQ(renderer.QueryAccept(RgbType(0, -480)), S_FALSE);
    EXPECT_EQ(renderer.QueryAccept(RgbType(640, 0)), S_FALSE);
    EXPECT_EQ(renderer.QueryAccept(RgbType(640, -100000)), S_FALSE);
    CMediaType yuy2 = RgbType(640, -480);
    yuy2.subType = ESubType::YUY2; // the renderer proposes nothing and shows only RGB
    EXPECT_EQ(renderer.QueryAccept(yuy2), S_FALSE);
    CMediaType shortBlock = RgbType(640, -480);
    shortBlock.format.resize(60);
    EXPECT_EQ(renderer.QueryAccept(shortBlock), S_FALSE);

    long width = 0, height = 0;
    EXPECT_EQ(renderer.GetVideoSize(&width, &height), E_UNEXPECTED);
    ASSERT_EQ(renderer.ReceiveConnection(nullptr, RgbType(640, -480)), S_OK);
    ASSERT_EQ(renderer.GetVideoSize(&width, &height), S_OK);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(renderer.ReceiveConnection(nullptr, RgbType(320, -240)), E_UNEXPECTED);
}

TEST(VideoRenderer, PausedShowsTheFirstFrameAndHoldsItUntilRun) {
    VideoRig rig;
    ASSERT_EQ(rig.renderer.Pause(), S_OK);
    auto first = rig.Deliver(1, 0, 40 * kMs);
    ASSERT_TRUE(rig.WaitShown(1));
    EXPECT_EQ(first.wait_for(200ms), std::future_status::timeout) << "a paused renderer holds";

    rig.Run();
    ASSERT_EQ(first.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(first.get(), S_OK);

    // The next frame waits for its time on the clock.
    auto second = rig.Deliver(2, 40 * kMs, 40 * kMs);
    rig.clock.now = rig.start + 20 * kMs;
    EXPECT_EQ(second.wait_for(150ms), std::future_status::timeout);
    rig.clock.now = rig.start + 40 * kMs;
    ASSERT_EQ(second.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(second.get(), S_OK);

    const auto shown = rig.Shown_();
    ASSERT_EQ(shown.size(), 2u) << "the held frame is not shown again";
    EXPECT_EQ(shown[0].tag, 1);
    EXPECT_EQ(shown[1].tag, 2);
    EXPECT_EQ(shown[1].shownAt, rig.start + 40 * kMs);
}

TEST(VideoRenderer, DropsFramesLaterThanTheirDuration) {
    VideoRig rig;
    rig.Run();
    rig.clock.now = rig.start + 1000 * kMs;
    EXPECT_EQ(rig.Deliver(1, 0, 40 * kMs).get(), S_OK);
    EXPECT_EQ(rig.Deliver(2, 900 * kMs, 40 * kMs).get(), S_OK);
    EXPECT_EQ(rig.Deliver(3, 970 * kMs, 40 * kMs).get(), S_OK); // 30 ms late: still shown
    EXPECT_EQ(rig.Deliver(4, 1000 * kMs, 0).get(), S_OK);       // no duration: the default
    const auto shown = rig.Shown_();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].tag, 3);
    EXPECT_EQ(shown[1].tag, 4);
    int dropped = 0;
    EXPECT_EQ(rig.renderer.get_FramesDroppedInRenderer(&dropped), S_OK);
    EXPECT_EQ(dropped, 2);
}

// Each frame delivered is either presented or dropped, and the clip's counts are logged once at
// its end; a new clip counts from zero.
TEST(VideoRenderer, CountsFramesPresentedAndDroppedPerClipAndLogsThemAtItsEnd) {
    std::mutex linesLock;
    std::vector<std::string> lines; // guarded by linesLock
    SetPlatformLog([&](int, const std::string& where, const std::string& text) {
        std::lock_guard guard(linesLock);
        lines.push_back(where + ": " + text);
    });
    const auto Lines = [&] {
        std::lock_guard guard(linesLock);
        return lines;
    };
    VideoRig rig;
    rig.Run();
    constexpr int kFrames = 20;
    for (int i = 0; i < kFrames; ++i) {
        const REFERENCE_TIME at = i * 40 * kMs;
        // Every third frame comes 100 ms after its time, beyond its 40 ms.
        rig.clock.now = rig.start + at + (i % 3 == 0 ? 100 * kMs : 0);
        ASSERT_EQ(rig.Deliver(static_cast<std::uint8_t>(i), at, 40 * kMs).get(), S_OK);
    }
    int drawn = -1, dropped = -1;
    ASSERT_EQ(rig.renderer.get_FramesDrawn(&drawn), S_OK);
    ASSERT_EQ(rig.renderer.get_FramesDroppedInRenderer(&dropped), S_OK);
    EXPECT_EQ(drawn + dropped, kFrames);
    EXPECT_EQ(dropped, 7);
    EXPECT_EQ(static_cast<int>(rig.Shown_().size()), drawn);
    EXPECT_EQ(rig.renderer.get_FramesDrawn(nullptr), E_POINTER);
    EXPECT_TRUE(Lines().empty()) << "nothing is logged before the clip ends";

    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    rig.renderer.Stop(); // nothing new since the end: no second line
    EXPECT_EQ(Lines(), std::vector<std::string>{
                           "CVideoRenderer::EndOfStream: frames presented: 13, dropped: 7"});
    ASSERT_EQ(rig.renderer.get_FramesDrawn(&drawn), S_OK);
    EXPECT_EQ(drawn, 13) << "the counts stay readable after the clip";

    // The next clip is stopped before its end.
    rig.Run();
    rig.clock.now = rig.start;
    ASSERT_EQ(rig.Deliver(1, 0, 40 * kMs).get(), S_OK);
    rig.renderer.Stop();
    SetPlatformLog(nullptr);
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[1], "CVideoRenderer::Stop: frames presented: 1, dropped: 0");
}

// A frame far ahead of the clock is waited for without reading the clock again and again; a
// flush, a jump of the clock to its time, or a stop ends the wait at once.
TEST(VideoRenderer, AFarFutureFrameWaitsWithoutPollingUntilAFlushJumpOrStop) {
    VideoRig rig;
    rig.Run();
    const REFERENCE_TIME hour = 3600 * UNITS;
    auto waiting = rig.Deliver(1, hour, 40 * kMs);
    ASSERT_EQ(waiting.wait_for(200ms), std::future_status::timeout);
    EXPECT_LE(rig.clock.reads.load(), 2) << "the clock was polled";
    rig.renderer.BeginFlush();
    ASSERT_EQ(waiting.wait_for(500ms), std::future_status::ready);
    EXPECT_EQ(waiting.get(), S_OK);
    EXPECT_EQ(rig.Deliver(2, 0, 40 * kMs).get(), S_OK); // discarded while flushing
    rig.renderer.EndFlush();
    EXPECT_TRUE(rig.Shown_().empty());

    waiting = rig.Deliver(3, hour, 40 * kMs);
    ASSERT_EQ(waiting.wait_for(200ms), std::future_status::timeout);
    rig.clock.JumpTo(rig.start + hour);
    const bool heard = waiting.wait_for(500ms) == std::future_status::ready;
    if (!heard) {
        rig.renderer.Stop(); // so that the delivery ends before the test does
    }
    ASSERT_TRUE(heard) << "the jump was not heard";
    EXPECT_EQ(waiting.get(), S_OK);
    ASSERT_EQ(rig.Shown_().size(), 1u);
    EXPECT_EQ(rig.Shown_()[0].shownAt, rig.start + hour);

    // A damaged file's stamp near the end of time: still one wait, not a loop of them.
    const int readsBefore = rig.clock.reads.load();
    waiting = rig.Deliver(4, std::numeric_limits<REFERENCE_TIME>::max() / 2, 40 * kMs);
    ASSERT_EQ(waiting.wait_for(200ms), std::future_status::timeout);
    EXPECT_LE(rig.clock.reads.load() - readsBefore, 2) << "the wait for a far stamp spun";
    rig.renderer.Stop();
    ASSERT_EQ(waiting.wait_for(500ms), std::future_status::ready);
    EXPECT_EQ(waiting.get(), E_UNEXPECTED);
    EXPECT_EQ(rig.Shown_().size(), 1u);
}

TEST(VideoRenderer, EndOfStreamCompletesOncePerStreamAndOnlyWhenRunning) {
    VideoRig rig;
    ASSERT_EQ(rig.renderer.Pause(), S_OK);
    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    EXPECT_EQ(rig.Deliver(1, 0, 40 * kMs).get(), VFW_E_SAMPLE_REJECTED_EOS);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rig.events.CountOf(EC_COMPLETE), 0u) << "not while paused";
    rig.Run();
    ASSERT_TRUE(rig.events.WaitFor(EC_COMPLETE, 1, 1s));
    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    rig.renderer.Pause();
    rig.Run();

    // A seek: an end of stream during the flush is forgotten, a new one completes again.
    rig.renderer.BeginFlush();
    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    rig.renderer.EndFlush();
    rig.clock.now = rig.start;
    EXPECT_EQ(rig.Deliver(2, 0, 40 * kMs).get(), S_OK);
    EXPECT_EQ(rig.events.CountOf(EC_COMPLETE), 1u);
    ASSERT_EQ(rig.renderer.EndOfStream(), S_OK);
    EXPECT_EQ(rig.events.CountOf(EC_COMPLETE), 2u);
}

TEST(VideoRenderer, RefusesSamplesThatDoNotHoldAWholeFrame) {
    VideoRig rig;
    rig.Run();
    CTestSamples small(kWidth * kHeight * 3);
    CSamplePtr sample = small.Make(std::vector<std::uint8_t>(kWidth * kHeight * 3 - 1, 9), 0);
    EXPECT_EQ(rig.renderer.Receive(*sample), E_INVALIDARG);
    CMediaType other = RgbType(kWidth * 2, -kHeight);
    sample->SetActualDataLength(kWidth * kHeight * 3);
    sample->SetMediaType(&other);
    EXPECT_EQ(rig.renderer.Receive(*sample), E_INVALIDARG);
    EXPECT_TRUE(rig.Shown_().empty());
}

// A lent 4:2:0 picture is shown from the decoder's planes, with no bytes in the sample; the hook
// sees it in B,G,R at the video's size with its overlay drawn at that size, and the picture goes
// back when the sample does.
TEST(VideoRenderer, ShowsALentPictureAndLetsItGoWithTheSample) {
    VideoRig rig;
    const IInputPin& pin = rig.renderer;
    EXPECT_TRUE(pin.TakesPictures());
    rig.Run();
    std::vector<std::uint8_t> luma(kWidth * kHeight, 235); // white
    std::vector<std::uint8_t> chroma(kWidth * kHeight / 2, 128);
    auto picture = std::make_shared<CVideoPicture>();
    picture->planes[0] = luma.data();
    picture->planes[1] = chroma.data();
    picture->planes[2] = chroma.data() + chroma.size() / 2;
    picture->strides[0] = kWidth;
    picture->strides[1] = picture->strides[2] = kWidth / 2;
    picture->pixelFormat = AV_PIX_FMT_YUV420P;
    picture->width = kWidth;
    picture->height = kHeight;
    const auto overlay = std::make_shared<CCornerOverlay>();
    picture->overlay = overlay;
    rig.onFrame = [](const std::uint8_t* bgr) {
        const std::uint8_t* corner = bgr + (kWidth * kHeight - 1) * 3;
        EXPECT_EQ(std::vector<std::uint8_t>(corner, corner + 3),
                  (std::vector<std::uint8_t>{1, 2, 3}));
    };
    std::weak_ptr<const CVideoPicture> lent = picture;
    {
        CSamplePtr sample = rig.samples.Make({}); // untimed: shown at once
        sample->SetPicture(std::move(picture));
        EXPECT_EQ(rig.renderer.Receive(*sample), S_OK);
    }
    EXPECT_TRUE(lent.expired());
    const auto shown = rig.Shown_();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_GE(shown[0].tag, 250);
    EXPECT_EQ(overlay->Drawn(), (std::vector<std::array<int, 3>>{{kWidth, kHeight, 3}}));
}

} // namespace
