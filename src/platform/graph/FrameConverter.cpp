#include "platform/graph/FrameConverter.h"

#include <cstdlib>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/PlatformLog.h"

namespace {

// See the header: the cheapest filter that looks no worse than the painter's scaling.
constexpr int kScaleFilter = SWS_FAST_BILINEAR;

} // namespace

CPictureScaler::~CPictureScaler() {
    sws_freeContext(m_context);
}

bool CPictureScaler::Scale(const CVideoPicture& picture, int pixelFormat, QSize size,
                           std::uint8_t* destination, int stride) {
    if (picture.planes[0] == nullptr || picture.width <= 0 || picture.height <= 0 ||
        picture.pixelFormat < 0 || size.isEmpty() || destination == nullptr) {
        return false;
    }
    m_context = sws_getCachedContext(m_context, picture.width, picture.height,
                                     static_cast<AVPixelFormat>(picture.pixelFormat), size.width(),
                                     size.height(), static_cast<AVPixelFormat>(pixelFormat),
                                     kScaleFilter, nullptr, nullptr, nullptr);
    if (m_context == nullptr) {
        PlatformLog(PLATFORM_LOG_ERROR, "CPictureScaler::Scale", "no scaler for this picture");
        return false;
    }
    std::uint8_t* const destinations[] = {destination, nullptr, nullptr, nullptr};
    const int strides[] = {stride, 0, 0, 0};
    if (sws_scale(m_context, picture.planes, picture.strides, 0, picture.height, destinations,
                  strides) != size.height()) {
        PlatformLog(PLATFORM_LOG_ERROR, "CPictureScaler::Scale", "the scaler failed on a frame");
        return false;
    }
    return true;
}

QImage* CFrameConverter::FreeImage(QSize size) {
    QImage* chosen = nullptr;
    for (QImage& image : m_pool) {
        if (image.isNull() || image.isDetached()) {
            chosen = &image;
            if (image.size() == size) {
                break;
            }
        }
    }
    if (chosen == nullptr) {
        return nullptr;
    }
    if (chosen->size() != size) {
        *chosen = QImage(size, QImage::Format_RGB32);
    }
    return chosen->isNull() ? nullptr : chosen;
}

QImage CFrameConverter::Convert(const CVideoPicture& picture, QSize target) {
    QImage* image = target.isEmpty() ? nullptr : FreeImage(target);
    if (image == nullptr) {
        return {};
    }
    // QImage's RGB32 is a native-endian 0xffRRGGBB word, which is libswscale's RGB32. The image
    // is detached, so bits() writes it in place.
    if (!m_scaler.Scale(picture, AV_PIX_FMT_RGB32, target, image->bits(),
                        static_cast<int>(image->bytesPerLine()))) {
        return {};
    }
    // Drawn before the image is shared: a write through a shared copy would detach it.
    if (picture.overlay) {
        static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 is taken as bytes B, G, R, X");
        picture.overlay->Draw(CBgrCanvas{image->bits(), image->width(), image->height(),
                                         static_cast<int>(image->bytesPerLine()), 4});
    }
    return *image;
}

CVideoPicture BgrPicture(const std::uint8_t* bgr, int width, int height) {
    CVideoPicture picture;
    const int rows = std::abs(height);
    const int stride = width * 3;
    picture.planes[0] =
        height < 0 || bgr == nullptr ? bgr : bgr + static_cast<std::ptrdiff_t>(rows - 1) * stride;
    picture.strides[0] = height < 0 ? stride : -stride;
    picture.pixelFormat = AV_PIX_FMT_BGR24;
    picture.width = width;
    picture.height = rows;
    return picture;
}
