#include "SanitizerLimits.h"
#include "SubtitleTestSupport.h"

#include "media/Subtitle.h"
#include "media/SubtitleBlend.h"
#include "media/SubtitleStyle.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

const char* const kTwoCueSrt = "1\n00:00:01,000 --> 00:00:02,000\nHello\n\n"
                               "2\n00:00:05,000 --> 00:00:06,000\nAgain\n";

class SubtitleRenderTest : public CSubtitleTestBase {
protected:
    void SetUp() override {
        CSubtitleTestBase::SetUp();
        ASSERT_TRUE(m_subtitle.Initial(kWidth, kHeight));
    }

    // Draws the stream text at ms into a fresh black frame.
    CTestFrame DrawInternal(const std::string& text, std::int64_t ms, int* y = nullptr) {
        CTestFrame frame(kWidth, kHeight);
        int line = kHeight - 32;
        m_subtitle.BlendSubtitleInternal(frame.data(), ms, text.c_str(), line);
        if (y != nullptr) {
            *y = line;
        }
        return frame;
    }
    CTestFrame DrawExternal(std::int64_t ms) {
        CTestFrame frame(kWidth, kHeight);
        int line = kHeight - 32;
        m_subtitle.DrawExternal(frame.data(), ms, line);
        return frame;
    }

    CSubtitle m_subtitle;
};

TEST(SubtitleStyleTest, TemporaryTracksTakeTheVideoSize) {
    CAssLibraryPtr library(ass_library_init());
    CAssTrackPtr pal = NewTemporaryTrack(library.get(), 720, 576);
    ASSERT_TRUE(pal);
    EXPECT_NEAR(pal->styles[0].FontSize, 28.224, 1e-9);
    EXPECT_EQ(pal->PlayResX, 720);
    EXPECT_STREQ(pal->styles[0].Name, "Default");
    EXPECT_EQ(pal->styles[0].PrimaryColour, 0xFFFFFF00u);
    EXPECT_EQ(pal->styles[0].Alignment, 2);

    CAssTrackPtr unknown = NewTemporaryTrack(library.get(), 0, 0);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->PlayResX, 384);
    EXPECT_EQ(unknown->PlayResY, 288);
    EXPECT_FALSE(NewTemporaryTrack(nullptr, 720, 576));
}

TEST(SubtitleBlendTest, AlphaBlendWritesBlueGreenRedAndClipsAtTheEdges) {
    const unsigned char alpha[] = {255, 128, 0, 255, 255, 255};
    ASS_Image image{};
    image.w = 3;
    image.h = 2;
    image.stride = 3;
    image.bitmap = const_cast<unsigned char*>(alpha);
    image.color = 0x11223300; // red 0x11, green 0x22, blue 0x33, opaque
    image.dst_x = 1;
    image.dst_y = 0;

    CTestFrame frame(3, 2);
    for (std::size_t i = 0; i < frame.pixels.size(); i += 3) {
        frame.pixels[i] = 100;
        frame.pixels[i + 1] = 150;
        frame.pixels[i + 2] = 200;
    }
    // Shifted one column right and one row up: the image's first row and last column fall out.
    BlendAssImage(frame.data(), 3, 2, image, 1, -1);
    const std::vector<std::uint8_t> expected = {100, 150, 200, 100, 150, 200, 0x33, 0x22, 0x11,
                                                100, 150, 200, 100, 150, 200, 100,  150,  200};
    EXPECT_EQ(frame.pixels, expected);

    // Half alpha, half transparent colour: a = 128 * 127 / 255 = 63.
    image.color = 0x11223380;
    image.dst_x = 0;
    image.dst_y = 0;
    CTestFrame half(1, 1);
    half.pixels = {100, 150, 200};
    image.bitmap = const_cast<unsigned char*>(alpha + 1);
    image.w = image.h = 1;
    BlendAssImage(half.data(), 1, 1, image, 0, 0);
    EXPECT_EQ(half.pixels, (std::vector<std::uint8_t>{87, 121, 154}));
}

