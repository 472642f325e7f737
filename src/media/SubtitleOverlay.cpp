#include "media/SubtitleOverlay.h"

#include "media/Subtitle.h"
#include "media/SubtitleBlend.h"

#include <utility>

namespace {

// The first subtitle line sits this far above the bottom of the picture, in video pixels.
constexpr int kSubtitleBottomMargin = 32;

} // namespace

CSubtitleOverlay::CSubtitleOverlay(CSubtitle& subtitles, CSubtitleFrame frame)
    : m_subtitles(subtitles), m_frame(std::move(frame)) {}

void CSubtitleOverlay::Draw(const CBgrCanvas& canvas) const {
    if (!canvas.Valid() || m_frame.videoWidth <= 0 || m_frame.videoHeight <= 0) {
        return;
    }
    const CVideoToCanvas map{m_frame.videoWidth, m_frame.videoHeight, canvas.width, canvas.height};
    int y = static_cast<int>(map.Y(m_frame.videoHeight - kSubtitleBottomMargin));
    if (m_frame.streamShown) {
        if (m_frame.bitmap) {
            m_subtitles.DrawBitmap(canvas, *m_frame.bitmap);
        }
        for (const std::string& text : m_frame.texts) {
            m_subtitles.BlendSubtitleInternal(canvas, m_frame.ms, text.c_str(), y);
        }
    }
    m_subtitles.DrawExternal(canvas, m_frame.ms, y);
}
