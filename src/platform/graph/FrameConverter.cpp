#include "platform/graph/FrameConverter.h"

#include <cstdlib>

extern "C" {
#include <libavutil/common.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "platform/PlatformLog.h"
#include "platform/graph/YuvToRgb.h"

namespace {

// See the header: the cheapest filter that looks no worse than the painter's scaling.
constexpr int kScaleFilter = SWS_FAST_BILINEAR;
constexpr char kScaleFunction[] = "CPictureScaler::Scale";

// True for Y'CbCr (grey and the full-range JPEG variants included, which libswscale brings to
// the limited range of the 4:4:4 planes) shown in 32-bit pixels at `width`, when libswscale's
// packed writer would lose colour detail: it shares one chroma sample between two pixels, which
// loses nothing only while the picture has no more chroma samples across than half the output's
// width, and at odd widths it is plain C.
bool NeedsOwnChroma(const CVideoPicture& picture, AVPixelFormat output, int width) {
    const AVPixFmtDescriptor* descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.pixelFormat));
    constexpr auto kOther = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                            AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_FLOAT |
                            AV_PIX_FMT_FLAG_BAYER;
    if (output != AV_PIX_FMT_RGB32 || descriptor == nullptr || (descriptor->flags & kOther) != 0) {
        return false;
    }
    const int chromaWidth = descriptor->nb_components < 3
                                ? 0
                                : AV_CEIL_RSHIFT(picture.width, descriptor->log2_chroma_w);
    return width % 2 != 0 || width / 2 < chromaWidth;
}

} // namespace

CPictureScaler::~CPictureScaler() {
    sws_freeContext(m_context);
}

bool CPictureScaler::ReservePlanes(QSize size) {
    m_planeStride = CPlaneMemory::AlignedRow(size.width());
    if (!m_planes.Reserve(static_cast<std::size_t>(m_planeStride) * size.height() * 3)) {
        PlatformLog(PLATFORM_LOG_ERROR, kScaleFunction, "out of memory for the picture's planes");
        return false;
    }
    return true;
}

bool CPictureScaler::Scale(const CVideoPicture& original, int pixelFormat, QSize size,
                           std::uint8_t* destination, int stride) {
    if (original.planes[0] == nullptr || original.width <= 0 || original.height <= 0 ||
        original.pixelFormat < 0 || size.isEmpty() || destination == nullptr) {
        return false;
    }
    const CVideoPicture& picture = m_halver.Fit(original, size);
    const auto input = static_cast<AVPixelFormat>(picture.pixelFormat);
    const auto output = static_cast<AVPixelFormat>(pixelFormat);
    const bool viaPlanes = NeedsOwnChroma(picture, output, size.width());
    m_context = sws_getCachedContext(m_context, picture.width, picture.height, input, size.width(),
                                     size.height(), viaPlanes ? AV_PIX_FMT_YUV444P : output,
                                     kScaleFilter, nullptr, nullptr, nullptr);
    if (m_context == nullptr) {
        PlatformLog(PLATFORM_LOG_ERROR, kScaleFunction, "no scaler for this picture");
        return false;
    }
    bool scaled = false;
    if (!viaPlanes) {
        std::uint8_t* const destinations[] = {destination, nullptr, nullptr, nullptr};
        const int strides[] = {stride, 0, 0, 0};
        scaled = sws_scale(m_context, picture.planes, picture.strides, 0, picture.height,
                           destinations, strides) == size.height();
    } else if (ReservePlanes(size)) {
        const std::size_t planeBytes = static_cast<std::size_t>(m_planeStride) * size.height();
        std::uint8_t* const planes[] = {m_planes.Data(), m_planes.Data() + planeBytes,
                                        m_planes.Data() + 2 * planeBytes, nullptr};
        const int planeStrides[] = {m_planeStride, m_planeStride, m_planeStride, 0};
        scaled = sws_scale(m_context, picture.planes, picture.strides, 0, picture.height, planes,
                           planeStrides) == size.height();
        if (scaled) {
            Yuv444ToRgb32(planes, planeStrides, size.width(), size.height(), destination, stride);
        }
    }
    if (!scaled) {
        PlatformLog(PLATFORM_LOG_ERROR, kScaleFunction, "the scaler failed on a frame");
    }
    return scaled;
}

bool CFrameConverter::Convert(const CVideoPicture& picture, QImage& image) {
    if (image.isNull() || image.format() != QImage::Format_RGB32) {
        return false;
    }
    // QImage's RGB32 is a native-endian 0xffRRGGBB word, which is libswscale's RGB32.
    if (!m_scaler.Scale(picture, AV_PIX_FMT_RGB32, image.size(), image.bits(),
                        static_cast<int>(image.bytesPerLine()))) {
        return false;
    }
    if (picture.overlay) {
        static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 is taken as bytes B, G, R, X");
        picture.overlay->Draw(CBgrCanvas{image.bits(), image.width(), image.height(),
                                         static_cast<int>(image.bytesPerLine()), 4});
    }
    return true;
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
