#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <libavutil/common.h>
#include <libavutil/pixdesc.h>
}

#include "platform/graph/FrameConverter.h"
#include "platform/graph/PictureHalver.h"
#include "support/OwnedPicture.h"

namespace {

int At(const CVideoPicture& picture, int plane, int x, int y, int bytes) {
    std::uint16_t sample = 0;
    std::memcpy(&sample,
                picture.planes[plane] + static_cast<std::ptrdiff_t>(y) * picture.strides[plane] +
                    x * bytes,
                bytes);
    return sample;
}

} // namespace

// Each halving averages 2 x 2 blocks with rounding, per plane at the plane's own (subsampled)
// size, an odd last column or row with itself; it repeats while the picture stays at least the
// target's size, and leaves alone what it cannot average byte by byte.
TEST(PictureHalver, AveragesBlocksPerPlaneAsOftenAsTheTargetAllows) {
    struct CCase {
        AVPixelFormat format;
        int width, height;
        QSize target;
        int halvedWidth, halvedHeight;
    };
    const CCase cases[] = {
        {AV_PIX_FMT_YUV420P, 9, 7, {4, 3}, 5, 4},      // odd sizes, odd chroma planes
        {AV_PIX_FMT_YUV422P, 10, 6, {5, 3}, 5, 3},     // exactly twice the target
        {AV_PIX_FMT_YUVJ444P, 7, 5, {3, 2}, 4, 3},     // full-size chroma
        {AV_PIX_FMT_YUV420P, 40, 24, {5, 3}, 5, 3},    // three halvings
        {AV_PIX_FMT_YUV420P10LE, 9, 7, {4, 3}, 5, 4},  // 10-bit samples
        {AV_PIX_FMT_YUV420P, 40, 24, {5, 13}, 40, 24}, // too short to halve
    };
    CPictureHalver halver;
    for (const CCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << av_get_pix_fmt_name(c.format) << " " << c.width << "x" << c.height << " to "
                     << c.target.width() << "x" << c.target.height());
        // Distinct values in every sample, steady over 8 x 8 blocks for the repeated halving.
        const bool blocks = c.width == 40;
        const int scale = c.format == AV_PIX_FMT_YUV420P10LE ? 4 : 1; // up to 1023
        const auto value = [&](int p, int x, int y) {
            return static_cast<std::uint16_t>(scale *
                                                  (blocks ? 30 * p + 7 * (x / 8) + 11 * (y / 8)
                                                          : 50 * p + 13 * x + 3 * y + (x * y) % 5) +
                                              (scale > 1 ? x % 3 : 0));
        };
        COwnedPicture owned;
        MakePicture(owned, c.format, c.width, c.height, value);
        const CVideoPicture& halved = halver.Fit(owned.picture, c.target);
        ASSERT_EQ(halved.width, c.halvedWidth);
        ASSERT_EQ(halved.height, c.halvedHeight);
        EXPECT_EQ(halved.pixelFormat, c.format);
        if (c.halvedWidth == c.width) {
            EXPECT_EQ(&halved, &owned.picture);
            continue;
        }
        const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(c.format);
        for (int p = 0; p < 3; ++p) {
            const int shiftX = p == 0 ? 0 : descriptor->log2_chroma_w;
            const int shiftY = p == 0 ? 0 : descriptor->log2_chroma_h;
            const int sourceWidth = AV_CEIL_RSHIFT(c.width, shiftX);
            const int sourceHeight = AV_CEIL_RSHIFT(c.height, shiftY);
            for (int y = 0; y < AV_CEIL_RSHIFT(c.halvedHeight, shiftY); ++y) {
                for (int x = 0; x < AV_CEIL_RSHIFT(c.halvedWidth, shiftX); ++x) {
                    int expected = 0;
                    if (blocks) {
                        expected = value(p, x * 8, y * 8); // one 8 x 8 block per sample
                    } else {
                        const int x1 = std::min(2 * x + 1, sourceWidth - 1);
                        const int y1 = std::min(2 * y + 1, sourceHeight - 1);
                        expected = (value(p, 2 * x, 2 * y) + value(p, x1, 2 * y) +
                                    value(p, 2 * x, y1) + value(p, x1, y1) + 2) /
                                   4;
                    }
                    ASSERT_EQ(At(halved, p, x, y, scale > 1 ? 2 : 1), expected)
                        << "plane " << p << " " << x << "," << y;
                }
            }
        }
    }

    COwnedPicture owned;
    for (const AVPixelFormat format : {AV_PIX_FMT_YUV420P10BE, AV_PIX_FMT_NV12}) {
        MakePicture(owned, AV_PIX_FMT_YUV420P, 16, 16, [](int, int, int) { return 0; });
        owned.picture.pixelFormat = format;
        EXPECT_EQ(&halver.Fit(owned.picture, {4, 4}), &owned.picture) << format;
    }
}

// On its way to the screen a large picture is halved before the scaler's two-tap filter: a
// 1-pixel checkerboard, which that filter alone folds into a coarse false pattern, comes out an
// even grey.
TEST(PictureHalver, TheRendererShrinksFineDetailToItsAverage) {
    COwnedPicture owned;
    MakePicture(owned, AV_PIX_FMT_YUV420P, 128, 72, [](int p, int x, int y) {
        return static_cast<std::uint8_t>(p != 0 ? 128 : (x + y) % 2 == 0 ? 235 : 16);
    });
    QImage image(47, 27, QImage::Format_RGB32);
    ASSERT_TRUE(CFrameConverter().Convert(owned.picture, image));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_NEAR(qGreen(image.pixel(x, y)), 128, 4) << x << "," << y;
        }
    }
}
