#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "platform/graph/FrameConverter.h"
#include "platform/graph/YuvToRgb.h"
#include "support/OwnedPicture.h"

namespace {

using CRgb = std::array<double, 3>;

int Clip(double value) {
    return static_cast<int>(std::clamp(std::round(value), 0.0, 255.0));
}

// BT.601 as the standard prints it, limited range.
CRgb RgbOf(int y, int cb, int cr) {
    const double luma = 1.164 * (y - 16);
    return {luma + 1.596 * (cr - 128), luma - 0.391 * (cb - 128) - 0.813 * (cr - 128),
            luma + 2.018 * (cb - 128)};
}

// Y'CbCr of a colour by a standard's luma weights of red and blue, in limited or full range.
CRgb YuvOf(const CRgb& rgb, double redWeight, double blueWeight, bool fullRange) {
    const auto [r, g, b] = rgb;
    const double luma = redWeight * r + (1 - redWeight - blueWeight) * g + blueWeight * b;
    const double cb = (b - luma) / (2 * (1 - blueWeight));
    const double cr = (r - luma) / (2 * (1 - redWeight));
    if (fullRange) {
        return {luma, 128 + cb, 128 + cr};
    }
    return {16 + luma * 219 / 255, 128 + cb * 224 / 255, 128 + cr * 224 / 255};
}

// Every Y' value against a spread of Cb and Cr, out-of-gamut ones included, laid out at an odd
// width: each pixel within 1 of the standard's formula, clipped, opaque, and nothing written
// past a row's end.
TEST(YuvToRgb, EveryPixelWithinOneOfTheStandardAndNothingPastTheRow) {
    constexpr int kWidth = 257;
    constexpr int kChromaStep = 15;
    std::vector<std::uint8_t> planes[3];
    for (int cr = 0; cr <= 255; cr += kChromaStep) {
        for (int cb = 0; cb <= 255; cb += kChromaStep) {
            for (int y = 0; y <= 255; ++y) {
                planes[0].push_back(static_cast<std::uint8_t>(y));
                planes[1].push_back(static_cast<std::uint8_t>(cb));
                planes[2].push_back(static_cast<std::uint8_t>(cr));
            }
        }
    }
    const int height = static_cast<int>(planes[0].size()) / kWidth;
    const std::uint8_t* const sources[] = {planes[0].data(), planes[1].data(), planes[2].data()};
    const int strides[] = {kWidth, kWidth, kWidth};
    const int outStride = kWidth * 4 + 12;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(outStride) * height, 0x5a);
    Yuv444ToRgb32(LimitedRangeMatrix(0.299, 0.114), sources, strides, kWidth, height, out.data(),
                  outStride);

    for (int row = 0; row < height; ++row) {
        const std::uint8_t* pixels = out.data() + static_cast<std::ptrdiff_t>(row) * outStride;
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t i = static_cast<std::size_t>(row) * kWidth + x;
            const CRgb expected = RgbOf(planes[0][i], planes[1][i], planes[2][i]);
            const std::uint8_t* pixel = pixels + 4 * x; // B, G, R, X in memory
            ASSERT_NEAR(pixel[2], Clip(expected[0]), 1) << i;
            ASSERT_NEAR(pixel[1], Clip(expected[1]), 1) << i;
            ASSERT_NEAR(pixel[0], Clip(expected[2]), 1) << i;
            ASSERT_EQ(pixel[3], 0xff) << i;
        }
        for (int x = kWidth * 4; x < outStride; ++x) {
            ASSERT_EQ(pixels[x], 0x5a) << "row " << row << " written past its end";
        }
    }
}

