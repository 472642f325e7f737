#pragma once
// Brings decoded pictures to the screen in one scaling pass: libswscale scales to the widget's
// size in device pixels, and the result lands in a 32-bit image that is shown unscaled. The
// image is the frame slot's (see VideoWidget.h), on X11 memory the X server shares, so that a
// frame is written once and never copied on its way to the screen.
//
// A picture at least twice the output's size is first halved by averaging (CPictureHalver), then
// scaled with libswscale's fast bilinear filter. Fast bilinear alone is the cheapest filter but
// reads only two source pixels per output pixel, so a large shrink folds fine detail into false
// pattern; the halving removes that detail at less cost than a wider filter. A 1-pixel
// checkerboard comes out an even grey (deviation 0.0 against 42.5 for fast bilinear alone, and
// 43.0 for QPainter's smooth scaling), and a zone plate comes within 21.4 dB of a Lanczos filter
// against 12.2. Unscaled, libswscale uses its plain converters and the filter does not matter.
// bench/scale_bench prints these figures.
//
// Threads: one converter per video renderer, used only on its delivery thread.
#include <QImage>
#include <QSize>
#include <cstdint>

#include "platform/graph/PictureHalver.h"
#include "platform/graph/PlaneMemory.h"
#include "platform/graph/VideoPicture.h"

struct SwsContext;

// A Y'CbCr picture bound for 32-bit pixels is scaled into 8-bit 4:4:4 planes and then turned
// into pixels by Yuv444ToRgb32, which keeps each pixel's own chroma, whenever libswscale's packed
// writers would lose colour: they share one chroma sample between two pixels, which loses detail
// once the picture has more chroma samples across than half the output's width (a shrunk 4:2:0
// picture, any 4:4:4 one), and at odd widths they are plain C. For 1080p to 787 x 443 the
// renderer takes 0.55 ms a frame this way, against 1.18 through libswscale's planar G,B,R writer
// and a repacking. Other pictures and outputs (4:2:0 shown at an even width no smaller than its
// own, RGB) are scaled straight into the output. Either way a picture that names BT.709 or
// BT.2020, or a full range its format does not say, is converted by what it names. The libswscale
// context is rebuilt only when the picture's size or format or the output's changes.
class CPictureScaler {
public:
    CPictureScaler() = default;
    ~CPictureScaler();
    CPictureScaler(const CPictureScaler&) = delete;
    CPictureScaler& operator=(const CPictureScaler&) = delete;

    // Writes the picture, scaled to `size`, into one packed plane of `pixelFormat` (an
    // AVPixelFormat value) at `destination`, rows `stride` bytes apart. False (logged) when the
    // picture is empty or cannot be converted.
    bool Scale(const CVideoPicture& picture, int pixelFormat, QSize size, std::uint8_t* destination,
               int stride);

private:
    // The 4:4:4 planes between the scaling and the conversion; false when out of memory.
    bool ReservePlanes(QSize size);

    CPictureHalver m_halver;
    SwsContext* m_context = nullptr; // picture to output, or to the planes
    CPlaneMemory m_planes;           // Y', Cb, Cr of m_planeStride-byte rows, when used
    int m_planeStride = 0;
};

class CFrameConverter {
public:
    // Writes the picture into `image` (QImage::Format_RGB32, detached), scaled to its size,
    // with the picture's overlay drawn over it; false when the image is null or the conversion
    // fails.
    bool Convert(const CVideoPicture& picture, QImage& image);

private:
    CPictureScaler m_scaler;
};

// Describes packed 24-bit B,G,R bytes as a picture. `height` negative: rows top-down, as the
// source writes them; positive: bottom-up. Rows are width * 3 bytes apart.
CVideoPicture BgrPicture(const std::uint8_t* bgr, int width, int height);
