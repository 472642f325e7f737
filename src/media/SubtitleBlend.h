#pragma once

// Pixel work of the subtitle renderer. Subtitles are laid out in the video's coordinates and
// drawn into a canvas that shows the whole video frame at any size (the screen's picture, or
// the frame itself at the video's size): CVideoToCanvas carries positions and lengths across.
// Pure functions; pixels outside the canvas are skipped.

#include <cstdint>

extern "C" {
#include <ass/ass.h>
}

#include "platform/graph/PictureOverlay.h"

struct CSubtitleBitmap;

// The video's pixel grid laid over a canvas, each axis scaled on its own (the picture may be
// stretched). Both sizes must be positive.
struct CVideoToCanvas {
    int videoWidth = 0;
    int videoHeight = 0;
    int canvasWidth = 0;
    int canvasHeight = 0;

    // The canvas pixel that holds a video position's top left corner (rounded down).
    long long X(long long videoX) const;
    long long Y(long long videoY) const;
    // A vertical length (not negative) in canvas pixels, rounded to the nearest.
    int Height(int videoLength) const;
};

// Where a block of libass images goes: centred across the canvas, its bottom on the running line.
struct CTextPlacement {
    int dx = 0; // shift to apply to every image of the block
    int dy = 0;
    int nextY = 0; // running bottom line for the next block: 10 video pixels above this block's top
};

// Bounding box of the image list (clamped to the canvas), moved so that it is centred and its
// bottom sits on bottomY; all in canvas pixels. images must not be null.
CTextPlacement PlaceTextBlock(const ASS_Image* images, const CVideoToCanvas& map, int bottomY);

// One libass image (alpha plane, colour 0xRRGGBBAA with AA = transparency) blended into the
// canvas at its own position plus the shift.
void BlendAssImage(const CBgrCanvas& canvas, const ASS_Image& image, int dx, int dy);

// The rectangle (in video pixels) scaled onto the canvas, each canvas pixel taking the nearest
// index, its palette colour written opaquely; fully transparent colours (alpha 0, which includes
// colour 0) and indexes beyond the palette leave the pixel alone. A rectangle whose index plane
// is smaller than w x h draws nothing.
void DrawPaletteBitmap(const CBgrCanvas& canvas, int videoWidth, int videoHeight,
                       const CSubtitleBitmap& bitmap);
