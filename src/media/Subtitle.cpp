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
#include <stop_token>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// libass messages at or below this level are failures worth a log line; the rest is chatter.
constexpr int kLibassErrorLevel = 1;

using CAssLibraryShared = std::shared_ptr<ASS_Library>;

// A set of libass objects. Members are destroyed in reverse order, so the track and the renderer
// go before the library they were made with. A set taken out of the shared state under its lock
// is destroyed after the lock is released: freeing a track of 100,000 events takes milliseconds
// the video thread should not wait for.
struct CAssObjects {
    CAssLibraryShared library; // also held by a background load that parses with it
    CAssRendererPtr renderer;
    CAssTrackPtr track;
};

// The renderer's process-wide state. Never destroyed, so that a pin thread still drawing at exit
// finds it; libass objects are freed by Teardown.
struct CRendererState {
    std::mutex lock;
    CAssObjects ass;                 // guarded by lock; the track is the external one
    std::string fontPath;            // guarded by lock
    int width = 0;                   // guarded by lock
    int height = 0;                  // guarded by lock
    std::wstring current;            // guarded by lock
    std::vector<std::wstring> found; // guarded by lock
    std::vector<std::wstring> added; // guarded by lock
    int shiftX = 0;                  // guarded by lock
    int shiftY = 0;                  // guarded by lock
    // Guarded by lock. Counts the loads, drops and teardowns: a load swaps its track in only
    // while the number it started with is still the current one.
    std::uint64_t loadNumber = 0;
    std::stop_source loadStop; // guarded by lock: stops the conversion of the latest load

    // Taken before lock, never while holding it: the background load takes lock to swap its
    // track in, so it is joined without lock held.
    std::mutex loaderLock;
    std::thread loader; // guarded by loaderLock; the background load, joinable until joined
};

CRendererState& State() {
    static CRendererState* state = new CRendererState;
    return *state;
}

// A load in progress will not change the state any more and stops converting.
void SupersedeLoadLocked(CRendererState& s) {
    ++s.loadNumber;
    s.loadStop.request_stop();
}

// Empties the state's libass objects and returns them for freeing after the lock is released.
[[nodiscard]] CAssObjects TeardownLocked(CRendererState& s) {
    SupersedeLoadLocked(s);
    s.fontPath.clear();
    s.current.clear();
    return std::exchange(s.ass, CAssObjects{});
}

// Stops the background load and waits for it: at most for its parse, as its conversion stops
// between two cues. The caller holds loaderLock, not lock.
void StopLoaderLocked(CRendererState& s) {
    {
        const std::lock_guard lock(s.lock);
        SupersedeLoadLocked(s);
    }
    if (s.loader.joinable()) {
        s.loader.join();
    }
}

void ForwardLibassMessage(int level, const char* format, va_list args, void*) {
    if (level <= kLibassErrorLevel) {
        CLog::Instance().Log(LOG_LEVEL_ERROR, "libass", format, args);
    }
}

// What a load needs from the shared state when it starts.
struct CLoadStart {
    std::uint64_t number = 0;
    CAssLibraryShared library; // null while libass is down (the load then fails)
    std::stop_token stop;
};

CLoadStart BeginLoad(CRendererState& s, const std::wstring& path) {
    const std::lock_guard lock(s.lock);
    if (std::find(s.found.begin(), s.found.end(), path) == s.found.end() &&
        std::find(s.added.begin(), s.added.end(), path) == s.added.end()) {
        s.added.push_back(path);
    }
    s.loadStop = std::stop_source();
    return CLoadStart{++s.loadNumber, s.ass.library, s.loadStop.get_token()};
}

