// What it costs to bring a decoded 1080p picture (planar 4:2:0, as H.264 gives it) onto the
// screen in one libswscale pass, per frame and per scaling filter, at the default window's
// picture size, at 720p and at full screen; then the video renderer's converter (fast
// bilinear, into the frame slot's image) followed by the widget's unscaled blit. Last, how much
// each filter aliases: a 1-pixel black and white checkerboard shrunk to the default window's
// picture should come out an even grey; the deviation of its green channel is what the filter
// let through as false pattern (0 = none), beside QPainter's smooth scaling of the same board.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/graph/FrameConverter.h"

namespace {

constexpr int kSourceWidth = 1920;
constexpr int kSourceHeight = 1080;
constexpr int kRounds = 60;
// The default window's picture (on a 1080p desktop, and as first measured), a 720p window and
// full screen on a 1080p desktop.
constexpr QSize kTargets[] = {{787, 443}, {467, 263}, {1280, 720}, {1920, 1080}};

struct CFilter {
    const char* name;
    int flags;
};
constexpr CFilter kFilters[] = {{"fast bilinear", SWS_FAST_BILINEAR},
                                {"bilinear", SWS_BILINEAR},
                                {"area", SWS_AREA},
                                {"bicubic", SWS_BICUBIC}};

// The standard deviation of the green channel of a 32-bit image.
double GreenDeviation(const QImage& image) {
    double sum = 0, squares = 0;
    const double count = static_cast<double>(image.width()) * image.height();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double green = qGreen(row[x]);
            sum += green;
            squares += green * green;
        }
    }
    const double mean = sum / count;
    return std::sqrt(std::max(0.0, squares / count - mean * mean));
}

// Peak signal-to-noise ratio of the green channels of two images of one size, in dB.
double GreenPsnr(const QImage& image, const QImage& reference) {
    double squares = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto* referenceRow = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double error = qGreen(row[x]) - qGreen(referenceRow[x]);
            squares += error * error;
        }
    }
    const double mean = squares / (static_cast<double>(image.width()) * image.height());
    return 10 * std::log10(255.0 * 255.0 / std::max(mean, 1e-9));
}

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

