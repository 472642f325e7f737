#include "SanitizerLimits.h"
#include "SubtitleTestSupport.h"

#include "media/Subtitle.h"
#include "media/SubtitleBlend.h"
#include "media/SubtitleOverlay.h"
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
        m_subtitle.BlendSubtitleInternal(frame.Canvas(), ms, text.c_str(), line);
        if (y != nullptr) {
            *y = line;
        }
        return frame;
    }
    CTestFrame DrawExternal(std::int64_t ms) {
        CTestFrame frame(kWidth, kHeight);
        int line = kHeight - 32;
        m_subtitle.DrawExternal(frame.Canvas(), ms, line);
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
    BlendAssImage(frame.Canvas(), image, 1, -1);
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
    BlendAssImage(half.Canvas(), image, 0, 0);
    EXPECT_EQ(half.pixels, (std::vector<std::uint8_t>{87, 121, 154}));
}

// The placement rules are stated in the video's pixels; on a canvas of another size (the
// picture on screen) every length scales with it, each axis on its own.
TEST(SubtitleBlendTest, VideoPlacementRulesScaleToTheCanvas) {
    constexpr int kVideoW = 320, kVideoH = 240;
    struct CCase {
        int canvasW, canvasH;
        int bottomLine; // 32 video pixels above the bottom
        int gap;        // 10 video pixels
        int bitmapX, bitmapY, bitmapW, bitmapH;
    };
    const CCase cases[] = {
        {320, 240, 208, 10, 10, 20, 30, 6},  // the video's own size: the rules as stated
        {640, 480, 416, 20, 20, 40, 60, 12}, // twice
        {160, 120, 104, 5, 5, 10, 15, 3},    // half
        {480, 240, 208, 10, 15, 20, 45, 6},  // stretched across
        {427, 321, 278, 13, 13, 26, 40, 8},  // no whole factor: rounded down at the edges
    };
    // A video-pixel bitmap at (10, 20), 30 x 6: white, grey from video column 25 on.
    CSubtitleBitmap bitmap{10, 20, 30, 6, {}, {0, 0xFFFFFFFF, 0xFF808080}};
    for (int i = 0; i < 30 * 6; ++i) {
        bitmap.indexes.push_back(i % 30 < 15 ? 1 : 2);
    }
    for (const CCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.canvasW) + "x" + std::to_string(c.canvasH));
        const CVideoToCanvas map{kVideoW, kVideoH, c.canvasW, c.canvasH};
        const int bottom = static_cast<int>(map.Y(kVideoH - 32));
        EXPECT_EQ(bottom, c.bottomLine);

        // Two images of one block, as libass gives them at the canvas's size: video box x 10..100,
        // y 150..180.
        ASS_Image left{}; // placement reads only the boxes
        left.dst_x = static_cast<int>(map.X(10));
        left.dst_y = static_cast<int>(map.Y(150));
        left.w = static_cast<int>(map.X(50)) - left.dst_x;
        left.h = static_cast<int>(map.Y(170)) - left.dst_y;
        ASS_Image right = left;
        right.dst_x = static_cast<int>(map.X(60));
        right.dst_y = static_cast<int>(map.Y(160));
        right.w = static_cast<int>(map.X(100)) - right.dst_x;
        right.h = static_cast<int>(map.Y(180)) - right.dst_y;
        left.next = &right;
        const int boxW = right.dst_x + right.w - left.dst_x;
        const int boxH = right.dst_y + right.h - left.dst_y;

        const CTextPlacement first = PlaceTextBlock(&left, map, bottom);
        const int newLeft = left.dst_x + first.dx;
        EXPECT_LE(std::abs(newLeft - (c.canvasW - newLeft - boxW)), 1) << "centred";
        EXPECT_EQ(right.dst_y + right.h + first.dy, bottom);
        EXPECT_EQ(first.nextY, bottom - boxH - c.gap);

        // A second block goes one gap above the first; one below the canvas clamps to its last row.
        ASS_Image below = left;
        below.next = nullptr;
        below.dst_y = c.canvasH + 60;
        EXPECT_EQ(PlaceTextBlock(&below, map, first.nextY).nextY, first.nextY - c.gap);

        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(c.canvasW) * c.canvasH * 4);
        DrawPaletteBitmap(CBgrCanvas{pixels.data(), c.canvasW, c.canvasH, c.canvasW * 4, 4},
                          kVideoW, kVideoH, bitmap);
        int x0 = c.canvasW, y0 = c.canvasH, x1 = -1, y1 = -1, drawn = 0, fourthBytes = 0;
        int firstGrey = c.canvasW;
        for (int y = 0; y < c.canvasH; ++y) {
            for (int x = 0; x < c.canvasW; ++x) {
                const std::uint8_t* pixel =
                    &pixels[(static_cast<std::size_t>(y) * c.canvasW + x) * 4];
                if (pixel[0] == 0x80) {
                    firstGrey = std::min(firstGrey, x);
                }
                if (pixel[0] != 0) {
                    x0 = std::min(x0, x);
                    y0 = std::min(y0, y);
                    x1 = std::max(x1, x);
                    y1 = std::max(y1, y);
                    ++drawn;
                }
                fourthBytes += pixel[3];
            }
        }
        EXPECT_EQ(fourthBytes, 0) << "the fourth byte of a pixel is left alone";
        EXPECT_EQ(x0, c.bitmapX);
        EXPECT_EQ(y0, c.bitmapY);
        EXPECT_EQ(x1 - x0 + 1, c.bitmapW);
        EXPECT_EQ(y1 - y0 + 1, c.bitmapH);
        EXPECT_EQ(drawn, c.bitmapW * c.bitmapH) << "the rectangle is filled";
        EXPECT_EQ(firstGrey, map.X(25)) << "each pixel takes the nearest index";
    }
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
    DrawPaletteBitmap(frame.Canvas(), 4, 1, bitmap);
    EXPECT_EQ(frame.pixels,
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0x30, 0x20, 0x10, 0, 0, 0}));

    CTestFrame untouched(4, 1);
    bitmap.indexes = {1, 1, 1}; // smaller than w x h
    DrawPaletteBitmap(untouched.Canvas(), 4, 1, bitmap);
    bitmap.indexes = {1, 1, 1, 1};
    bitmap.x = -1000000;
    DrawPaletteBitmap(untouched.Canvas(), 4, 1, bitmap);
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

