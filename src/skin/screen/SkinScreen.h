#pragma once
// The black control over which the video is shown. From the video's frame size, the current
// aspect-ratio rule (process-wide) and its own zoom rule it computes the display rectangle inside
// itself, announces it as "DisplayRectChanged" and moves the engine's video window there; the
// rest of the screen stays black.
//
// Events, besides those of every skin control (ScreenEvents.h, SkinEvents.h):
//   "DisplayRectChanged"  pointer to the display rectangle, 0
//   "LButtonDown", "LButtonUp", "LButtonDblClk", "RButtonDown", "RButtonUp"  x, y
//   "MouseMove"  x, y: raised a second time after the control's own, so each move is heard twice
//
// Who calls: the main window creates it, hands it the engine's video window, and calls the
// setters on menu commands and when a file is loaded. Threads: user-interface thread only.
// Ownership: the video window is borrowed; it must be a child of this screen (its geometry is
// set in the screen's coordinates) and outlive it, or be cleared with SetVideoWindow(nullptr).
#include "skin/SkinCtrl.h"
#include "skin/layout/WindowExtender.h"

#include <string>

class IZoom;

class CSkinScreen : public CSkinCtrl {
    Q_OBJECT
public:
    CSkinScreen();
    ~CSkinScreen() override;

    // A control without skin at (x, y), width x height (negative values edge-relative).
    bool Create(QWidget* parent, int x, int y, int width, int height);

    // The window moved and sized to every display rectangle; null for none.
    void SetVideoWindow(QWidget* window) { m_videoWindow = window; }

    virtual QWidget* GetWindowHandle() { return this; }
    // Sets the process-wide aspect-ratio rule, then recomputes with the stored video size.
    virtual void SetAspectRatio(const std::wstring& name);
    // Sets this screen's zoom rule, then recomputes with the stored video size.
    virtual void SetZoom(const std::wstring& name);
    // The anchor of the window extender (see CWindowExtender); NOEXTEND until set.
    virtual void SetAnchor(const std::wstring& name);
    // Stores the size; with both sides non-zero, lets the zoom rule compute the screen it wants
    // (offering the window placement it implies to PlaceWindow) and publishes the rectangle.
    virtual void SetVideoSize(CPixelSize size);
    // Resizes the screen (position kept) and publishes the rectangle for that size, empty while
    // no video size is known. Every resize of the screen comes through here.
    virtual void ResizeScreen(CPixelSize size);
    virtual void SetMinScreenSize(CPixelSize size) { m_minScreen = size; }
    virtual void SetBounds(const CPixelRect& bounds) { m_bounds = bounds; }
    // Amounts added on each side of the screen to make the window that holds it.
    virtual void SetMargins(const CPixelRect& margins) { m_margins = margins; }
    // The screen's rectangle in desktop coordinates.
    virtual void GetScreenRect(CPixelRect& out);

    const CPixelRect& DisplayRect() const { return m_displayRect; }
    CPixelSize VideoSize() const { return m_videoSize; }

protected:
    // Offered the window rectangle that would hold the screen a zoom asks for. Whether the main
    // window should follow is open; the screen itself leaves every window where it is.
    virtual void PlaceWindow(const CPixelRect& windowRect);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Lets the control handle the event, then raises the screen's own event for it, if any.
    bool event(QEvent* event) override;

private:
    IZoom& Zoom();
    void Publish(const CPixelRect& rect);

    IZoom* m_zoom = nullptr; // a process-wide rule; FITWINDOW from first use until set
    CWindowExtender m_extender;
    CPixelSize m_minScreen;
    CPixelSize m_videoSize;
    CPixelRect m_bounds;
    CPixelRect m_margins;
    CPixelRect m_displayRect;         // the last one published; its address goes out with the event
    QWidget* m_videoWindow = nullptr; // borrowed
    bool m_resizing = false;          // inside ResizeScreen's own resize
};
