#include "skin/SkinBitmaps.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

namespace {

// The size and frame layout the skin's controls and window frame expect of each bitmap.
struct ExpectedBitmap {
    int id;
    int width;
    int height;
    int frames; // horizontal strip of equal frames; 1 for a tile or a sheet of pieces
};

constexpr ExpectedBitmap kBitmaps[] = {
    {20012, 80, 20, 4},  {20013, 80, 20, 4},  {20014, 160, 20, 8}, {20015, 144, 20, 4},
    {20016, 144, 20, 4}, {20017, 288, 20, 8}, {20018, 40, 9, 4},   {137, 40, 9, 4},
    {20019, 40, 9, 4},   {20020, 72, 18, 3},  {20021, 72, 18, 3},  {20022, 72, 18, 3},
    {20023, 72, 18, 3},  {20024, 12, 12, 1},  {20025, 12, 12, 1},  {20026, 135, 51, 1},
    {136, 60, 50, 6},    {132, 8, 40, 1},     {133, 40, 20, 2},    {134, 40, 20, 2},
};

class SkinBitmapsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "skin_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }
};

TEST_F(SkinBitmapsTest, EveryBitmapHasItsSizeAtBothRatiosAndNoTransparency) {
    for (const ExpectedBitmap& expected : kBitmaps) {
        SCOPED_TRACE(expected.id);
        const QSize size(expected.width, expected.height);
        const QPixmap single = SkinBitmap(expected.id, 1.0);
        ASSERT_FALSE(single.isNull());
        EXPECT_EQ(single.size(), size);
        EXPECT_EQ(single.devicePixelRatio(), 1.0);
        EXPECT_FALSE(single.hasAlphaChannel()); // controls blit frames without erasing first

        for (const qreal screenRatio : {1.25, 2.0, 3.0}) {
            const QPixmap doubled = SkinBitmap(expected.id, screenRatio);
            ASSERT_FALSE(doubled.isNull());
            EXPECT_EQ(doubled.size(), size * 2);
            EXPECT_EQ(doubled.devicePixelRatio(), 2.0);
            EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(size));
            EXPECT_FALSE(doubled.hasAlphaChannel());
        }
    }
}

// Normal, hover, pressed, disabled and the checked looks must each be told apart, at both ratios.
TEST_F(SkinBitmapsTest, FramesOfAStripDifferFromEachOther) {
    for (const ExpectedBitmap& expected : kBitmaps) {
        for (const int scale : {1, 2}) {
            SCOPED_TRACE(testing::Message() << expected.id << " at " << scale << "x");
            const QImage strip = SkinBitmap(expected.id, scale).toImage();
            const int frameWidth = strip.width() / expected.frames;
            for (int a = 0; a < expected.frames; ++a) {
                for (int b = a + 1; b < expected.frames; ++b) {
                    EXPECT_NE(strip.copy(a * frameWidth, 0, frameWidth, strip.height()),
                              strip.copy(b * frameWidth, 0, frameWidth, strip.height()))
                        << "frames " << a << " and " << b;
                }
            }
        }
    }
}

TEST_F(SkinBitmapsTest, UnknownIdGivesNullPixmap) {
    EXPECT_TRUE(SkinBitmap(0, 1.0).isNull());
    EXPECT_TRUE(SkinBitmap(20011, 1.0).isNull());
    EXPECT_TRUE(SkinBitmap(135, 2.0).isNull());
}

} // namespace