TEST(SubtitleBlendTest, TextBlocksAreCentredAndStackedTenPixelsApart) {
    const unsigned char alpha[200] = {};
    ASS_Image lower{};
    lower.w = 40;
    lower.h = 20;
    lower.stride = 40;
    lower.bitmap = const_cast<unsigned char*>(alpha);
    lower.dst_x = 10;
    lower.dst_y = 150;
    ASS_Image lowerPart = lower;
    lowerPart.dst_x = 60;
    lowerPart.dst_y = 160; // box: x 10..100, y 150..180
    lower.next = &lowerPart;

    const CTextPlacement first = PlaceTextBlock(&lower, 320, 240, 208);
    EXPECT_EQ(first.dx, (320 + 10 - 100) / 2 - 10);
    EXPECT_EQ(first.dy, 208 - 30 - 150);
    EXPECT_EQ(first.nextY, 208 - 30 - 10);

    ASS_Image upper = lower;
    upper.next = nullptr;
    upper.dst_y = 300; // starts below the frame: the box clamps to the last row
    const CTextPlacement second = PlaceTextBlock(&upper, 320, 240, first.nextY);
    EXPECT_EQ(second.nextY, first.nextY - 10);
}

TEST(SubtitleBlendTest, PaletteBitmapsAreOpaqueBlueGreenRedAndSkipTransparency) {
    CSubtitleBitmap bitmap;
    bitmap.x = 1;
    bitmap.y = 0;
    bitmap.w = 4;
    bitmap.h = 1;
    bitmap.indexes = {0, 1, 2, 9}; // 9 lies beyond the palette
    bitmap.palette = {0, 0xFF102030, 0x00FFFFFF};
    CTestFrame frame(4, 1);
    DrawPaletteBitmap(frame.data(), 4, 1, bitmap);
    EXPECT_EQ(frame.pixels,
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0x30, 0x20, 0x10, 0, 0, 0}));

    CTestFrame untouched(4, 1);
    bitmap.indexes = {1, 1, 1}; // smaller than w x h
    DrawPaletteBitmap(untouched.data(), 4, 1, bitmap);
    bitmap.indexes = {1, 1, 1, 1};
    bitmap.x = -1000000;
    DrawPaletteBitmap(untouched.data(), 4, 1, bitmap);
    EXPECT_TRUE(untouched.Blank());
}

TEST_F(SubtitleRenderTest, StreamTextShowsOnlyInsideItsTimes) {
    const std::string line =
        CSubtitle::AssDialogueFromRect("3,0,Default,,0,0,0,,Hello", 1000, 2000);
    EXPECT_EQ(line, "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hello");
    EXPECT_EQ(CSubtitle::AssDialogueFromRect(line.c_str(), 0, 0), line);

    int y = 0;
    const CTestFrame inside = DrawInternal(line, 1500, &y);
    ASSERT_FALSE(inside.Blank());
    const auto [top, bottom] = inside.DrawnRows();
    EXPECT_LE(bottom, kHeight - 33);
    EXPECT_LT(y, top);
    EXPECT_TRUE(DrawInternal(line, 999).Blank());
    EXPECT_TRUE(DrawInternal(line, 2500).Blank());
    EXPECT_TRUE(DrawInternal("", 1500).Blank());
}

TEST_F(SubtitleRenderTest, SecondTextGoesAboveTheFirst) {
    const std::string first = CSubtitle::AssDialogueFromRect("0,0,Default,,0,0,0,,Lower", 0, 5000);
    const std::string second = CSubtitle::AssDialogueFromRect("1,0,Default,,0,0,0,,Upper", 0, 5000);
    int y = kHeight - 32;
    const CTestFrame alone = DrawInternal(first, 100, &y);
    const int afterFirst = y;

    CTestFrame both(kWidth, kHeight);
    y = kHeight - 32;
    m_subtitle.BlendSubtitleInternal(both.data(), 100, first.c_str(), y);
    EXPECT_EQ(y, afterFirst);
    m_subtitle.BlendSubtitleInternal(both.data(), 100, second.c_str(), y);
    EXPECT_LT(y, afterFirst);

    int lowestNewRow = -1;
    for (int row = 0; row < kHeight; ++row) {
        for (int i = 0; i < kWidth * 3; ++i) {
            const std::size_t at = static_cast<std::size_t>(row) * kWidth * 3 + i;
            if (both.pixels[at] != alone.pixels[at]) {
                lowestNewRow = row;
            }
        }
    }
    ASSERT_GE(lowestNewRow, 0);
    EXPECT_LT(lowestNewRow, afterFirst);
}

