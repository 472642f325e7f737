#pragma once
// The skin's bitmaps, compiled in from resources/skin/ (drawn by tools/artgen) and looked up by
// resource id. Every id has a 1x image and one drawn at twice the size for screens whose device
// pixel ratio is above 1; the sizes and frame positions the skin works with stay in logical
// pixels either way. Every pixel is opaque, so a control can blit a frame without erasing first.
//
// Threads: user-interface thread only (pixmaps belong to it).
#include <QPixmap>

// Resource ids of the skin bitmaps. Strips are horizontal: frame i of a strip whose frames are w
// wide starts at x = i * w. Button strips hold normal, hover, pressed and disabled frames in that
// order; check strips follow them with the same four frames in the checked look.
enum ESkinBitmap : int {
    SKIN_BITMAP_TOOLBAR_BACKGROUND = 132, // 8 x 40 tile of the full-screen toolbar
    SKIN_BITMAP_PLAYLIST_VIEW = 133,      // 2 frames of 20 x 20: unchecked, checked
    SKIN_BITMAP_VIDEO_VIEW = 134,         // 2 frames of 20 x 20: unchecked, checked
    SKIN_BITMAP_SPLITTER_BOX = 136,   // 6 frames of 10 x 50: normal, hover, pressed; then checked
    SKIN_BITMAP_MINIMIZE = 137,       // button, 4 frames of 10 x 9
    SKIN_BITMAP_STOP = 20012,         // button, 4 frames of 20 x 20
    SKIN_BITMAP_OPEN = 20013,         // button, 4 frames of 20 x 20 (open files and open playlist)
    SKIN_BITMAP_MUTE = 20014,         // check, 8 frames of 20 x 20: speaker, then muted speaker
    SKIN_BITMAP_PREVIOUS = 20015,     // button, 4 frames of 36 x 20
    SKIN_BITMAP_NEXT = 20016,         // button, 4 frames of 36 x 20
    SKIN_BITMAP_PLAY = 20017,         // check, 8 frames of 36 x 20: play look, then pause look
    SKIN_BITMAP_MAIN_MENU = 20018,    // button, 4 frames of 10 x 9
    SKIN_BITMAP_CLOSE = 20019,        // button, 4 frames of 10 x 9
    SKIN_BITMAP_ADD_FILES = 20020,    // 3 frames of 24 x 18: normal, hover, pressed
    SKIN_BITMAP_DELETE_FILES = 20021, // 3 frames of 24 x 18
    SKIN_BITMAP_LOOP_MODE = 20022,    // 3 frames of 24 x 18
    SKIN_BITMAP_SORT_MODE = 20023,    // 3 frames of 24 x 18
    SKIN_BITMAP_SLIDER_TRACK = 20024, // 12 x 12 tile, repeated along the slider
    SKIN_BITMAP_SLIDER_THUMB = 20025, // 12 x 12
    SKIN_BITMAP_WINDOW_FRAME = 20026, // 135 x 51: the 14 pieces of the main window's frame
};

// The bitmap of a resource id: the image drawn at twice the size, with device pixel ratio 2, when
// devicePixelRatio is above 1, else the 1x image. A null pixmap, and a log line, for an id that
// has no bitmap. The first call for an image decodes its PNG (well under a millisecond); later
// calls share it through Qt's pixmap cache, so callers need not keep their own copy.
QPixmap SkinBitmap(int id, qreal devicePixelRatio);
