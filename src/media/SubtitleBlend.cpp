#include "media/SubtitleBlend.h"

#include "media/Subtitle.h"

#include <algorithm>
#include <climits>

namespace {

// Space between two stacked text blocks.
constexpr int kBlockGap = 10;

std::uint8_t Mix(unsigned colour, unsigned alpha, std::uint8_t pixel) {
    return static_cast<std::uint8_t>((colour * alpha + (255 - alpha) * pixel) / 255);
}

} // namespace

CTextPlacement PlaceTextBlock(const ASS_Image* images, int width, int height, int bottomY) {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    for (const ASS_Image* image = images; image != nullptr; image = image->next) {
        x0 = std::min(x0, image->dst_x);
        y0 = std::min(y0, image->dst_y);
        x1 = std::max(x1, image->dst_x + image->w);
        y1 = std::max(y1, image->dst_y + image->h);
    }
    x0 = std::clamp(x0, 0, width);
    x1 = std::clamp(x1, 0, width);
    y0 = std::clamp(y0, 0, height);
    y1 = std::clamp(y1, 0, height);

    const int newX0 = (width + x0 - x1) / 2;
    const int newTop = bottomY + y0 - y1;
    return {newX0 - x0, newTop - y0, newTop - kBlockGap};
}

void BlendAssImage(std::uint8_t* frame, int width, int height, const ASS_Image& image, int dx,
                   int dy) {
    const std::uint32_t c = image.color;
    const unsigned opacity = 255 - (c & 0xFF);
    const unsigned blue = (c >> 8) & 0xFF;
    const unsigned green = (c >> 16) & 0xFF;
    const unsigned red = c >> 24;
    for (int r = 0; r < image.h; ++r) {
        const int row = image.dst_y + dy + r;
        if (row < 0 || row >= height) {
            continue;
        }
        const unsigned char* source = image.bitmap + static_cast<std::ptrdiff_t>(r) * image.stride;
        for (int k = 0; k < image.w; ++k) {
            const int column = image.dst_x + dx + k;
            if (column < 0 || column >= width) {
                continue;
            }
            const unsigned a = source[k] * opacity / 255;
            std::uint8_t* pixel = frame + (static_cast<std::ptrdiff_t>(row) * width + column) * 3;
            pixel[0] = Mix(blue, a, pixel[0]);
            pixel[1] = Mix(green, a, pixel[1]);
            pixel[2] = Mix(red, a, pixel[2]);
        }
    }
}

void DrawPaletteBitmap(std::uint8_t* frame, int width, int height, const CSubtitleBitmap& bitmap) {
    if (frame == nullptr || width <= 0 || height <= 0 || bitmap.w <= 0 || bitmap.h <= 0 ||
        bitmap.indexes.size() / static_cast<std::size_t>(bitmap.w) <
            static_cast<std::size_t>(bitmap.h)) {
        return;
    }
    for (int i = 0; i < bitmap.h; ++i) {
        const long long row = static_cast<long long>(bitmap.y) + i;
        if (row < 0 || row >= height) {
            continue;
        }
        for (int j = 0; j < bitmap.w; ++j) {
            const long long column = static_cast<long long>(bitmap.x) + j;
            const std::size_t index = bitmap.indexes[static_cast<std::size_t>(i) * bitmap.w + j];
            if (column < 0 || column >= width || index >= bitmap.palette.size()) {
                continue;
            }
            const std::uint32_t colour = bitmap.palette[index];
            if ((colour >> 24) == 0) {
                continue;
            }
            std::uint8_t* pixel = frame + (row * width + column) * 3;
            pixel[0] = colour & 0xFF;
            pixel[1] = (colour >> 8) & 0xFF;
            pixel[2] = (colour >> 16) & 0xFF;
        }
    }
}
