#pragma once
// The last step of the renderer's pass for Y'CbCr pictures: libswscale scales a picture into
// 8-bit 4:4:4 planes at the screen's size, and this turns them into 32-bit pixels. libswscale's
// own packed writers either share one chroma sample between two pixels (even widths) or are
// plain C (odd widths); this keeps every pixel's own chroma at a fifth of the cost (0.08 ms for
// 787 x 443 with AVX-512, 0.15 with AVX2).
//
// The matrix is libswscale's default, which the renderer has always used: BT.601, limited range
// (Y' 16 to 235, Cb and Cr 16 to 240), values beyond it clipped. Results are within 1 of the exact
// formula.
//
// Threads: none; a pure function of its arguments.
#include <cstdint>

// Writes `width` x `height` pixels as native-endian 0xffRRGGBB words (QImage's RGB32) into
// `destination`, rows `destinationStride` bytes apart, from the Y', Cb and Cr planes in
// `planes`, rows `strides` bytes apart.
void Yuv444ToRgb32(const std::uint8_t* const planes[3], const int strides[3], int width, int height,
                   std::uint8_t* destination, int destinationStride);