// Converts and parses the file without the lock, then swaps the track in. Parsing only reads the
// library (font extraction stays off), so it may run while another thread draws with it.
bool RunLoad(const std::wstring& path, const CLoadStart& start) {
    const std::stop_token& stop = start.stop;
    const std::wstring temp = CAppFolder().GetTempFolder();
    std::wstring assPath = ConvertToAss(path, temp, stop);
    assPath = assPath.empty() || stop.stop_requested() ? std::wstring() : EnsureUtf8(assPath, temp);
    std::string bytes = PathToBytes(assPath.empty() ? path : assPath);
    CAssObjects parsed{start.library, nullptr, nullptr};
    if (!assPath.empty() && parsed.library && !stop.stop_requested()) {
        parsed.track.reset(ass_read_file(parsed.library.get(), bytes.data(), nullptr));
        if (parsed.track) {
            ApplyDefaultStyle(parsed.track.get());
        }
    }

    CRendererState& s = State();
    CAssObjects retired;
    const std::lock_guard lock(s.lock);
    if (start.number != s.loadNumber || stop.stop_requested()) {
        Log({"CSubtitle::LoadSubtitle", LOG_LEVEL_DEBUG}, "Superseded before it was loaded: %s",
            bytes.c_str());
        return false;
    }
    if (!parsed.track) {
        Log({"CSubtitle::LoadSubtitle", LOG_LEVEL_ERROR},
            "Can not read an ass track from external subtitle file: %s", bytes.c_str());
        retired = TeardownLocked(s);
        return false;
    }
    Log({"CSubtitle::LoadSubtitle", LOG_LEVEL_INFO},
        "External subtitle file loaded. s_ass_track: 0x%x",
        static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(parsed.track.get())));
    retired.library = s.ass.library;
    retired.track = std::exchange(s.ass.track, std::move(parsed.track));
    s.current = path;
    return true;
}

bool HasExtension(const std::wstring& path, const wchar_t* extension) {
    std::wstring own = CPathValue(path).Extension();
    std::transform(own.begin(), own.end(), own.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return own == extension;
}

void RenderAndBlendLocked(CRendererState& s, const CBgrCanvas& canvas, ASS_Track* track,
                          std::int64_t ms, int& y) {
    if (!canvas.Valid() || !s.ass.renderer || track == nullptr || s.width <= 0 || s.height <= 0) {
        return;
    }
    // The storage size (the video's, set by Initial) keeps the layout in the video's
    // coordinates; the frame size only sets the resolution glyphs are rasterised at. libass
    // starts over with its caches only when the size differs from the last frame's.
    ass_set_frame_size(s.ass.renderer.get(), canvas.width, canvas.height);
    int changed = 0;
    const ASS_Image* images = ass_render_frame(s.ass.renderer.get(), track, ms, &changed);
    if (images == nullptr) {
        s.shiftX = 0;
        s.shiftY = 0;
        return;
    }
    const CTextPlacement placement =
        PlaceTextBlock(images, CVideoToCanvas{s.width, s.height, canvas.width, canvas.height}, y);
    y = placement.nextY;
    // An unchanged picture keeps its earlier place, so a line does not wander between frames.
    if (changed != 0) {
        s.shiftX = placement.dx;
        s.shiftY = placement.dy;
    }
    for (const ASS_Image* image = images; image != nullptr; image = image->next) {
        BlendAssImage(canvas, *image, s.shiftX, s.shiftY);
    }
}

} // namespace

CSubtitle::~CSubtitle() {
    Teardown();
}

