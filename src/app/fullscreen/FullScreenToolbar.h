#pragma once
// The toolbar of full-screen mode: while the main window fills the screen with the video, a bar
// across the bottom of the primary screen carries the transport buttons, the seek and volume
// sliders, the time label and two view radios, and talks to the same control center and
// controller as the main window. The main window creates it when the pointer reaches the bottom
// edge and destroys it when the pointer leaves the bottom band.
//
// The transport buttons, the sliders and the time label are the main window's player controls
// (PlayerControls.h) a second time: each Create attaches them, takes the position from the
// controller at once and shows the whole state; while shown the bar follows its changes. Destroy
// detaches them and leaves every subject the toolbar subscribed to.
//
// The bar's own input: Open Files goes to the center from the event loop, so no button of the bar
// is in the middle of its click while the file dialog runs (the bar may be destroyed meanwhile);
// the wheel sets the volume (5 per notch, smaller turns summed, in the slider's range).
//
// The two view radios choose between the main window's full-screen views: the video alone, or the
// video with the playlist beside it. The main window keeps the choice (IFullScreenView), so a bar
// made again while still in full screen shows the view that is on the screen.
//
// The main window says where the bar goes (CToolbarWindow::EPlacement): a window of its own
// where windows may place themselves, else drawn inside the full-screen main window.
//
// Who calls: the main window (Create, Destroy, IsShown), on the user-interface thread only.
// Ownership: the center, the player controls, the main window and its view are borrowed and
// must outlive the toolbar.
// The bar's window is a Qt child of the main window; Destroy hides it and deletes it from the
// event loop, and the main window deletes it if it goes first.
#include <QObject>
#include <QPointer>

#include "app/fullscreen/ToolbarWindow.h"
#include "core/EventBus.h"

class CControlCenter;
class CPlaybackController;
class CPlayerControls;
struct CPlayerControlWidgets;

// The main window's full-screen views, as the toolbar's radios see them.
class IFullScreenView {
public:
    virtual bool IsPlaylistViewShown() const = 0;
    // True: the video with the playlist beside it; false: the video alone.
    virtual void ShowPlaylistView(bool shown) = 0;

protected:
    ~IFullScreenView() = default;
};

class CFullScreenToolbar : public CObserver<CFullScreenToolbar> {
public:
    CFullScreenToolbar(CControlCenter& center, CPlayerControls& controls, QWidget& mainWindow,
                       IFullScreenView& view, CToolbarWindow::EPlacement placement);
    ~CFullScreenToolbar() override;
    CFullScreenToolbar(const CFullScreenToolbar&) = delete;
    CFullScreenToolbar& operator=(const CFullScreenToolbar&) = delete;

    // Shows the bar with the current state; nothing when it is shown already.
    void Create();
    // Unsubscribes everything and removes the bar; nothing more when it is not shown (also when
    // the main window deleted the bar with itself).
    void Destroy();
    bool IsShown() const { return !m_window.isNull(); }

    // The bar while shown, else null; for the main window's checks and for tests.
    CToolbarWindow* Window() const { return m_window.data(); }

private:
    void SubscribeEverything();
    // Checks the radio of the view and asks the main window for it.
    void SelectView(bool playlist);
    void OnWheel(int delta);
    CPlayerControlWidgets Widgets();

    void OnOpenFilesClicked(ISubject* sender, EventArg x, EventArg y);
    void OnVideoViewClicked(ISubject* sender, EventArg x, EventArg y);
    void OnPlaylistViewClicked(ISubject* sender, EventArg x, EventArg y);
    void OnPlayerControlsChanged(ISubject* sender, EventArg changes, EventArg unused);

    CControlCenter& m_center;
    CPlaybackController& m_controller; // the center's
    CPlayerControls& m_controls;
    QWidget& m_mainWindow;
    IFullScreenView& m_view;
    const CToolbarWindow::EPlacement m_placement;
    QPointer<CToolbarWindow> m_window; // null while hidden
    int m_wheelRemainder = 0;          // wheel delta short of a whole notch, kept for the next turn
    // Posted calls run on this object's thread and die with it, so none reaches a destroyed
    // toolbar.
    QObject m_postTarget;
};