TEST_F(SubtitleRenderTest, ExternalSrtNextToTheMediaIsFoundConvertedAndDrawn) {
    Write("movies/clip.srt", kTwoCueSrt);
    const std::wstring media = Write("movies/clip.mkv", "");
    ASSERT_TRUE(m_subtitle.FindSubtitle(media).get());
    EXPECT_FALSE(DrawExternal(1500).Blank());
    EXPECT_FALSE(DrawExternal(5500).Blank());
    EXPECT_TRUE(DrawExternal(500).Blank());
    EXPECT_TRUE(DrawExternal(3000).Blank());

    std::vector<std::wstring> list;
    std::wstring current;
    m_subtitle.ListSubtitles(media, list, current);
    EXPECT_EQ(list, std::vector<std::wstring>{Utf8ToWide(m_root + "movies/clip.srt")});
    EXPECT_EQ(current, list[0]);

    m_subtitle.DropExternal();
    EXPECT_TRUE(DrawExternal(1500).Blank());
    m_subtitle.ListSubtitles(media, list, current);
    EXPECT_EQ(current, L"");
}

TEST_F(SubtitleRenderTest, AssIsPreferredAndHandPickedFilesAreListedAfterTheFound) {
    Write("movies/clip.en.srt", kTwoCueSrt);
    Write("movies/clip.ASS",
          "[Script Info]\nScriptType: v4.00+\nPlayResY: 240\n\n[Events]\nFormat: Layer, Start, "
          "End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
          "Dialogue: 0,0:00:10.00,0:00:11.00,Default,,0,0,0,,From ass\n");
    const std::wstring picked = Write("elsewhere/other.srt", kTwoCueSrt);
    const std::wstring media = Write("movies/clip.mkv", "");
    ASSERT_TRUE(m_subtitle.FindSubtitle(media).get());
    EXPECT_FALSE(DrawExternal(10500).Blank());
    EXPECT_TRUE(DrawExternal(1500).Blank());

    ASSERT_TRUE(m_subtitle.LoadSubtitle(picked));
    ASSERT_TRUE(m_subtitle.LoadSubtitle(picked)); // listed once
    std::vector<std::wstring> list;
    std::wstring current;
    m_subtitle.ListSubtitles(media, list, current);
    EXPECT_EQ(list, (std::vector<std::wstring>{Utf8ToWide(m_root + "movies/clip.en.srt"),
                                               Utf8ToWide(m_root + "movies/clip.ASS"), picked}));
    EXPECT_EQ(current, picked);
}

TEST_F(SubtitleRenderTest, UnloadableFileTearsDownUntilTheNextInitial) {
    const std::string line = CSubtitle::AssDialogueFromRect("0,0,Default,,0,0,0,,Text", 0, 5000);
    EXPECT_FALSE(m_subtitle.LoadSubtitle(Write("notes.txt", kTwoCueSrt)));
    EXPECT_TRUE(DrawInternal(line, 100).Blank());
    EXPECT_FALSE(m_subtitle.LoadSubtitle(Write("again.srt", kTwoCueSrt)));

    ASSERT_TRUE(m_subtitle.Initial(kWidth, kHeight));
    EXPECT_FALSE(DrawInternal(line, 100).Blank());
}

