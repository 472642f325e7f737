#include "media/SubtitleBlend.h"

#include "media/Subtitle.h"

#include <algorithm>
#include <climits>

namespace {

// Space between two stacked text blocks, in video pixels.
constexpr int kBlockGap = 10;

std::uint8_t Mix(unsigned colour, unsigned alpha, std::uint8_t pixel) {
    return static_cast<std::uint8_t>((colour * alpha + (255 - alpha) * pixel) / 255);
}

// value * to / from rounded down, also for negative values.
long long ScaleDown(long long value, int to, int from) {
    const long long product = value * to;
    return product / from - (product % from != 0 && product < 0 ? 1 : 0);
}

// The video pixel whose centre is nearest to the centre of a canvas pixel.
long long NearestSource(long long canvasPixel, int videoSize, int canvasSize) {
    return ScaleDown(2 * canvasPixel + 1, videoSize, 2 * canvasSize);
}

} // namespace

long long CVideoToCanvas::X(long long videoX) const {
    return ScaleDown(videoX, canvasWidth, videoWidth);
}

long long CVideoToCanvas::Y(long long videoY) const {
    return ScaleDown(videoY, canvasHeight, videoHeight);
}

int CVideoToCanvas::Height(int videoLength) const {
    return static_cast<int>((2LL * videoLength * canvasHeight + videoHeight) / (2LL * videoHeight));
}

CTextPlacement PlaceTextBlock(const ASS_Image* images, const CVideoToCanvas& map, int bottomY) {
    const int width = map.canvasWidth;
    const int height = map.canvasHeight;
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
    return {newX0 - x0, newTop - y0, newTop - map.Height(kBlockGap)};
}

void BlendAssImage(const CBgrCanvas& canvas, const ASS_Image& image, int dx, int dy) {
    if (!canvas.Valid()) {
        return;
    }
    const std::uint32_t c = image.color;
    const unsigned opacity = 255 - (c & 0xFF);
    const unsigned blue = (c >> 8) & 0xFF;
    const unsigned green = (c >> 16) & 0xFF;
    const unsigned red = c >> 24;
    for (int r = 0; r < image.h; ++r) {
        const long long row = static_cast<long long>(image.dst_y) + dy + r;
        if (row < 0 || row >= canvas.height) {
            continue;
        }
        const unsigned char* source = image.bitmap + static_cast<std::ptrdiff_t>(r) * image.stride;
        for (int k = 0; k < image.w; ++k) {
            const long long column = static_cast<long long>(image.dst_x) + dx + k;
            if (column < 0 || column >= canvas.width) {
                continue;
            }
            const unsigned a = source[k] * opacity / 255;
            std::uint8_t* pixel = canvas.Pixel(static_cast<int>(column), static_cast<int>(row));
            pixel[0] = Mix(blue, a, pixel[0]);
            pixel[1] = Mix(green, a, pixel[1]);
            pixel[2] = Mix(red, a, pixel[2]);
        }
    }
}

void DrawPaletteBitmap(const CBgrCanvas& canvas, int videoWidth, int videoHeight,
                       const CSubtitleBitmap& bitmap) {
    if (!canvas.Valid() || videoWidth <= 0 || videoHeight <= 0 || bitmap.w <= 0 || bitmap.h <= 0 ||
        bitmap.indexes.size() / static_cast<std::size_t>(bitmap.w) <
            static_cast<std::size_t>(bitmap.h)) {
        return;
    }
    const CVideoToCanvas map{videoWidth, videoHeight, canvas.width, canvas.height};
    const long long top = std::max(0LL, map.Y(bitmap.y));
    const long long bottom = std::min<long long>(canvas.height, map.Y(1LL * bitmap.y + bitmap.h));
    const long long left = std::max(0LL, map.X(bitmap.x));
    const long long right = std::min<long long>(canvas.width, map.X(1LL * bitmap.x + bitmap.w));
    for (long long row = top; row < bottom; ++row) {
        const long long i = std::clamp(NearestSource(row, videoHeight, canvas.height) - bitmap.y,
                                       0LL, bitmap.h - 1LL);
        for (long long column = left; column < right; ++column) {
            const long long j = std::clamp(
                NearestSource(column, videoWidth, canvas.width) - bitmap.x, 0LL, bitmap.w - 1LL);
            const std::size_t index = bitmap.indexes[static_cast<std::size_t>(i * bitmap.w + j)];
            if (index >= bitmap.palette.size()) {
                continue;
            }
            const std::uint32_t colour = bitmap.palette[index];
            if ((colour >> 24) == 0) {
                continue;
            }
            std::uint8_t* pixel = canvas.Pixel(static_cast<int>(column), static_cast<int>(row));
            pixel[0] = colour & 0xFF;
            pixel[1] = (colour >> 8) & 0xFF;
            pixel[2] = (colour >> 16) & 0xFF;
        }
    }
}
