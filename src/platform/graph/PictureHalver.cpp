#include "platform/graph/PictureHalver.h"

#include <algorithm>

extern "C" {
#include <libavutil/common.h>
#include <libavutil/pixdesc.h>
}

#include "platform/PlatformLog.h"
#include "platform/graph/VectorClones.h"

namespace {

// Four planes at most (Y, U, V and alpha), as in CVideoPicture.
constexpr int kMaxPlanes = 4;

int CeilHalf(int value) {
    return (value + 1) / 2;
}

// Bytes per sample when every component has a plane of its own with samples of one size in the
// machine's byte order (8 bits, or 9 to 16 in two bytes), so that a plane can be averaged sample by
// sample; 0 otherwise.
int PlanarSampleBytes(const AVPixFmtDescriptor* format) {
    constexpr auto kUnfit = AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                            AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_FLOAT;
    if (format == nullptr || (format->flags & AV_PIX_FMT_FLAG_PLANAR) == 0 ||
        (format->flags & kUnfit) != 0 || format->nb_components == 0) {
        return 0;
    }
    const int bytes = format->comp[0].depth > 8 ? 2 : 1;
    for (int i = 0; i < format->nb_components; ++i) {
        const AVComponentDescriptor& component = format->comp[i];
        if (component.depth > 16 || (component.depth > 8 ? 2 : 1) != bytes ||
            component.step != bytes || component.shift != 0) {
            return 0;
        }
    }
    return bytes;
}

// Averages one row pair: out[x] is the rounded mean of the 2 x 2 block at column 2x. Written as
// one uniform loop so that the compiler vectorises it; inlined into one function per sample size,
// since VectorClones.h takes no templates.
template <class Sample>
[[gnu::always_inline]] inline void AverageRowPair(const Sample* top, const Sample* bottom,
                                                  Sample* out, int pairs) {
    for (int x = 0; x < pairs; ++x) {
        const int sum = top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1];
        out[x] = static_cast<Sample>((sum + 2) >> 2);
    }
}

QOR_VECTOR_CLONES
void HalveRowPair(const std::uint8_t* top, const std::uint8_t* bottom, std::uint8_t* out,
                  int pairs) {
    AverageRowPair(top, bottom, out, pairs);
}

QOR_VECTOR_CLONES
void HalveRowPair(const std::uint16_t* top, const std::uint16_t* bottom, std::uint16_t* out,
                  int pairs) {
    AverageRowPair(top, bottom, out, pairs);
}

// Halves one plane of `width` x `height` samples, rows `sourceStride` and `outStride` bytes
// apart; an odd last column or row is averaged with itself.
template <class Sample>
void HalvePlane(const std::uint8_t* source, int sourceStride, int width, int height,
                std::uint8_t* out, int outStride) {
    const int pairs = width / 2;
    for (int y = 0; y < CeilHalf(height); ++y) {
        const auto* top = reinterpret_cast<const Sample*>(
            source + static_cast<std::ptrdiff_t>(2 * y) * sourceStride);
        const auto* bottom = 2 * y + 1 < height
                                 ? reinterpret_cast<const Sample*>(
                                       reinterpret_cast<const std::uint8_t*>(top) + sourceStride)
                                 : top;
        auto* row = reinterpret_cast<Sample*>(out + static_cast<std::ptrdiff_t>(y) * outStride);
        HalveRowPair(top, bottom, row, pairs);
        if (width % 2 != 0) {
            row[pairs] = static_cast<Sample>((top[width - 1] + bottom[width - 1] + 1) >> 1);
        }
    }
}

} // namespace

const CVideoPicture& CPictureHalver::Fit(const CVideoPicture& picture, QSize target) {
    const AVPixFmtDescriptor* format =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.pixelFormat));
    if (target.isEmpty() || picture.width < 2 * target.width() ||
        picture.height < 2 * target.height()) {
        return picture;
    }
    const int sampleBytes = PlanarSampleBytes(format);
    if (sampleBytes == 0) {
        return picture;
    }
    const int planes = std::min(
        av_pix_fmt_count_planes(static_cast<AVPixelFormat>(picture.pixelFormat)), kMaxPlanes);
    // Plane sizes follow libavutil's rule: the chroma planes (1 and 2) are subsampled.
    const auto planeWidth = [&](int plane, int width) {
        return plane == 1 || plane == 2 ? AV_CEIL_RSHIFT(width, format->log2_chroma_w) : width;
    };
    const auto planeHeight = [&](int plane, int height) {
        return plane == 1 || plane == 2 ? AV_CEIL_RSHIFT(height, format->log2_chroma_h) : height;
    };
    // Every halving gets planes of its own after the previous one's, so that none is averaged in
    // place.
    std::size_t bytes = 0;
    int levels = 0;
    for (int width = picture.width, height = picture.height;
         width >= 2 * target.width() && height >= 2 * target.height(); ++levels) {
        width = CeilHalf(width);
        height = CeilHalf(height);
        for (int plane = 0; plane < planes; ++plane) {
            bytes += static_cast<std::size_t>(
                         CPlaneMemory::AlignedRow(planeWidth(plane, width) * sampleBytes)) *
                     planeHeight(plane, height);
        }
    }
    if (!m_memory.Reserve(bytes)) {
        PlatformLog(PLATFORM_LOG_ERROR, "CPictureHalver::Fit",
                    "out of memory for a halved picture");
        return picture;
    }
    CVideoPicture from = picture;
    std::uint8_t* next = m_memory.Data();
    for (int level = 0; level < levels; ++level) {
        CVideoPicture halved;
        halved.pixelFormat = picture.pixelFormat;
        halved.colorSpace = picture.colorSpace;
        halved.colorRange = picture.colorRange;
        halved.width = CeilHalf(from.width);
        halved.height = CeilHalf(from.height);
        for (int plane = 0; plane < planes; ++plane) {
            const int width = planeWidth(plane, from.width);
            const int height = planeHeight(plane, from.height);
            halved.strides[plane] = CPlaneMemory::AlignedRow(CeilHalf(width) * sampleBytes);
            halved.planes[plane] = next;
            const auto halve =
                sampleBytes == 1 ? HalvePlane<std::uint8_t> : HalvePlane<std::uint16_t>;
            halve(from.planes[plane], from.strides[plane], width, height, next,
                  halved.strides[plane]);
            next += static_cast<std::size_t>(halved.strides[plane]) * CeilHalf(height);
        }
        from = halved;
    }
    m_halved = from;
    return m_halved;
}