TEST_F(SubtitleRenderTest, GarbageNeverCrashes) {
    std::string garbage = "[Script Info]\nPlayResX: -5\nPlayResY: 99999999999\n[Events]\n"
                          "Format: Layer, Start, End, Text\n"
                          "Dialogue: 0,9:99:99.99,-1:00:00.00,{\\fs100000\\pos(-99999,99999)}X\n"
                          "Dialogue: 0,0:00:00.00,0:00:09.00,{\\p1}m 0 0 l 999999 999999{\\p0}\n"
                          "Dialogue: ,,,\n\x01\x02\xFF\xFE garbage\n[V4+ Styles]\nStyle: ,,,,\n";
    for (int i = 0; i < 256; ++i) {
        garbage += static_cast<char>(i == '\n' ? ' ' : i);
    }
    m_subtitle.LoadSubtitle(Write("bad.ass", garbage));
    for (std::int64_t ms : {-1000LL, 0LL, 500LL, 5000LL, 1LL << 40}) {
        DrawExternal(ms);
        DrawInternal(garbage, ms);
    }
    CSubtitleBitmap empty;
    CTestFrame frame(kWidth, kHeight);
    m_subtitle.DrawBitmap(frame.data(), empty);
    m_subtitle.DrawBitmap(nullptr, empty);
    int y = 0;
    m_subtitle.DrawExternal(nullptr, 0, y);
    EXPECT_TRUE(frame.Blank());
}

