#pragma once

// Pixel work of the subtitle renderer on frames of width x height pixels, packed B, G, R (byte 0
// blue), top row first, stride width x 3. Pure functions; pixels outside the frame are skipped.

#include <cstdint>

extern "C" {
#include <ass/ass.h>
}

struct CSubtitleBitmap;

// Where a block of libass images goes: centred across the frame, its bottom on the running line.
struct CTextPlacement {
    int dx = 0; // shift to apply to every image of the block
    int dy = 0;
    int nextY = 0; // running bottom line for the next block: 10 pixels above this block's top
};

// Bounding box of the image list (clamped to the frame), moved so that it is centred and its
// bottom sits on bottomY. images must not be null.
CTextPlacement PlaceTextBlock(const ASS_Image* images, int width, int height, int bottomY);

// One libass image (alpha plane, colour 0xRRGGBBAA with AA = transparency) blended into the frame
// at its own position plus the shift.
void BlendAssImage(std::uint8_t* frame, int width, int height, const ASS_Image& image, int dx,
                   int dy);

// The rectangle's palette colours written opaquely; fully transparent colours (alpha 0, which
// includes colour 0) and indexes beyond the palette leave the pixel alone. A rectangle whose
// index plane is smaller than w x h draws nothing.
void DrawPaletteBitmap(std::uint8_t* frame, int width, int height, const CSubtitleBitmap& bitmap);
