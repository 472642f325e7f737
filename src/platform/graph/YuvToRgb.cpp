#include "platform/graph/YuvToRgb.h"

#include <algorithm>
#include <cstddef>

#include "platform/graph/VectorClones.h"

namespace {

// Fixed point with 13 fraction bits: the largest intermediate, 255 * 1.164 + 127 * 2.14 in that
// scale, stays well inside 32 bits, and rounding errors stay below one step of 255.
constexpr int kFractionBits = 13;
constexpr int Fixed(double value) {
    return static_cast<int>(value * (1 << kFractionBits) + 0.5);
}
// Y' is scaled from 219 steps to 255, chroma from 224.
constexpr double kLumaSteps = 255.0 / 219.0;
constexpr double kChromaSteps = 255.0 / 224.0;
constexpr int kLuma = Fixed(kLumaSteps);
constexpr int kLumaBlack = 16;
constexpr int kChromaZero = 128;

// One row, as one uniform loop that the compiler vectorises.
QOR_VECTOR_CLONES
void ConvertRow(const CYuvMatrix matrix, const std::uint8_t* __restrict luma,
                const std::uint8_t* __restrict blue, const std::uint8_t* __restrict red,
                std::uint32_t* __restrict out, int width) {
    for (int x = 0; x < width; ++x) {
        const int y = (luma[x] - kLumaBlack) * kLuma + (1 << (kFractionBits - 1));
        const int cb = blue[x] - kChromaZero;
        const int cr = red[x] - kChromaZero;
        const int r = std::clamp((y + matrix.redFromCr * cr) >> kFractionBits, 0, 255);
        const int g = std::clamp(
            (y - matrix.greenFromCb * cb - matrix.greenFromCr * cr) >> kFractionBits, 0, 255);
        const int b = std::clamp((y + matrix.blueFromCb * cb) >> kFractionBits, 0, 255);
        out[x] = 0xff000000u | static_cast<std::uint32_t>(r) << 16 |
                 static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
    }
}

} // namespace

CYuvMatrix LimitedRangeMatrix(double redWeight, double blueWeight) {
    const double greenWeight = 1 - redWeight - blueWeight;
    const double redFromCr = 2 * (1 - redWeight);
    const double blueFromCb = 2 * (1 - blueWeight);
    return {Fixed(kChromaSteps * redFromCr),
            Fixed(kChromaSteps * blueFromCb * blueWeight / greenWeight),
            Fixed(kChromaSteps * redFromCr * redWeight / greenWeight),
            Fixed(kChromaSteps * blueFromCb)};
}

void Yuv444ToRgb32(const CYuvMatrix& matrix, const std::uint8_t* const planes[3],
                   const int strides[3], int width, int height, std::uint8_t* destination,
                   int destinationStride) {
    for (int row = 0; row < height; ++row) {
        const auto at = [&](int plane) {
            return planes[plane] + static_cast<std::ptrdiff_t>(row) * strides[plane];
        };
        ConvertRow(matrix, at(0), at(1), at(2),
                   reinterpret_cast<std::uint32_t*>(destination + static_cast<std::ptrdiff_t>(row) *
                                                                      destinationStride),
                   width);
    }
}
