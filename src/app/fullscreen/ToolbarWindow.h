#pragma once
// The full-screen toolbar's bar: 40 pixels high, with its own copies of the transport buttons,
// the seek and volume sliders, the time label and the two view radios, laid out from
// edge-relative rectangles like a skinned window's children, over a background tiled from bitmap
// 132. It decides nothing: CFullScreenToolbar wires the controls, reads the playback state into
// them and answers the wheel.
//
// Where a window may place itself (X11) the bar is a topmost frameless window across the bottom
// of the primary screen. Where the compositor places every window (Wayland) a window of its own
// could land anywhere, so the bar is drawn inside the full-screen main window instead, over its
// bottom edge, and follows the main window's size. Either way the pointer's presses on the bar
// stay with it (a double click on it never toggles full screen).
//
// Who calls: CFullScreenToolbar, which creates one per showing and deletes it when hidden.
// Threads: user-interface thread only.
//
// Ownership: the window owns its controls and the skin bitmaps they borrow (the bitmaps are
// declared first, so they outlive the controls). It is a Qt child of the main window, which
// deletes it if it goes first.
#include <map>
#include <memory>
#include <vector>

#include <QWidget>

#include "skin/MemDC2.h"
#include "skin/controls/SkinButton.h"
#include "skin/controls/SkinCheck.h"
#include "skin/controls/SkinRadio.h"
#include "skin/controls/SkinSlider.h"
#include "skin/controls/SkinString.h"

class CToolbarWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 40;

    // Where the bar goes: a window of its own at the bottom of the primary screen, or drawn
    // inside the main window at its bottom.
    enum class EPlacement { ScreenBottom, InsideMainWindow };

    // Creates every control at its rectangle, with its tooltip, the video-view radio selected.
    // Not shown yet: Place shows it.
    CToolbarWindow(QWidget* mainWindow, EPlacement placement);
    ~CToolbarWindow() override;

    // Shows the bar kHeight high across the bottom of the primary screen, above other windows
    // and without taking the focus (the keys stay with the main window), or across the bottom of
    // the main window, above its other children.
    void Place();
    // Positions every control from its rectangle in the current size, then repaints.
    void LayoutChildren();

    CSkinButton& Stop() { return m_stop; }
    CSkinButton& OpenFiles() { return m_openFiles; }
    CSkinButton& Previous() { return m_previous; }
    CSkinButton& Next() { return m_next; }
    CSkinButtonPlay& Play() { return m_play; }
    CSkinCheck& Mute() { return m_mute; }
    CSkinSlider& Seek() { return m_seek; }
    CSkinSlider& Volume() { return m_volume; }
    CSkinRadio& PlaylistView() { return m_playlistView; }
    CSkinRadio& VideoView() { return m_videoView; }
    CSkinRadioGroup& Views() { return m_views; }
    CSkinString& TimeLabel() { return m_timeLabel; }
    // In creation order; the toolbar subscribes to and leaves these.
    const std::vector<CSkinCtrl*>& Children() const { return m_children; }

Q_SIGNALS:
    // A wheel turn over the bar or any of its controls: the vertical angle delta, in eighths of
    // a degree (120 for one notch of a common wheel).
    void WheelTurned(int delta);

protected:
    // Inside the main window: its resizes move the bar along.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The wheel over the bar and its controls turns WheelTurned; the pointer's presses end here.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The window's copy of a skin bitmap, loaded at the screen's pixel ratio on first use.
    const CMemDC2* Bitmap(int bitmapId);
    void CreateControls();

    const EPlacement m_placement;
    std::map<int, std::unique_ptr<CMemDC2>> m_bitmaps; // by bitmap id; owned
    CSkinButton m_stop;
    CSkinButton m_openFiles;
    CSkinButton m_previous;
    CSkinButton m_next;
    CSkinButtonPlay m_play;
    CSkinCheck m_mute;
    CSkinSlider m_seek;
    CSkinSlider m_volume;
    CSkinRadio m_playlistView;
    CSkinRadio m_videoView;
    CSkinRadioGroup m_views;
    CSkinString m_timeLabel;
    std::vector<CSkinCtrl*> m_children; // layout order; not owned (the members above)
};
