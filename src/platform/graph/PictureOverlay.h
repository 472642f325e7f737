#pragma once
// Something drawn over a picture after it has been scaled for the screen, so that it is drawn at
// the screen's resolution rather than scaled with the picture: the subtitles of a frame.
//
// Ownership and threads: the source's video pin makes one overlay per picture on its delivery
// thread and lends it with the picture (CVideoPicture::overlay); the renderer calls Draw on the
// same thread, during Receive, right after converting the picture: once for the image shown
// and, while a test hook is set, once for the hook's frame at the video's size. An overlay holds
// what it draws by value (a snapshot of that frame's subtitles), so that nothing it reads is
// written by another thread meanwhile. It lives as long as the sample that carries it; Draw is
// only called while that sample is being delivered, so whatever the overlay points to (the
// source's objects) is alive then.
#include <cstdint>

// Pixels to draw into: width x height, top row first, rows `stride` bytes apart. Each pixel is
// B, G, R (byte 0 blue) followed, with 4 bytes a pixel, by a byte that is left alone (the unused
// byte of QImage::Format_RGB32 on a little-endian machine).
struct CBgrCanvas {
    std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bytesPerPixel = 3; // 3 or 4

    bool Valid() const {
        return pixels != nullptr && width > 0 && height > 0 &&
               (bytesPerPixel == 3 || bytesPerPixel == 4) && stride >= width * bytesPerPixel;
    }
    std::uint8_t* Pixel(int column, int row) const {
        return pixels + static_cast<std::ptrdiff_t>(row) * stride +
               static_cast<std::ptrdiff_t>(column) * bytesPerPixel;
    }
};

class IPictureOverlay {
public:
    virtual ~IPictureOverlay() = default;
    // Draws over the picture the canvas holds, which shows the whole video frame at the
    // canvas's size (any size, not only the video's). Writes only inside the canvas; an invalid
    // canvas draws nothing.
    virtual void Draw(const CBgrCanvas& canvas) const = 0;
};