bool CSubtitle::Initial(int videoWidth, int videoHeight) {
    const std::string& fontFile = DefaultFontFile();
    CRendererState& s = State();
    const std::lock_guard loaderLock(s.loaderLock);
    StopLoaderLocked(s);
    // Set up aside: choosing fonts may take fontconfig a while.
    CAssObjects fresh;
    if (CAssLibraryPtr library{ass_library_init()}) {
        ass_set_message_cb(library.get(), &ForwardLibassMessage, nullptr);
        fresh.renderer.reset(ass_renderer_init(library.get()));
        fresh.library = std::move(library);
    }
    Log({"CSubtitle::Initial", LOG_LEVEL_DEBUG},
        "ass lib initialized. s_nVideoWidth = %d, s_nVideoHeight = %d", videoWidth, videoHeight);
    if (fresh.renderer) {
        ass_set_frame_size(fresh.renderer.get(), std::max(videoWidth, 0), std::max(videoHeight, 0));
        ass_set_storage_size(fresh.renderer.get(), std::max(videoWidth, 0),
                             std::max(videoHeight, 0));
        const char* font = fontFile.empty() ? nullptr : fontFile.c_str();
        ass_set_fonts(fresh.renderer.get(), font, font, ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
        ass_set_margins(fresh.renderer.get(), 0, 0, 0, 0);
        ass_set_use_margins(fresh.renderer.get(), 0);
        ass_set_font_scale(fresh.renderer.get(), 1.0);
    }

    CAssObjects retired;
    const std::lock_guard lock(s.lock);
    retired = TeardownLocked(s);
    s.width = videoWidth;
    s.height = videoHeight;
    if (!fresh.renderer) {
        Log({"CSubtitle::Initial", LOG_LEVEL_ERROR}, "Can not start libass.");
        return false;
    }
    s.ass = std::move(fresh);
    s.fontPath = fontFile;
    Log({"CSubtitle::Initial", LOG_LEVEL_INFO}, "ass_set_fonts succssfully: %s",
        s.fontPath.c_str());
    return true;
}

bool CSubtitle::LoadSubtitle(const std::wstring& path) {
    CRendererState& s = State();
    const std::lock_guard loaderLock(s.loaderLock);
    StopLoaderLocked(s);
    return RunLoad(path, BeginLoad(s, path));
}

std::shared_future<bool> CSubtitle::LoadSubtitleInBackground(const std::wstring& path) {
    CRendererState& s = State();
    const std::lock_guard loaderLock(s.loaderLock);
    StopLoaderLocked(s);
    std::promise<bool> done;
    std::shared_future<bool> result = done.get_future().share();
    const CLoadStart start = BeginLoad(s, path);
    try {
        s.loader = std::thread([path, start, done = std::move(done)]() mutable {
            done.set_value(RunLoad(path, start));
        });
    } catch (const std::system_error& error) {
        Log({"CSubtitle::LoadSubtitle", LOG_LEVEL_ERROR}, "Can not start loading %s: %s",
            WideToUtf8(path).c_str(), error.what());
        done.set_value(false);
    }
    return result;
}

std::shared_future<bool> CSubtitle::FindSubtitle(const std::wstring& mediaPath) {
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
    if (picked == found.end()) {
        std::promise<bool> none;
        none.set_value(false);
        return none.get_future().share();
    }
    return LoadSubtitleInBackground(*picked);
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
    CAssObjects retired;
    const std::lock_guard lock(s.lock);
    SupersedeLoadLocked(s);
    retired.library = s.ass.library;
    retired.track = std::move(s.ass.track);
    s.current.clear();
}

void CSubtitle::Teardown() {
    CRendererState& s = State();
    const std::lock_guard loaderLock(s.loaderLock);
    StopLoaderLocked(s);
    CAssObjects retired;
    const std::lock_guard lock(s.lock);
    retired = TeardownLocked(s);
}

bool CSubtitle::HasExternal() const {
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    return !s.current.empty() && s.ass.track;
}

void CSubtitle::DrawExternal(const CBgrCanvas& canvas, std::int64_t ms, int& y) {
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    if (!s.current.empty()) {
        RenderAndBlendLocked(s, canvas, s.ass.track.get(), ms, y);
    }
}

void CSubtitle::BlendSubtitleInternal(const CBgrCanvas& canvas, std::int64_t ms, const char* text,
                                      int& y) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    if (!s.ass.library) {
        return; // torn down after a failed load; subtitles return with the next file
    }
    CAssTrackPtr track = NewTemporaryTrack(s.ass.library.get(), s.width, s.height);
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
    RenderAndBlendLocked(s, canvas, track.get(), ms, y);
}

void CSubtitle::DrawBitmap(const CBgrCanvas& canvas, const CSubtitleBitmap& bitmap) {
    CRendererState& s = State();
    const std::lock_guard lock(s.lock);
    DrawPaletteBitmap(canvas, s.width, s.height, bitmap);
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
