#include "platform/graph/FrameConverter.h"

#include <cstdlib>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/graph/RenderLog.h"

namespace {
// Bilinear: next to the source's own decode it costs little, and nearest-neighbour shimmers on
// downscaled text and edges.
constexpr int kScaleFlags = SWS_BILINEAR;
} // namespace

CFrameConverter::~CFrameConverter() {
    sws_freeContext(m_context);
}

QImage CFrameConverter::Convert(const std::uint8_t* bgr, int width, int height, QSize target) {
    const int rows = std::abs(height);
    if (bgr == nullptr || width <= 0 || rows == 0 || target.isEmpty()) {
        return {};
    }
    // QImage's RGB32 is a native-endian 0xffRRGGBB word, which is libswscale's RGB32.
    m_context = sws_getCachedContext(m_context, width, rows, AV_PIX_FMT_BGR24, target.width(),
                                     target.height(), AV_PIX_FMT_RGB32, kScaleFlags, nullptr,
                                     nullptr, nullptr);
    if (m_context == nullptr) {
        RenderLog(RENDER_LOG_ERROR, "CFrameConverter::Convert", "no scaler for this size");
        return {};
    }
    QImage image(target, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const int stride = width * 3;
    const std::uint8_t* first =
        height < 0 ? bgr : bgr + static_cast<std::ptrdiff_t>(rows - 1) * stride;
    const std::uint8_t* const source[] = {first, nullptr, nullptr, nullptr};
    const int sourceStride[] = {height < 0 ? stride : -stride, 0, 0, 0};
    std::uint8_t* const destination[] = {image.bits(), nullptr, nullptr, nullptr};
    const int destinationStride[] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(m_context, source, sourceStride, 0, rows, destination, destinationStride) !=
        target.height()) {
        RenderLog(RENDER_LOG_ERROR, "CFrameConverter::Convert", "the scaler failed on a frame");
        return {};
    }
    return image;
}
