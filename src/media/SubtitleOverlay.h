#pragma once

// The subtitles of one video frame, drawn over its picture at whatever size the picture is
// shown (an IPictureOverlay): by the renderer over the picture scaled for the screen, or by the
// video decoder into the frame it writes itself.
//
// The video decoder makes one per picture on the pin's delivery thread while subtitles are
// drawn. It holds that frame's subtitle state by value (the stream's last text and bitmap, the
// frame's time), so the decoder goes on to the next frame without touching what it draws. Draw
// runs libass through CSubtitle, under CSubtitle's own lock, on the pin's delivery thread: the
// one thread that renders subtitles while a file plays.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/graph/PictureOverlay.h"

class CSubtitle;
struct CSubtitleBitmap;

// What the file's own subtitle stream last gave, and the frame it is drawn over.
struct CSubtitleFrame {
    std::int64_t ms = 0; // the frame's time from the file's start
    int videoWidth = 0;
    int videoHeight = 0;
    bool streamShown = false; // the file has a subtitle stream: its text and bitmap are drawn
    // The stream's last text subtitle: ASS "Dialogue:" lines of its first two rectangles.
    std::array<std::string, 2> texts;
    std::shared_ptr<const CSubtitleBitmap> bitmap; // its last bitmap subtitle; null: none yet
};

class CSubtitleOverlay final : public IPictureOverlay {
public:
    // subtitles: the source's renderer, alive for as long as the picture is delivered.
    CSubtitleOverlay(CSubtitle& subtitles, CSubtitleFrame frame);

    // The stream's bitmap, then its texts and the external file's, each text block stacked
    // above the one before, the first one's bottom 32 video pixels above the picture's bottom.
    void Draw(const CBgrCanvas& canvas) const override;

private:
    CSubtitle& m_subtitles;
    const CSubtitleFrame m_frame;
};
