// What it costs to bring a 1080p B,G,R frame onto a 1280 x 720 widget, per frame: the video
// renderer's converter (libswscale pixel conversion, then QPainter scaling with filtering) and an
// unscaled blit, against libswscale converting and scaling in one bilinear pass, and against
// QPainter scaling the 24-bit frame itself (fast and smooth).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/graph/FrameConverter.h"

namespace {

constexpr int kSourceWidth = 1920;
constexpr int kSourceHeight = 1080;
constexpr QSize kTarget(1280, 720);
constexpr int kRounds = 60;

template <class F> double MillisecondsPerFrame(F frame) {
    frame(); // warm-up: scaler contexts, caches
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        frame();
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - begin;
    return spent.count() / kRounds;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(kSourceWidth) * kSourceHeight * 3);
    for (std::size_t i = 0; i < bgr.size(); ++i) {
        bgr[i] = static_cast<std::uint8_t>(i * 31 / 7);
    }
    QImage surface(kTarget, QImage::Format_RGB32); // stands for the widget's backing store
    const auto blit = [&](const QImage& image) {
        QPainter painter(&surface);
        painter.drawImage(0, 0, image);
    };

    CFrameConverter converter;
    const double chosen = MillisecondsPerFrame(
        [&] { blit(converter.Convert(bgr.data(), kSourceWidth, -kSourceHeight, kTarget)); });

    SwsContext* context =
        sws_getContext(kSourceWidth, kSourceHeight, AV_PIX_FMT_BGR24, kTarget.width(),
                       kTarget.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    const double swscale = MillisecondsPerFrame([&] {
        QImage image(kTarget, QImage::Format_RGB32);
        const std::uint8_t* const source[] = {bgr.data(), nullptr, nullptr, nullptr};
        const int sourceStride[] = {kSourceWidth * 3, 0, 0, 0};
        std::uint8_t* const destination[] = {image.bits(), nullptr, nullptr, nullptr};
        const int destinationStride[] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
        sws_scale(context, source, sourceStride, 0, kSourceHeight, destination, destinationStride);
        blit(image);
    });
    sws_freeContext(context);

    const QImage frame(bgr.data(), kSourceWidth, kSourceHeight, kSourceWidth * 3,
                       QImage::Format_BGR888);
    const auto painterScale = [&](bool smooth) {
        return MillisecondsPerFrame([&] {
            QPainter painter(&surface);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
            painter.drawImage(QRect(QPoint(0, 0), kTarget), frame);
        });
    };
    const double fast = painterScale(false);
    const double smooth = painterScale(true);

    std::printf("1920x1080 B,G,R frame onto a 1280x720 surface, ms per frame (%d rounds)\n",
                kRounds);
    std::printf("  renderer: libswscale convert, QPainter smooth scale, blit: %6.2f\n", chosen);
    std::printf("  libswscale bilinear convert+scale in one pass, blit:      %6.2f\n", swscale);
    std::printf("  QPainter scaling the 24-bit frame, fast (nearest):        %6.2f\n", fast);
    std::printf("  QPainter scaling the 24-bit frame, smooth:                %6.2f\n", smooth);
    return 0;
}