// Four flat quadrants in each kind of Y'CbCr the decoders give, converted at every route the
// scaler has: 4:4:4 planes and then Yuv444ToRgb32 (an odd width; any shrunk 4:4:4 picture), and
// libswscale's writer (4:2:0 halved to the even output width, at its own width and wider). The
// quadrants keep their colours within the rounding of one 8-bit step on the way, also when the
// picture names BT.709, BT.2020 or a full range that its format does not say.
TEST(YuvToRgb, ScalerKeepsTheColoursOfEachFormatAtEveryRoute) {
    constexpr int kWidth = 64;
    constexpr int kHeight = 36;
    const CRgb colours[] = {{200, 40, 90}, {30, 180, 60}, {50, 70, 220}, {128, 128, 128}};
    const auto quadrant = [](double x, double y) { return (x < 0.5 ? 0 : 1) + (y < 0.5 ? 0 : 2); };
    struct CCase {
        AVPixelFormat format;
        int scale; // sample value per 8-bit step
        int colorSpace;
        int colorRange;
        double redWeight;
        double blueWeight;
        bool fullRange;
    };
    constexpr double k601[] = {0.299, 0.114};
    constexpr double k709[] = {0.2126, 0.0722};
    const CCase cases[] = {
        {AV_PIX_FMT_YUV420P, 1, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, k601[0], k601[1],
         false},
        {AV_PIX_FMT_YUVJ420P, 1, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, k601[0], k601[1],
         true},
        {AV_PIX_FMT_YUV422P, 1, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, k601[0], k601[1], false},
        {AV_PIX_FMT_YUV444P, 1, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, k601[0], k601[1],
         false},
        {AV_PIX_FMT_YUV420P10LE, 4, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, k601[0],
         k601[1], false},
        {AV_PIX_FMT_YUV420P, 1, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, k709[0], k709[1], false},
        {AV_PIX_FMT_YUV420P, 1, AVCOL_SPC_BT709, AVCOL_RANGE_JPEG, k709[0], k709[1], true},
        {AV_PIX_FMT_YUV420P10LE, 4, AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG, 0.2627, 0.0593, false}};
    CFrameConverter converter;
    for (const CCase& c : cases) {
        const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(c.format);
        COwnedPicture owned;
        MakePicture(owned, c.format, kWidth, kHeight, [&](int p, int x, int y) {
            const int w = p == 0 ? kWidth : AV_CEIL_RSHIFT(kWidth, descriptor->log2_chroma_w);
            const int h = p == 0 ? kHeight : AV_CEIL_RSHIFT(kHeight, descriptor->log2_chroma_h);
            const CRgb& rgb = colours[quadrant((x + 0.5) / w, (y + 0.5) / h)];
            const CRgb yuv = YuvOf(rgb, c.redWeight, c.blueWeight, c.fullRange);
            return static_cast<int>(std::lround(yuv[p] * c.scale));
        });
        owned.picture.colorSpace = c.colorSpace;
        owned.picture.colorRange = c.colorRange;
        for (const QSize size : {QSize(31, 17), QSize(32, 18), QSize(kWidth, kHeight),
                                 QSize(2 * kWidth, 2 * kHeight)}) {
            QImage image(size, QImage::Format_RGB32);
            ASSERT_TRUE(converter.Convert(owned.picture, image));
            for (const auto& [fx, fy] : {std::pair{0.25, 0.25}, std::pair{0.75, 0.25},
                                         std::pair{0.25, 0.75}, std::pair{0.75, 0.75}}) {
                const QRgb pixel = image.pixel(static_cast<int>(fx * size.width()),
                                               static_cast<int>(fy * size.height()));
                const CRgb& expected = colours[quadrant(fx, fy)];
                const auto where = testing::Message()
                                   << av_get_pix_fmt_name(c.format) << ", matrix " << c.colorSpace
                                   << ", range " << c.colorRange << " at " << size.width() << "x"
                                   << size.height() << ", " << fx << "," << fy;
                EXPECT_NEAR(qRed(pixel), expected[0], 4) << where;
                EXPECT_NEAR(qGreen(pixel), expected[1], 4) << where;
                EXPECT_NEAR(qBlue(pixel), expected[2], 4) << where;
                EXPECT_EQ(qAlpha(pixel), 0xff) << where;
            }
        }
    }
}

// A 4:4:4 picture of one brightness whose chroma turns from red to blue and back every two
// columns, shrunk to half its width: at an even width too, neighbouring pixels get colours of
// their own (a shared chroma sample would make each pair of pixels one colour).
TEST(YuvToRgb, ShrunkPictureKeepsEachPixelsOwnChroma) {
    COwnedPicture owned;
    MakePicture(owned, AV_PIX_FMT_YUV444P, 64, 8, [](int p, int x, int) {
        const bool red = x / 2 % 2 == 0;
        return p == 0 ? 110 : p == 1 ? (red ? 90 : 200) : (red ? 200 : 90);
    });
    CFrameConverter converter;
    QImage image(32, 4, QImage::Format_RGB32);
    ASSERT_TRUE(converter.Convert(owned.picture, image));
    int pairsOfOneColour = 0;
    for (int x = 0; x < image.width(); x += 2) {
        const QRgb left = image.pixel(x, 2);
        const QRgb right = image.pixel(x + 1, 2);
        pairsOfOneColour +=
            std::abs(qRed(left) - qRed(right)) < 20 && std::abs(qBlue(left) - qBlue(right)) < 20;
    }
    EXPECT_LT(pairsOfOneColour, image.width() / 4);
}

} // namespace
