#pragma once
// Planar pictures for converter tests, whose planes own their samples.
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/common.h>
#include <libavutil/pixdesc.h>
}

#include "platform/graph/VideoPicture.h"

// Bytes outside a plane's width hold this, so that a read beyond the width shows.
inline constexpr std::uint8_t kPadding = 255;
inline constexpr int kStrideSlack = 5;

// A planar picture whose planes own their samples; sample (x, y) of plane p is value(p, x, y).
struct COwnedPicture {
    std::vector<std::uint8_t> planes[3];
    CVideoPicture picture;
};

template <class Value>
void MakePicture(COwnedPicture& owned, AVPixelFormat format, int width, int height, Value value) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    const int bytes = descriptor->comp[0].depth > 8 ? 2 : 1;
    owned.picture = CVideoPicture{};
    owned.picture.pixelFormat = format;
    owned.picture.width = width;
    owned.picture.height = height;
    for (int p = 0; p < 3; ++p) {
        const int w = p == 0 ? width : AV_CEIL_RSHIFT(width, descriptor->log2_chroma_w);
        const int h = p == 0 ? height : AV_CEIL_RSHIFT(height, descriptor->log2_chroma_h);
        const int stride = (w + kStrideSlack) * bytes;
        owned.planes[p].assign(static_cast<std::size_t>(stride) * h, kPadding);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint16_t sample = value(p, x, y);
                std::memcpy(&owned.planes[p][static_cast<std::size_t>(y) * stride + x * bytes],
                            &sample, bytes); // the low byte first, as on this machine
            }
        }
        owned.picture.planes[p] = owned.planes[p].data();
        owned.picture.strides[p] = stride;
    }
}