// Cue i from i s to i s + 900 ms.
std::string LongSrt(int cues) {
    std::string srt;
    for (int i = 0; i < cues; ++i) {
        char cue[96];
        std::snprintf(cue, sizeof cue, "%d\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,900\nCue %d\n\n",
                      i + 1, i / 3600, i % 3600 / 60, i % 60, i / 3600, i % 3600 / 60, i % 60, i);
        srt += cue;
    }
    return srt;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

using SubtitleRenderTimed = SubtitleRenderTest;

// The video thread draws while it holds the media lock that the audio thread needs too: no draw
// may wait for a long file being converted, parsed or freed on another thread.
TEST_F(SubtitleRenderTimed, HundredThousandCueFileLoadsWithoutHoldingUpDrawing) {
    const std::wstring srt = Write("long.srt", LongSrt(kLongSubtitleCues));
    const std::string line = CSubtitle::AssDialogueFromRect("0,0,Default,,0,0,0,,Beside", 0, 9000);
    std::atomic<bool> stop{false};
    std::atomic<long long> longestWaitUs{0};
    std::thread drawer([&] {
        CTestFrame frame(kWidth, kHeight);
        const CSubtitleBitmap none;
        while (!stop) {
            // Drawing an empty bitmap does nothing but take the renderer's lock: its time is the
            // wait for the lock, without libass's own rendering work.
            const auto started = std::chrono::steady_clock::now();
            m_subtitle.DrawBitmap(frame.data(), none);
            const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - started)
                                  .count();
            longestWaitUs = std::max<long long>(longestWaitUs, took);
            int y = kHeight - 32;
            m_subtitle.BlendSubtitleInternal(frame.data(), 1500, line.c_str(), y);
            m_subtitle.DrawExternal(frame.data(), 1500, y);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    // The second load replaces the first one's track.
    const auto started = std::chrono::steady_clock::now();
    const bool first = m_subtitle.LoadSubtitle(srt);
    const auto firstDone = std::chrono::steady_clock::now();
    const bool second = m_subtitle.LoadSubtitle(srt);
    const auto secondDone = std::chrono::steady_clock::now();
    stop = true;
    drawer.join();

    std::printf("%d cues: loads took %.0f ms and %.0f ms; longest wait to draw meanwhile %.1f ms\n",
                kLongSubtitleCues, Milliseconds(firstDone - started),
                Milliseconds(secondDone - firstDone), static_cast<double>(longestWaitUs) / 1000.0);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_FALSE(DrawExternal(3600 * 1000 + 500).Blank());
    EXPECT_TRUE(DrawExternal(3600 * 1000 + 950).Blank());
    if (kTimeBoundsChecked) {
        EXPECT_LT(longestWaitUs, 50000);
    }
}

// A background load ends with its result; a later load, a drop, a teardown or a new file wins
// over one still running, whose track then never shows.
TEST_F(SubtitleRenderTest, BackgroundLoadSwapsInUnlessSomethingCameAfterIt) {
    constexpr auto kLimit = std::chrono::seconds(60);
    const std::wstring shortSrt = Write("short.srt", kTwoCueSrt);
    const std::wstring longSrt = Write("long.srt", LongSrt(kLongSubtitleCues));
    const std::string line = CSubtitle::AssDialogueFromRect("0,0,Default,,0,0,0,,Text", 0, 5000);
    const auto current = [&] {
        std::vector<std::wstring> list;
        std::wstring path;
        m_subtitle.ListSubtitles(Write("media/clip.mkv", ""), list, path);
        return path;
    };

    std::shared_future<bool> loaded = m_subtitle.LoadSubtitleInBackground(shortSrt);
    ASSERT_EQ(loaded.wait_for(kLimit), std::future_status::ready);
    EXPECT_TRUE(loaded.get());
    EXPECT_FALSE(DrawExternal(1500).Blank());
    EXPECT_EQ(current(), shortSrt);

    // Superseded by a later load: the short file stays.
    std::shared_future<bool> superseded = m_subtitle.LoadSubtitleInBackground(longSrt);
    loaded = m_subtitle.LoadSubtitleInBackground(shortSrt);
    ASSERT_EQ(loaded.wait_for(kLimit), std::future_status::ready);
    EXPECT_FALSE(superseded.get());
    EXPECT_TRUE(loaded.get());
    EXPECT_TRUE(DrawExternal(7200 * 1000 + 500).Blank());
    EXPECT_FALSE(DrawExternal(5500).Blank());

    // Dropped while loading: nothing shows, and libass stays up.
    superseded = m_subtitle.LoadSubtitleInBackground(longSrt);
    m_subtitle.DropExternal();
    ASSERT_EQ(superseded.wait_for(kLimit), std::future_status::ready);
    EXPECT_FALSE(superseded.get());
    EXPECT_TRUE(DrawExternal(7200 * 1000 + 500).Blank());
    EXPECT_EQ(current(), L"");
    EXPECT_FALSE(DrawInternal(line, 100).Blank());

    // Torn down or re-initialised for the next file while loading.
    superseded = m_subtitle.LoadSubtitleInBackground(longSrt);
    m_subtitle.Teardown();
    EXPECT_EQ(superseded.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_FALSE(superseded.get());
    ASSERT_TRUE(m_subtitle.Initial(kWidth, kHeight));
    superseded = m_subtitle.LoadSubtitleInBackground(longSrt);
    ASSERT_TRUE(m_subtitle.Initial(kWidth, kHeight));
    EXPECT_EQ(superseded.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_FALSE(superseded.get());
    EXPECT_TRUE(DrawExternal(7200 * 1000 + 500).Blank());

    // A file that does not load fails in the background as it does in the foreground.
    loaded = m_subtitle.LoadSubtitleInBackground(Write("notes.txt", kTwoCueSrt));
    ASSERT_EQ(loaded.wait_for(kLimit), std::future_status::ready);
    EXPECT_FALSE(loaded.get());
    EXPECT_TRUE(DrawInternal(line, 100).Blank());
}

TEST_F(SubtitleRenderTest, LoadingAndDroppingWhileAnotherThreadDraws) {
    const std::wstring srt = Write("race.srt", kTwoCueSrt);
    const std::string line = CSubtitle::AssDialogueFromRect("0,0,Default,,0,0,0,,Race", 0, 9000);
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread drawer([&] {
        CTestFrame frame(kWidth, kHeight);
        CSubtitleBitmap bitmap{1, 1, 2, 2, {1, 1, 1, 1}, {0, 0xFFFFFFFF}};
        while (!stop) {
            int y = kHeight - 32;
            m_subtitle.DrawBitmap(frame.data(), bitmap);
            m_subtitle.BlendSubtitleInternal(frame.data(), 1500, line.c_str(), y);
            m_subtitle.DrawExternal(frame.data(), 1500, y);
            ++drawn;
        }
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (int round = 0; std::chrono::steady_clock::now() < until; ++round) {
        EXPECT_TRUE(m_subtitle.LoadSubtitle(srt));
        m_subtitle.LoadSubtitleInBackground(srt);
        if (round % 2 == 0) {
            m_subtitle.DropExternal();
        }
        if (round % 5 == 0) {
            m_subtitle.Initial(kWidth, kHeight);
        }
        if (round % 7 == 0) {
            m_subtitle.Teardown();
            m_subtitle.Initial(kWidth, kHeight);
        }
    }
    stop = true;
    drawer.join();
    EXPECT_GT(drawn.load(), 0);
}

} // namespace
