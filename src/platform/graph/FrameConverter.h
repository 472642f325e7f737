#pragma once
// Brings decoded pictures to the screen in one libswscale scaling pass: the pixel-format
// conversion and the scaling to the widget's size in device pixels happen together, straight
// into a 32-bit image the widget paints unscaled (an odd width adds a plain repacking, see
// CPictureScaler). The image is the frame slot's (see VideoWidget.h), so that a frame is
// written once and never copied on its way to the painter.
//
// A picture at least twice the output's size is first halved by averaging (CPictureHalver), then
// scaled with libswscale's fast bilinear filter. Fast bilinear alone is the cheapest filter but
// reads only two source pixels per output pixel, so a large shrink folds fine detail into false
// pattern; the halving removes that detail at less cost than a wider filter. For 1080p to the
// default window's picture (787 x 443) the renderer takes 1.18 ms a frame against 1.44 without
// the halving; a 1-pixel checkerboard comes out an even grey (deviation 0.0 against 42.5, and
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

// One libswscale context, rebuilt only when the picture's size or format or the output's
// changes. For an odd output width libswscale interpolates the chroma of every output pixel,
// and its packed-RGB writer for that is plain C: three times the cost of an even width (2.4 ms
// against 0.8 for 1080p to 787 x 443). Its planar G,B,R writer is vectorised and gives the same
// picture (within 1 of 255 on a few pixels), so an odd width is scaled into planes and then
// packed unscaled, 1.3 ms in all.
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
    // The planar G,B,R picture between the two passes of an odd width; false when out of memory.
    bool ReservePlanes(QSize size);

    CPictureHalver m_halver;
    SwsContext* m_context = nullptr; // picture to output, or to the planes for an odd width
    SwsContext* m_packer = nullptr;  // planes to output, odd widths only
    CPlaneMemory m_planes;           // three planes of m_planeStride-byte rows, odd widths only
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
