#include <gtest/gtest.h>

#include <set>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "platform/graph/FrameConverter.h"
#include "support/RenderTestSupport.h"

namespace {

constexpr int kWidth = 8;
constexpr int kHeight = 4;
constexpr QSize kTarget(4, 2);

std::vector<std::uint8_t> Solid(QRgb colour) {
    std::vector<std::uint8_t> bgr;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        bgr.insert(bgr.end(), {static_cast<std::uint8_t>(qBlue(colour)),
                               static_cast<std::uint8_t>(qGreen(colour)),
                               static_cast<std::uint8_t>(qRed(colour))});
    }
    return bgr;
}

// The slot and a late paint hold earlier frames while the next is converted: an image still
// held must never be written over (it would tear on screen); the frame then goes into a fresh
// image, and one let go is reused rather than copied or made anew.
TEST(FrameConverter, WritesOnlyImagesNobodyHoldsAndReusesTheFreedOne) {
    CFrameConverter converter;
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    std::vector<QImage> held;
    for (QRgb colour : colours) {
        const std::vector<std::uint8_t> frame = Solid(colour);
        held.push_back(converter.Convert(BgrPicture(frame.data(), kWidth, -kHeight), kTarget));
        ASSERT_EQ(held.back().size(), kTarget);
        ASSERT_EQ(held.back().format(), QImage::Format_RGB32);
    }
    for (std::size_t i = 0; i < held.size(); ++i) {
        EXPECT_EQ(held[i].pixel(0, 0), colours[i]) << "frame " << i;
        EXPECT_EQ(held[i].pixel(3, 1), colours[i]) << "frame " << i;
    }

    // Only the latest still held: the pool's other image takes the next frame.
    const std::set<const uchar*> earlier = {held[0].constBits(), held[1].constBits()};
    const QImage latest = held[2];
    held.clear();
    const std::vector<std::uint8_t> white = Solid(qRgb(255, 255, 255));
    const QImage next = converter.Convert(BgrPicture(white.data(), kWidth, kHeight), kTarget);
    EXPECT_EQ(earlier.count(next.constBits()), 1U);
    EXPECT_EQ(next.pixel(2, 1), qRgb(255, 255, 255));
    EXPECT_EQ(latest.pixel(0, 0), colours[2]);

    // Bottom-up rows come out top-down; nothing to convert gives a null image.
    std::vector<std::uint8_t> halves = Solid(qRgb(0, 0, 0));
    std::fill(halves.begin(), halves.begin() + kWidth * 3 * kHeight / 2, 255); // bottom rows
    held.clear();
    const QImage flipped = converter.Convert(BgrPicture(halves.data(), kWidth, kHeight), kTarget);
    EXPECT_EQ(flipped.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(flipped.pixel(0, 1), qRgb(255, 255, 255));
    EXPECT_TRUE(converter.Convert(BgrPicture(halves.data(), kWidth, kHeight), QSize()).isNull());
    EXPECT_TRUE(converter.Convert(CVideoPicture{}, kTarget).isNull());

    // An overlay is drawn at the target's size into the image itself, before anyone holds it.
    auto overlay = std::make_shared<CCornerOverlay>();
    CVideoPicture marked = BgrPicture(white.data(), kWidth, -kHeight);
    marked.overlay = overlay;
    const QImage drawn = converter.Convert(marked, kTarget);
    EXPECT_EQ(drawn.pixel(kTarget.width() - 1, kTarget.height() - 1), qRgb(3, 2, 1));
    EXPECT_EQ(drawn.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(overlay->Drawn(),
              (std::vector<std::array<int, 3>>{{kTarget.width(), kTarget.height(), 4}}));
}

// Odd widths take another route through libswscale (planar G,B,R, then packed): every pixel,
// the last column too, must come out in the picture's colour, as for an even width.
TEST(FrameConverter, OddAndEvenWidthsGiveThePicturesColours) {
    const QRgb colour = qRgb(200, 40, 90);
    const std::vector<std::uint8_t> frame = Solid(colour);
    for (const QSize target : {QSize(5, 3), QSize(4, 3), QSize(7, 4), QSize(kWidth - 1, kHeight)}) {
        CFrameConverter converter;
        const QImage image = converter.Convert(BgrPicture(frame.data(), kWidth, kHeight), target);
        ASSERT_EQ(image.size(), target);
        for (int y = 0; y < target.height(); ++y) {
            for (int x = 0; x < target.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                EXPECT_NEAR(qRed(pixel), qRed(colour), 3) << target.width() << " " << x << "," << y;
                EXPECT_NEAR(qGreen(pixel), qGreen(colour), 3) << target.width() << " " << x;
                EXPECT_NEAR(qBlue(pixel), qBlue(colour), 3) << target.width() << " " << x;
            }
        }
    }
}

} // namespace
