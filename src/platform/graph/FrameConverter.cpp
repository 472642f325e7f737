#include "platform/graph/FrameConverter.h"

#include <QPainter>
#include <cstdlib>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/PlatformLog.h"

CFrameConverter::~CFrameConverter() {
    sws_freeContext(m_context);
}

QImage CFrameConverter::Convert(const std::uint8_t* bgr, int width, int height, QSize target) {
    const int rows = std::abs(height);
    if (bgr == nullptr || width <= 0 || rows == 0 || target.isEmpty()) {
        return {};
    }
    // QImage's RGB32 is a native-endian 0xffRRGGBB word, which is libswscale's RGB32. Without
    // scaling the flags only pick the conversion, and the point one does no filtering work.
    m_context = sws_getCachedContext(m_context, width, rows, AV_PIX_FMT_BGR24, width, rows,
                                     AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    if (m_context == nullptr) {
        PlatformLog(PLATFORM_LOG_ERROR, "CFrameConverter::Convert", "no converter for this size");
        return {};
    }
    if (m_full.width() != width || m_full.height() != rows) {
        m_full = QImage(width, rows, QImage::Format_RGB32);
    }
    if (m_full.isNull()) {
        return {};
    }
    const int stride = width * 3;
    const std::uint8_t* first =
        height < 0 ? bgr : bgr + static_cast<std::ptrdiff_t>(rows - 1) * stride;
    const std::uint8_t* const source[] = {first, nullptr, nullptr, nullptr};
    const int sourceStride[] = {height < 0 ? stride : -stride, 0, 0, 0};
    // bits() detaches the image from the one the widget may still hold from the last frame.
    std::uint8_t* const destination[] = {m_full.bits(), nullptr, nullptr, nullptr};
    const int destinationStride[] = {static_cast<int>(m_full.bytesPerLine()), 0, 0, 0};
    if (sws_scale(m_context, source, sourceStride, 0, rows, destination, destinationStride) !=
        rows) {
        PlatformLog(PLATFORM_LOG_ERROR, "CFrameConverter::Convert",
                    "the converter failed on a frame");
        return {};
    }
    if (target == m_full.size()) {
        return m_full;
    }
    QImage scaled(target, QImage::Format_RGB32);
    if (scaled.isNull()) {
        return {};
    }
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), target), m_full);
    return scaled;
}
