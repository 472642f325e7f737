#include "platform/graph/YuvToRgb.h"

#include <algorithm>
#include <cstddef>

#include "platform/graph/VectorClones.h"

namespace {

// Fixed point with 13 fraction bits: the largest intermediate, 255 * 1.164 + 127 * 2.018 in that
// scale, stays well inside 32 bits, and rounding errors stay below one step of 255.
constexpr int kFractionBits = 13;
constexpr int Fixed(double value) {
    return static_cast<int>(value * (1 << kFractionBits) + 0.5);
}
// BT.601 (Kr 0.299, Kb 0.114), Y' scaled from 219 steps and chroma from 224 to 255.
constexpr int kLuma = Fixed(255.0 / 219.0);
constexpr int kRedFromCr = Fixed(255.0 / 224.0 * 1.402);
constexpr int kGreenFromCb = Fixed(255.0 / 224.0 * 1.772 * 0.114 / 0.587);
constexpr int kGreenFromCr = Fixed(255.0 / 224.0 * 1.402 * 0.299 / 0.587);
constexpr int kBlueFromCb = Fixed(255.0 / 224.0 * 1.772);
constexpr int kLumaBlack = 16;
constexpr int kChromaZero = 128;

// One row, as one uniform loop that the compiler vectorises.
QOR_VECTOR_CLONES
void ConvertRow(const std::uint8_t* __restrict luma, const std::uint8_t* __restrict blue,
                const std::uint8_t* __restrict red, std::uint32_t* __restrict out, int width) {
    for (int x = 0; x < width; ++x) {
        const int y = (luma[x] - kLumaBlack) * kLuma + (1 << (kFractionBits - 1));
        const int cb = blue[x] - kChromaZero;
        const int cr = red[x] - kChromaZero;
        const int r = std::clamp((y + kRedFromCr * cr) >> kFractionBits, 0, 255);
        const int g =
            std::clamp((y - kGreenFromCb * cb - kGreenFromCr * cr) >> kFractionBits, 0, 255);
        const int b = std::clamp((y + kBlueFromCb * cb) >> kFractionBits, 0, 255);
        out[x] = 0xff000000u | static_cast<std::uint32_t>(r) << 16 |
                 static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
    }
}

} // namespace

void Yuv444ToRgb32(const std::uint8_t* const planes[3], const int strides[3], int width, int height,
                   std::uint8_t* destination, int destinationStride) {
    for (int row = 0; row < height; ++row) {
        const auto at = [&](int plane) {
            return planes[plane] + static_cast<std::ptrdiff_t>(row) * strides[plane];
        };
        ConvertRow(at(0), at(1), at(2),
                   reinterpret_cast<std::uint32_t*>(destination + static_cast<std::ptrdiff_t>(row) *
                                                                      destinationStride),
                   width);
    }
}
