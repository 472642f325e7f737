#pragma once
// A decoded picture lent with a video sample in place of the sample's bytes: the decoder's own
// planes, so that the renderer converts and scales them to the screen in one pass instead of
// receiving a full-size 24-bit copy first.
//
// Ownership: the output pin makes it on its delivery thread and sets it on the sample; the
// renderer reads it during Receive on the same thread. `owner` keeps the planes alive (the
// decoder's reference to its frame) and is released when the sample goes back to its allocator.
// `overlay`, when set, is drawn over the picture once it is scaled (see IPictureOverlay).
#include <cstdint>
#include <memory>

#include "platform/graph/PictureOverlay.h"

struct CVideoPicture {
    const std::uint8_t* planes[4] = {};
    int strides[4] = {};  // bytes from one row to the next; negative for rows bottom-up
    int pixelFormat = -1; // an AVPixelFormat value
    int width = 0;
    int height = 0;
    int colorSpace = 2; // an AVColorSpace value, the stream's Y'CbCr matrix (2: not named)
    int colorRange = 0; // an AVColorRange value (2: full range; the yuvj formats are, named or not)
    std::shared_ptr<const void> owner;
    std::shared_ptr<const IPictureOverlay> overlay; // null: nothing drawn over the picture
};
