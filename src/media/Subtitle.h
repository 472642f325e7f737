#pragma once

// Draws subtitles into decoded video frames: external ASS and SRT files (SRT is converted to ASS
// in the Temp folder first), text subtitles from the file's own subtitle stream and bitmap
// subtitles from that stream. Text is rendered with libass and blended into the frame.
//
// The drawing operations draw into a canvas that shows the whole video frame at any size (the
// video's own, or the picture's on screen). Subtitles are laid out in the video's coordinates
// (the sizes given to Initial: placement, margins, font sizes) and rasterised at the canvas's
// size, so that text stays sharp on a picture scaled up and fine on one scaled down. The times
// given to them count from the file's start.
//
// The renderer's state (libass library, renderer and external track, the frame size, the current
// subtitle path, the found and added lists, the placement shift) is process-wide: one set shared
// by every instance, because only one file plays at a time and the subtitle menu lists the
// files added by hand across loads. One mutex guards all of it, so loading, dropping or tearing
// down on the loading/UI thread never races drawing on the video pin thread (drawing is the one
// use of the libass renderer, which is not thread-safe). The video pin thread may wait for that
// mutex while it holds the CPlaybackInfo lock (when it draws into frames it writes itself; the
// audio pin then waits behind it), so the mutex is only ever held briefly: converting and parsing a
// subtitle file and freeing libass objects happen outside it, and a parsed track is swapped in.
// Lock order: the caller of the drawing operations and of DropExternal may hold the CPlaybackInfo
// lock or the source's state lock; nothing here takes a queue lock. Initial, FindSubtitle,
// LoadSubtitle, LoadSubtitleInBackground and Teardown may wait for a background load's parse, so
// their callers hold none of the pins' locks.
//
// Nothing here throws or crashes on bad input: a file that cannot be read, converted or parsed
// logs its line and leaves the video without that subtitle.

#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "platform/graph/PictureOverlay.h"

// One bitmap subtitle rectangle from the subtitle decoder: w x h palette indexes, row by row.
struct CSubtitleBitmap {
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<std::uint8_t> indexes;
    std::vector<std::uint32_t> palette; // 0xAARRGGBB colours
};

class CSubtitle {
public:
    CSubtitle() = default;
    // Tears the shared libass state down (the source filter owning the renderer is going away).
    virtual ~CSubtitle();
    CSubtitle(const CSubtitle&) = delete;
    CSubtitle& operator=(const CSubtitle&) = delete;

    // Loading thread. Stops a background load, tears down the previous libass state and sets
    // up a new one for frames of this size. False when libass cannot be started (the drawing
    // operations then draw nothing).
    bool Initial(int videoWidth, int videoHeight);
    // Loading or UI thread. Loads an .ass or .srt file as the external subtitle, converting and
    // parsing it on the calling thread (first stopping a background load still running). A file
    // that cannot be loaded tears libass down until the next Initial and returns false.
    bool LoadSubtitle(const std::wstring& path);
    // UI thread. The same load on a thread of its own, so that neither the caller nor playback
    // waits for a long file (100,000 SRT cues take about a second to convert). Returns at once,
    // after stopping a background load still running (which waits at most for that load's
    // parse: its conversion stops between two cues). The parsed track replaces the external
    // one unless a later load, DropExternal, Initial or Teardown came first; then it is thrown
    // away and the result is false. The result becomes ready when the load has ended.
    std::shared_future<bool> LoadSubtitleInBackground(const std::wstring& path);
    // Loading thread. Finds the subtitle files that belong to the media file and loads the first
    // .ass one, else the first .srt one, in the background (LoadSubtitleInBackground), so that
    // neither the file's load nor an exit right after it waits for a long subtitle. The result is
    // false at once when there is none.
    std::shared_future<bool> FindSubtitle(const std::wstring& mediaPath);
    // UI thread. Rebuilds the found list for the media file; out = found list then added list,
    // current = the path of the loaded external subtitle (empty when none).
    void ListSubtitles(const std::wstring& mediaPath, std::vector<std::wstring>& out,
                       std::wstring& current);
    // Engine thread (filter stop). Frees the external track and forgets its path; a background
    // load still running is told to stop and its track is not used.
    void DropExternal();
    // Stops a background load (waiting for its end), then frees the external track, the
    // renderer and the library.
    void Teardown();

    // Any thread: an external subtitle is loaded, so DrawExternal may draw.
    bool HasExternal() const;

    // Video pin thread. y is the running bottom line (canvas pixels from the top) for text
    // placement; each drawn text block moves it up to 10 video pixels (scaled to the canvas)
    // above its own top.
    void DrawExternal(const CBgrCanvas& canvas, std::int64_t ms, int& y);
    // text: ASS script text holding complete "Dialogue:" lines with their start and end times
    // (see AssDialogueFromRect); shown only while ms lies inside an event's times.
    void BlendSubtitleInternal(const CBgrCanvas& canvas, std::int64_t ms, const char* text, int& y);
    // Opaque palette colours into the canvas, colour 0 transparent, the rectangle (in video
    // pixels) scaled to the canvas; no time check.
    void DrawBitmap(const CBgrCanvas& canvas, const CSubtitleBitmap& bitmap);

    // Any thread. FFmpeg's subtitle decoders give each text rectangle as
    // "ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text" without times; this makes
    // the complete "Dialogue: Layer,Start,End,Style,..." line that BlendSubtitleInternal shows
    // from startMs to endMs. A text that already starts with "Dialogue:" is returned unchanged.
    static std::string AssDialogueFromRect(const char* rectAss, std::int64_t startMs,
                                           std::int64_t endMs);
};
