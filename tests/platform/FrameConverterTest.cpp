#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "platform/graph/FrameConverter.h"
#include "platform/graph/VideoWidget.h"
#include "support/RenderTestSupport.h"

using namespace std::chrono_literals;

namespace {

constexpr int kWidth = 8;
constexpr int kHeight = 4;

std::vector<std::uint8_t> Solid(QRgb colour) {
    std::vector<std::uint8_t> bgr;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        bgr.insert(bgr.end(), {static_cast<std::uint8_t>(qBlue(colour)),
                               static_cast<std::uint8_t>(qGreen(colour)),
                               static_cast<std::uint8_t>(qRed(colour))});
    }
    return bgr;
}

// At odd widths as at even ones, every pixel, the last column too, must come out in the
// picture's colour. Bottom-up rows come out top-down; nothing to convert, or nothing to convert
// into, fails.
TEST(FrameConverter, ScalesIntoTheImageForOddAndEvenWidthsAndEitherRowOrder) {
    const QRgb colour = qRgb(200, 40, 90);
    const std::vector<std::uint8_t> frame = Solid(colour);
    CFrameConverter converter;
    for (const QSize size : {QSize(5, 3), QSize(4, 3), QSize(7, 4), QSize(kWidth - 1, kHeight)}) {
        QImage image(size, QImage::Format_RGB32);
        ASSERT_TRUE(converter.Convert(BgrPicture(frame.data(), kWidth, kHeight), image));
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                EXPECT_NEAR(qRed(pixel), qRed(colour), 3) << size.width() << ": " << x << "," << y;
                EXPECT_NEAR(qGreen(pixel), qGreen(colour), 3) << size.width() << ": " << x;
                EXPECT_NEAR(qBlue(pixel), qBlue(colour), 3) << size.width() << ": " << x;
            }
        }
    }

    std::vector<std::uint8_t> halves = Solid(qRgb(0, 0, 0));
    std::fill(halves.begin(), halves.begin() + kWidth * 3 * kHeight / 2, 255); // bottom rows
    QImage flipped(4, 2, QImage::Format_RGB32);
    ASSERT_TRUE(converter.Convert(BgrPicture(halves.data(), kWidth, kHeight), flipped));
    EXPECT_EQ(flipped.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(flipped.pixel(0, 1), qRgb(255, 255, 255));
    QImage none;
    EXPECT_FALSE(converter.Convert(BgrPicture(halves.data(), kWidth, kHeight), none));
    EXPECT_FALSE(converter.Convert(CVideoPicture{}, flipped));

    // An overlay is drawn at the image's size into the image itself.
    auto overlay = std::make_shared<CCornerOverlay>();
    CVideoPicture marked = BgrPicture(frame.data(), kWidth, -kHeight);
    marked.overlay = overlay;
    QImage drawn(5, 3, QImage::Format_RGB32);
    ASSERT_TRUE(converter.Convert(marked, drawn));
    EXPECT_EQ(drawn.pixel(4, 2), qRgb(3, 2, 1));
    EXPECT_NEAR(qRed(drawn.pixel(0, 0)), qRed(colour), 3);
    EXPECT_EQ(overlay->Drawn(), (std::vector<std::array<int, 3>>{{5, 3, 4}}));
}

// One image serves the renderer and the painter: each frame is written into it in place, never
// while a paint reads it (the picture would tear), and a frame that fails to convert leaves
// nothing stale to paint.
TEST(FrameConverter, SlotWritesOneImageInPlaceAndNeverUnderAPaint) {
    CVideoFrameSlot slot;
    CFrameConverter converter;
    const QSize size(4, 2);
    const auto render = [&](QRgb colour) {
        const std::vector<std::uint8_t> frame = Solid(colour);
        return slot.Render(size, [&](QImage& image) {
            return converter.Convert(BgrPicture(frame.data(), kWidth, kHeight), image);
        });
    };
    const auto latest = [&] {
        QRgb pixel = 0;
        const uchar* bits = nullptr;
        slot.PaintLatest([&](const QImage& image) {
            pixel = image.isNull() ? 0 : image.pixel(3, 1);
            bits = image.constBits();
        });
        return std::make_pair(pixel, bits);
    };

    ASSERT_TRUE(render(qRgb(255, 0, 0)));
    const auto [red, firstBits] = latest();
    EXPECT_EQ(red, qRgb(255, 0, 0));
    // On a scaled desktop the image carries the ratio, so that the paint needs no copy to set it.
    slot.SetTargetSize(size, 2.0);
    ASSERT_TRUE(render(qRgb(0, 255, 0)));
    EXPECT_EQ(latest(), std::make_pair(qRgb(0, 255, 0), firstBits));
    slot.PaintLatest([](const QImage& image) { EXPECT_EQ(image.devicePixelRatio(), 2.0); });

    std::promise<void> painting, painted;
    auto paint = std::async(std::launch::async, [&] {
        slot.PaintLatest([&](const QImage& image) {
            painting.set_value();
            painted.get_future().wait();
            EXPECT_EQ(image.pixel(0, 0), qRgb(0, 255, 0)) << "written over while painted";
        });
    });
    painting.get_future().wait();
    auto next = std::async(std::launch::async, [&] { return render(qRgb(0, 0, 255)); });
    EXPECT_EQ(next.wait_for(100ms), std::future_status::timeout);
    painted.set_value();
    paint.get();
    ASSERT_TRUE(next.get());
    EXPECT_EQ(latest().first, qRgb(0, 0, 255));

    EXPECT_FALSE(slot.Render(size, [](QImage&) { return false; }));
    EXPECT_EQ(latest().second, nullptr);
}

} // namespace
