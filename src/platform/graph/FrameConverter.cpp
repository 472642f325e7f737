#include "platform/graph/FrameConverter.h"

#include <algorithm>
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

// Y'CbCr, grey and the full-range (JPEG) variants included.
bool IsLumaChroma(const AVPixFmtDescriptor* descriptor) {
    constexpr auto kOther = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                            AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_FLOAT |
                            AV_PIX_FMT_FLAG_BAYER;
    return descriptor != nullptr && (descriptor->flags & kOther) == 0;
}

// True for Y'CbCr `width` pixels wide in 32 bits, when libswscale's packed writer would lose
// colour detail: it shares one chroma sample between two pixels, which loses nothing only while
// the picture has no more chroma samples across than half the output's width, and at odd widths
// it is plain C. libswscale brings a full range to the limited range of the 4:4:4 planes.
bool NeedsOwnChroma(const AVPixFmtDescriptor* descriptor, int pictureWidth, AVPixelFormat output,
                    int width) {
    if (output != AV_PIX_FMT_RGB32 || !IsLumaChroma(descriptor)) {
        return false;
    }
    const int chromaWidth =
        descriptor->nb_components < 3 ? 0 : AV_CEIL_RSHIFT(pictureWidth, descriptor->log2_chroma_w);
    return width % 2 != 0 || width / 2 < chromaWidth;
}

// A matrix a stream may name: the weights of red and blue in its luma, and libswscale's name.
struct CColourStandard {
    double redWeight;
    double blueWeight;
    int swsColorSpace;
};

// BT.709 and BT.2020 as a stream names them; any other name, or none, BT.601, libswscale's
// default, as the renderer has always taken them.
CColourStandard StandardOf(int colorSpace) {
    switch (colorSpace) {
    case AVCOL_SPC_BT709:
        return {0.2126, 0.0722, SWS_CS_ITU709};
    case AVCOL_SPC_BT2020_NCL:
        return {0.2627, 0.0593, SWS_CS_BT2020};
    default:
        return {0.299, 0.114, SWS_CS_ITU601};
    }
}

// Tells libswscale what the picture names that its format does not: the matrix, for a picture
// converted straight into RGB, and a full range. Everything else stays as libswscale set it up;
// between the 4:4:4 planes and the picture the matrix stays the same on both sides, so libswscale
// converts nothing but the range.
void DescribeColours(SwsContext* context, const CVideoPicture& picture, bool viaPlanes) {
    int* inverse = nullptr;
    int* forward = nullptr;
    int sourceRange = 0;
    int outputRange = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    if (sws_getColorspaceDetails(context, &inverse, &sourceRange, &forward, &outputRange,
                                 &brightness, &contrast, &saturation) < 0) {
        return;
    }
    const int* matrix =
        viaPlanes ? inverse : sws_getCoefficients(StandardOf(picture.colorSpace).swsColorSpace);
    const int range = sourceRange != 0 || picture.colorRange == AVCOL_RANGE_JPEG ? 1 : 0;
    if (range == sourceRange && std::equal(matrix, matrix + 4, inverse)) {
        return;
    }
    // Returns -1 for Y'CbCr on both sides even when it has set the range.
    sws_setColorspaceDetails(context, matrix, range, viaPlanes ? matrix : forward, outputRange,
                             brightness, contrast, saturation);
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
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(input);
    const bool viaPlanes = NeedsOwnChroma(descriptor, picture.width, output, size.width());
    m_context = sws_getCachedContext(m_context, picture.width, picture.height, input, size.width(),
                                     size.height(), viaPlanes ? AV_PIX_FMT_YUV444P : output,
                                     kScaleFilter, nullptr, nullptr, nullptr);
    if (m_context == nullptr) {
        PlatformLog(PLATFORM_LOG_ERROR, kScaleFunction, "no scaler for this picture");
        return false;
    }
    if (IsLumaChroma(descriptor)) {
        DescribeColours(m_context, picture, viaPlanes);
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
            const CColourStandard standard = StandardOf(picture.colorSpace);
            Yuv444ToRgb32(LimitedRangeMatrix(standard.redWeight, standard.blueWeight), planes,
                          planeStrides, size.width(), size.height(), destination, stride);
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