// One libswscale pass of the picture into `image` with the filter: timed (ms per frame), or once.
double ScaleInto(QImage& image, const CVideoPicture& picture, int flags, bool timed) {
    SwsContext* context = sws_getContext(
        picture.width, picture.height, static_cast<AVPixelFormat>(picture.pixelFormat),
        image.width(), image.height(), AV_PIX_FMT_RGB32, flags, nullptr, nullptr, nullptr);
    std::uint8_t* const destination[] = {image.bits(), nullptr, nullptr, nullptr};
    const int destinationStride[] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    const auto frame = [&] {
        sws_scale(context, picture.planes, picture.strides, 0, picture.height, destination,
                  destinationStride);
    };
    double milliseconds = 0;
    if (timed) {
        milliseconds = MillisecondsPerFrame(frame);
    } else {
        frame();
    }
    sws_freeContext(context);
    return milliseconds;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    // Fine detail everywhere, so that the filters do their full work.
    std::vector<std::uint8_t> luma(static_cast<std::size_t>(kSourceWidth) * kSourceHeight);
    std::vector<std::uint8_t> chroma(luma.size() / 4 * 2);
    for (std::size_t i = 0; i < luma.size(); ++i) {
        luma[i] = static_cast<std::uint8_t>(i * 31 / 7 + i / kSourceWidth);
    }
    for (std::size_t i = 0; i < chroma.size(); ++i) {
        chroma[i] = static_cast<std::uint8_t>(i * 13 / 5);
    }
    CVideoPicture picture;
    picture.planes[0] = luma.data();
    picture.planes[1] = chroma.data();
    picture.planes[2] = chroma.data() + chroma.size() / 2;
    picture.strides[0] = kSourceWidth;
    picture.strides[1] = picture.strides[2] = kSourceWidth / 2;
    picture.pixelFormat = AV_PIX_FMT_YUV420P;
    picture.width = kSourceWidth;
    picture.height = kSourceHeight;

    std::printf("1920x1080 4:2:0 picture to 32-bit RGB, one libswscale pass, ms per frame "
                "(%d rounds)\n%-16s",
                kRounds, "filter");
    for (const QSize& target : kTargets) {
        std::printf(" %5dx%-5d", target.width(), target.height());
    }
    std::printf("\n");
    for (const CFilter& filter : kFilters) {
        std::printf("%-16s", filter.name);
        for (const QSize& target : kTargets) {
            QImage image(target, QImage::Format_RGB32);
            std::printf(" %11.2f", ScaleInto(image, picture, filter.flags, true));
        }
        std::printf("\n");
    }

    std::printf("%-16s", "renderer+blit");
    for (const QSize& target : kTargets) {
        QImage surface(target, QImage::Format_RGB32); // stands for the widget's backing store
        CFrameConverter converter;
        QImage image(target, QImage::Format_RGB32);
        std::printf(" %11.2f", MillisecondsPerFrame([&] {
                        converter.Convert(picture, image);
                        QPainter painter(&surface);
                        painter.drawImage(0, 0, image);
                    }));
    }
    std::printf("\n");

    // The checkerboard in video levels: luma 16 and 235, neutral chroma.
    std::vector<std::uint8_t> board(luma.size());
    std::vector<std::uint8_t> grey(chroma.size(), 128);
    QImage boardRgb(kSourceWidth, kSourceHeight, QImage::Format_RGB32);
    for (int y = 0; y < kSourceHeight; ++y) {
        for (int x = 0; x < kSourceWidth; ++x) {
            const bool white = (x + y) % 2 == 0;
            board[static_cast<std::size_t>(y) * kSourceWidth + x] = white ? 235 : 16;
            boardRgb.setPixel(x, y, white ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    picture.planes[0] = board.data();
    picture.planes[1] = grey.data();
    picture.planes[2] = grey.data() + grey.size() / 2;
    const QSize small = kTargets[0];
    std::printf("aliasing: green deviation of a 1-pixel checkerboard shrunk to %dx%d\n",
                small.width(), small.height());
    for (const CFilter& filter : kFilters) {
        QImage image(small, QImage::Format_RGB32);
        ScaleInto(image, picture, filter.flags, false);
        std::printf("  %-16s %6.1f\n", filter.name, GreenDeviation(image));
    }
    QImage painted(small, QImage::Format_RGB32);
    {
        QPainter painter(&painted);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), small), boardRgb);
    }
    std::printf("  %-16s %6.1f\n", "QPainter smooth", GreenDeviation(painted));
    QImage converted(small, QImage::Format_RGB32);
    CFrameConverter().Convert(picture, converted);
    std::printf("  %-16s %6.1f\n", "renderer", GreenDeviation(converted));

    // A zone plate holds every frequency up to the source's limit; the closer a result comes to
    // a wide Lanczos filter's, the less it aliases and blurs. PSNR of the green channel, in dB.
    for (int y = 0; y < kSourceHeight; ++y) {
        for (int x = 0; x < kSourceWidth; ++x) {
            const double dx = x - kSourceWidth / 2.0;
            const double dy = y - kSourceHeight / 2.0;
            board[static_cast<std::size_t>(y) * kSourceWidth + x] = static_cast<std::uint8_t>(
                std::lround(126 + 109 * std::cos(M_PI * (dx * dx + dy * dy) / kSourceWidth)));
        }
    }
    QImage reference(small, QImage::Format_RGB32);
    ScaleInto(reference, picture, SWS_LANCZOS | SWS_ACCURATE_RND, false);
    std::printf("fidelity: PSNR against Lanczos of a zone plate shrunk to %dx%d, dB\n",
                small.width(), small.height());
    for (const CFilter& filter : kFilters) {
        QImage image(small, QImage::Format_RGB32);
        ScaleInto(image, picture, filter.flags, false);
        std::printf("  %-16s %6.1f\n", filter.name, GreenPsnr(image, reference));
    }
    CFrameConverter().Convert(picture, converted);
    std::printf("  %-16s %6.1f\n", "renderer", GreenPsnr(converted, reference));
    return 0;
}
