#include "media/Subtitle.h"

#include "core/AppFolder.h"
#include "core/FileFinder.h"
#include "core/Log.h"
#include "core/PathValue.h"
#include "core/WideText.h"
#include "media/AssPtr.h"
#include "media/SrtToAss.h"
#include "media/SubtitleBlend.h"
#include "media/SubtitleStyle.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <mutex>

namespace {

// libass messages at or below this level are failures worth a log line; the rest is chatter.
constexpr int kLibassErrorLevel = 1;

// The renderer's process-wide state. Never destroyed, so that a pin thread still drawing at exit
// finds it; libass objects are freed by Teardown.
struct CRendererState {
    std::mutex lock;
    // The track and renderer are declared after the library so they are freed before it.
    CAssLibraryPtr library;          // guarded by lock
    CAssRendererPtr renderer;        // guarded by lock
    CAssTrackPtr external;           // guarded by lock
    std::string fontPath;            // guarded by lock
    int width = 0;                   // guarded by lock
    int height = 0;                  // guarded by lock
    std::wstring current;            // guarded by lock
    std::vector<std::wstring> found; // guarded by lock
    std::vector<std::wstring> added; // guarded by lock
    int shiftX = 0;                  // guarded by lock
    int shiftY = 0;                  // guarded by lock
};

CRendererState& State() {
    static CRendererState* state = new CRendererState;
    return *state;
}

void TeardownLocked(CRendererState& s) {
    s.external.reset();
    s.renderer.reset();
    s.library.reset();
    s.fontPath.clear();
    s.current.clear();
}

void ForwardLibassMessage(int level, const char* format, va_list args, void*) {
    if (level <= kLibassErrorLevel) {
        CLog::Instance().Log(LOG_LEVEL_ERROR, "libass", format, args);
    }
}

bool HasExtension(const std::wstring& path, const wchar_t* extension) {
    std::wstring own = CPathValue(path).Extension();
    std::transform(own.begin(), own.end(), own.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return own == extension;
}

void RenderAndBlendLocked(CRendererState& s, std::uint8_t* frame, ASS_Track* track, std::int64_t ms,
                          int& y) {
    if (frame == nullptr || !s.renderer || track == nullptr || s.width <= 0 || s.height <= 0) {
        return;
    }
    int changed = 0;
    const ASS_Image* images = ass_render_frame(s.renderer.get(), track, ms, &changed);
    if (images == nullptr) {
        s.shiftX = 0;
        s.shiftY = 0;
        return;
    }
    const CTextPlacement placement = PlaceTextBlock(images, s.width, s.height, y);
    y = placement.nextY;
    // An unchanged picture keeps its earlier place, so a line does not wander between frames.
    if (changed != 0) {
        s.shiftX = placement.dx;
        s.shiftY = placement.dy;
    }
    for (const ASS_Image* image = images; image != nullptr; image = image->next) {
        BlendAssImage(frame, s.width, s.height, *image, s.shiftX, s.shiftY);
    }
}

} // namespace

CSubtitle::~CSubtitle() {
    Teardown();
}

bool CSubtitle::Initial(int videoWidth, int videoHeight) {
    const std::string& fontFile = DefaultFontFile();
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    TeardownLocked(s);
    s.library.reset(ass_library_init());
    if (s.library) {
        ass_set_message_cb(s.library.get(), &ForwardLibassMessage, nullptr);
        s.renderer.reset(ass_renderer_init(s.library.get()));
    }
    s.width = videoWidth;
    s.height = videoHeight;
    Log({"CSubtitle::Initial", LOG_LEVEL_DEBUG},
        "ass lib initialized. s_nVideoWidth = %d, s_nVideoHeight = %d", videoWidth, videoHeight);
    if (!s.renderer) {
        Log({"CSubtitle::Initial", LOG_LEVEL_ERROR}, "Can not start libass.");
        TeardownLocked(s);
        return false;
    }
    ass_set_frame_size(s.renderer.get(), std::max(videoWidth, 0), std::max(videoHeight, 0));
    s.fontPath = fontFile;
    const char* font = s.fontPath.empty() ? nullptr : s.fontPath.c_str();
    ass_set_fonts(s.renderer.get(), font, font, ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
    Log({"CSubtitle::Initial", LOG_LEVEL_INFO}, "ass_set_fonts succssfully: %s",
        s.fontPath.c_str());
    ass_set_margins(s.renderer.get(), 0, 0, 0, 0);
    ass_set_use_margins(s.renderer.get(), 0);
    ass_set_font_scale(s.renderer.get(), 1.0);
    return true;
}

bool CSubtitle::LoadSubtitle(const std::wstring& path) {
    CRendererState& s = State();
    {
        const std::lock_guard lock(s.lock);
        if (std::find(s.found.begin(), s.found.end(), path) == s.found.end() &&
            std::find(s.added.begin(), s.added.end(), path) == s.added.end()) {
            s.added.push_back(path);
        }
    }
    const std::wstring temp = CAppFolder().GetTempFolder();
    std::wstring assPath = ConvertToAss(path, temp);
    assPath = assPath.empty() ? assPath : EnsureUtf8(assPath, temp);
    std::string bytes = PathToBytes(assPath.empty() ? path : assPath);

    const std::lock_guard lock(s.lock);
    CAssTrackPtr track;
    if (!assPath.empty() && s.library) {
        track.reset(ass_read_file(s.library.get(), bytes.data(), nullptr));
    }
    if (!track) {
        Log({"CSubtitle::LoadSubtitle", LOG_LEVEL_ERROR},
            "Can not read an ass track from external subtitle file: %s", bytes.c_str());
        TeardownLocked(s);
        return false;
    }
    Log({"CSubtitle::LoadSubtitle", LOG_LEVEL_INFO},
        "External subtitle file loaded. s_ass_track: 0x%x",
        static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(track.get())));
    ApplyDefaultStyle(track.get());
    s.external = std::move(track);
    s.current = path;
    return true;
}

bool CSubtitle::FindSubtitle(const std::wstring& mediaPath) {
    const std::vector<std::wstring> found = FindSubtitleFiles(mediaPath);
    {
        const std::lock_guard lock(State().lock);
        State().found = found;
    }
    auto picked = std::find_if(found.begin(), found.end(),
                               [](const std::wstring& p) { return HasExtension(p, L".ass"); });
    if (picked == found.end()) {
        picked = std::find_if(found.begin(), found.end(),
                              [](const std::wstring& p) { return HasExtension(p, L".srt"); });
    }
    return picked != found.end() && LoadSubtitle(*picked);
}

void CSubtitle::ListSubtitles(const std::wstring& mediaPath, std::vector<std::wstring>& out,
                              std::wstring& current) {
    std::vector<std::wstring> found = FindSubtitleFiles(mediaPath);
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    s.found = std::move(found);
    out = s.found;
    out.insert(out.end(), s.added.begin(), s.added.end());
    current = s.current;
}

void CSubtitle::DropExternal() {
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    s.external.reset();
    s.current.clear();
}

void CSubtitle::Teardown() {
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    TeardownLocked(s);
}

void CSubtitle::DrawExternal(std::uint8_t* frame, std::int64_t ms, int& y) {
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    if (!s.current.empty()) {
        RenderAndBlendLocked(s, frame, s.external.get(), ms, y);
    }
}

void CSubtitle::BlendSubtitleInternal(std::uint8_t* frame, std::int64_t ms, const char* text,
                                      int& y) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    if (!s.library) {
        return; // torn down after a failed load; subtitles return with the next file
    }
    CAssTrackPtr track = NewTemporaryTrack(s.library.get(), s.width, s.height);
    if (!track) {
        Log({"CSubtitle::BlendSubtitleInternal", LOG_LEVEL_ERROR},
            "Failed in BlendSubtitleInternal!");
        return;
    }
    // libass parses a copy; our text stays untouched.
    std::string data(text);
    const int size = static_cast<int>(std::min<std::size_t>(data.size() + 1, INT32_MAX));
    ass_process_codec_private(track.get(), data.data(), size);
    ass_process_data(track.get(), data.data(), size);
    RenderAndBlendLocked(s, frame, track.get(), ms, y);
}

void CSubtitle::DrawBitmap(std::uint8_t* frame, const CSubtitleBitmap& bitmap) {
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    DrawPaletteBitmap(frame, s.width, s.height, bitmap);
}

std::string CSubtitle::AssDialogueFromRect(const char* rectAss, std::int64_t startMs,
                                           std::int64_t endMs) {
    const std::string rect = rectAss == nullptr ? "" : rectAss;
    if (rect.starts_with("Dialogue:")) {
        return rect;
    }
    const std::string times = AssTime(startMs) + "," + AssTime(endMs) + ",";
    // ReadOrder,Layer,Style,... becomes Layer,Start,End,Style,...
    const std::size_t layer = rect.find(',');
    const std::size_t style = layer == std::string::npos ? layer : rect.find(',', layer + 1);
    if (style == std::string::npos) {
        return "Dialogue: 0," + times + "Default,,0,0,0,," + rect;
    }
    return "Dialogue: " + rect.substr(layer + 1, style - layer) + times + rect.substr(style + 1);
}
