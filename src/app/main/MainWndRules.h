#pragma once
// The main window's geometry and input rules as pure functions, so they can be checked without
// a window: the default rectangle, the playlist layout, the splitter release, the wheel, fitting
// the window to the video, full screen's hit test, toolbar trigger and cursor, the time text and
// when the screen saver is held. Any thread; no widget is touched.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QRect>
#include <QSize>

#include "app/TimeLabelText.h"
#include "skin/rules/ChildLayout.h"

// Width the playlist starts with, and returns to after the splitter was dropped on a limit.
inline constexpr int kDefaultPlaylistWidth = 158;
// The playlist width that hides the list: only the right border is left.
inline constexpr int kCollapsedPlaylistWidth = 5;
// The splitter cannot be dropped left of this x, so the video keeps a usable width.
inline constexpr int kSplitterMinimum = 300;
// The gap between the screen's right edge and the playlist, which the splitter fills.
inline constexpr int kSplitterWidth = 10;
// Volume step of one wheel notch, the same as the Up and Down keys.
inline constexpr int kWheelVolumeStep = 5;
// One wheel notch as Qt reports it (eighths of a degree).
inline constexpr int kWheelNotch = 120;
// In full screen the toolbar goes once the pointer leaves this band above the bottom edge.
inline constexpr int kToolbarBand = 50;
// In full screen the cursor hides after this quiet spell; also the timer's period.
inline constexpr int kCursorQuietMs = 3000;

// The centred half of the screen: (CX - CX/2)/2, (CY - CY/2)/2, CX/2 x CY/2.
QRect DefaultWindowRect(QSize screen);
// Half of the default rectangle in each direction.
QSize MinTrackSize(QSize screen);

// The four rectangles the playlist width decides (creation form, negative values edge-relative).
struct CPlaylistLayout {
    CLayoutRequest screen;
    CLayoutRequest splitter;
    CLayoutRequest playlist;
    CLayoutRequest openPlaylist;
};
CPlaylistLayout PlaylistLayout(int playlistWidth);

// What a splitter release asks of the window.
struct CSplitterRelease {
    // With Ctrl held the playlist stays and the window's client area takes this size instead.
    std::optional<QSize> resizeClient;
    // Without Ctrl: the playlist is laid out with this width.
    int layoutWidth = 0;
    bool boxChecked = false;
    // The width stored for the next time the box is cleared.
    int storedWidth = 0;
};
// `position` and `pressX` as the splitter reports them: the pointer's x in the window, held to
// the limits (kSplitterMinimum, half a bar from the right edge), and where the bar was grabbed.
// A drop on a limit checks the box and stores the default width again. With Ctrl held only the
// window's size changes: the stored width and the box stay as they are.
CSplitterRelease ReleaseSplitter(QSize client, int screenWidth, int position, int pressX,
                                 bool ctrlHeld, int storedWidth, bool boxChecked);

// The wheel in whole notches: deltas are summed until they make a notch, so a touchpad's small
// steps change the volume as often as a mouse wheel's clicks do, not once per event.
struct CWheelNotches {
    int notches = 0;   // positive up, negative down
    int remainder = 0; // carried to the next event
};
CWheelNotches AccumulateWheel(int remainder, int wheelDelta);
// The volume a step per notch away, within the range.
int WheelVolume(int volume, int notches, int minimum, int maximum);

// The window size that makes the screen's client area `video`: the window grows or shrinks by
// what the screen lacks or has too much. Nothing for a video without a width or height.
std::optional<QSize> FitWindowSize(QSize window, QSize screenClient, QSize video);

// Full screen's two views: the screen over the whole window, or the screen with the playlist
// beside it on the right, as wide as the stored playlist width (at least the default, at most
// half the window). The playlist's rectangle is empty in the video view.
struct CFullScreenLayout {
    QRect screen;
    QRect playlist;
};
CFullScreenLayout FullScreenLayout(QSize client, bool playlistShown, int playlistWidth);

// Whether the window system places every window itself, as a Wayland compositor does: a window
// cannot put itself at a point of the screen nor ask to stay on top of the others. Then the
// full-screen toolbar is drawn inside the full-screen window instead of as a window of its own,
// and stay-on-top does nothing. `platformName` is Qt's platform plugin name ("xcb", "wayland",
// "wayland-egl", "offscreen").
bool WindowSystemPlacesWindows(std::string_view platformName);

// What a pointer move in full screen does to the toolbar, y counted from the screen's top.
enum class EToolbarChange { None, Create, Destroy };
EToolbarChange ToolbarOnPointer(int pointerY, int screenHeight, bool toolbarShown);

// Full screen's cursor timer: the cursor is shown while the toolbar is, hidden otherwise, once
// the pointer has rested for the quiet spell. While a menu, a popup or a modal dialog is open it
// is shown: the hidden cursor is the whole application's, and the pointer moves over the dialog
// never reach the main window to bring it back.
enum class ECursorChange { None, Show, Hide };
ECursorChange CursorOnTimer(bool fullScreen, bool overlayOpen, std::int64_t quietMs,
                            bool toolbarShown);

// The screen saver is held while the engine is playing or paused a clip that is not sound
// alone: it has a picture, or has no sound either.
bool ScreenSaverHeld(const std::wstring& engineState, bool hasVideo, bool hasAudio);