// The picture on screen gets its subtitles drawn at its own size. At twice the video's size the
// text keeps its place and size relative to the picture, and its edges are sharper than the
// video-size text scaled up could be: scaling up by nearest neighbour (sharper than the
// renderer's bilinear scaling) turns each partly covered pixel into four, while text rasterised
// at the larger size has edges about one pixel wide, about half as many.
TEST_F(SubtitleRenderTest, TextOverAPictureTwiceTheVideoSizeIsSharpAndInPlace) {
    constexpr std::uint8_t kGrey = 128; // shows the black outline and shadow as well as the fill
    CSubtitleFrame frame;
    frame.ms = 1500;
    frame.videoWidth = kWidth;
    frame.videoHeight = kHeight;
    frame.streamShown = true;
    frame.texts[0] = CSubtitle::AssDialogueFromRect("0,0,Default,,0,0,0,,Sharp edges", 0, 5000);
    const CSubtitleOverlay overlay(m_subtitle, frame);
    struct CDrawn {
        int left, right, top, bottom; // the drawn box, inclusive
        int area;                     // pixels drawn on
        int partial;                  // pixels neither background, outline nor fill
    };
    const auto draw = [&](int scale) {
        const int w = kWidth * scale, h = kHeight * scale;
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4, kGrey);
        overlay.Draw(CBgrCanvas{pixels.data(), w, h, w * 4, 4});
        CDrawn d{w, -1, h, -1, 0, 0};
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint8_t green = pixels[(static_cast<std::size_t>(y) * w + x) * 4 + 1];
                if (green != kGrey) {
                    d = {std::min(d.left, x), std::max(d.right, x),
                         std::min(d.top, y),  std::max(d.bottom, y),
                         d.area + 1,          d.partial + (green != 0 && green != 255)};
                }
            }
        }
        return d;
    };
    const CDrawn once = draw(1);
    const CDrawn twice = draw(2);
    ASSERT_GT(once.area, 0);
    std::printf("partly covered pixels: %d at 1x (%d scaled up), %d at 2x\n", once.partial,
                4 * once.partial, twice.partial);
    EXPECT_LT(twice.partial, 3 * once.partial) << "no sharper than the small text scaled up";
    EXPECT_NEAR(twice.area, 4 * once.area, once.area) << "the same size relative to the video";
    EXPECT_LE(once.bottom, kHeight - 33);
    EXPECT_LE(twice.bottom, 2 * (kHeight - 32) - 1);
    EXPECT_NEAR(twice.bottom, 2 * once.bottom, 3) << "the bottom margin scales";
    EXPECT_NEAR(twice.top, 2 * once.top, 3);
    EXPECT_NEAR(twice.right - twice.left, 2 * (once.right - once.left), 4);
    // libass's images may end in a few transparent columns, which the block's centring counts:
    // the drawn text is centred to within them.
    EXPECT_NEAR(twice.left + twice.right, 2 * kWidth - 1, 4) << "centred";
}

TEST_F(SubtitleRenderTest, SecondTextGoesAboveTheFirst) {
    const std::string first = CSubtitle::AssDialogueFromRect("0,0,Default,,0,0,0,,Lower", 0, 5000);
    const std::string second = CSubtitle::AssDialogueFromRect("1,0,Default,,0,0,0,,Upper", 0, 5000);
    int y = kHeight - 32;
    const CTestFrame alone = DrawInternal(first, 100, &y);
    const int afterFirst = y;

    CTestFrame both(kWidth, kHeight);
    y = kHeight - 32;
    m_subtitle.BlendSubtitleInternal(both.Canvas(), 100, first.c_str(), y);
    EXPECT_EQ(y, afterFirst);
    m_subtitle.BlendSubtitleInternal(both.Canvas(), 100, second.c_str(), y);
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
    m_subtitle.DrawBitmap(frame.Canvas(), empty);
    m_subtitle.DrawBitmap(CBgrCanvas{}, empty);
    int y = 0;
    m_subtitle.DrawExternal(CBgrCanvas{}, 0, y);
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
            m_subtitle.DrawBitmap(frame.Canvas(), none);
            const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - started)
                                  .count();
            longestWaitUs = std::max<long long>(longestWaitUs, took);
            int y = kHeight - 32;
            m_subtitle.BlendSubtitleInternal(frame.Canvas(), 1500, line.c_str(), y);
            m_subtitle.DrawExternal(frame.Canvas(), 1500, y);
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
            m_subtitle.DrawBitmap(frame.Canvas(), bitmap);
            m_subtitle.BlendSubtitleInternal(frame.Canvas(), 1500, line.c_str(), y);
            m_subtitle.DrawExternal(frame.Canvas(), 1500, y);
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
