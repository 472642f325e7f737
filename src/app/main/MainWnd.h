#pragma once
// The player's one top-level window: the video screen, transport buttons, seek and volume
// sliders, time and title labels, the splitter and the playlist. It turns control events into
// requests to the control center and the playback controller, shows the player controls' state
// (PlayerControls.h) that it shares with the full-screen toolbar, owns every menu, switches between
// normal and full screen, keeps the screen saver away while a picture plays and accepts dropped
// files.
//
// Who calls: start-up constructs it, calls CreateMainWindow and then raises "AppInitial" on the
// application subject, which makes the window initialise the control center with its screen and
// playlist and load the default playlist. Threads: user-interface thread only; the upgrade check
// given to SetUpgradeCheck is called on it once, from timer 2, and starts its own worker.
//
// Closing: any close of the window (the Close button, "&Exit", the window manager, close()
// called by a signal handler) stops playback, saves the default playlist and releases the
// graph, once, and then the window closes.
//
// Ownership: the controls are members. The control center and the application subject are
// borrowed and must outlive the window. After Initialise the center's playlist adapter is this
// window's list, so the center must not be used once the window is gone; the engine's window,
// a child of the screen, leaves it when the screen goes (see CEngineDS).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

#include "app/PlayerControls.h"
#include "app/fullscreen/FullScreenToolbar.h"
#include "app/main/MainMenus.h"
#include "app/main/MainWndRules.h"
#include "engine/ClipInfo.h"
#include "platform/ScreenSaverInhibitor.h"
#include "skin/SkinWnd.h"
#include "skin/controls/SkinButton.h"
#include "skin/controls/SkinCheck.h"
#include "skin/controls/SkinRadio.h"
#include "skin/controls/SkinSizer.h"
#include "skin/controls/SkinSlider.h"
#include "skin/controls/SkinString.h"
#include "skin/list/SkinList.h"
#include "skin/screen/SkinScreen.h"

class CControlCenter;
class CPlaybackController;

class CMainWnd : public CSkinWnd, public CObserver<CMainWnd>, public IFullScreenView {
    Q_OBJECT
public:
    static constexpr wchar_t kTitle[] = L"Zelia Media Player";

    CMainWnd(
        CControlCenter& center, ISubject& application,
        std::unique_ptr<IScreenSaverInhibitor> screenSaver = CreateSystemScreenSaverInhibitor());
    ~CMainWnd() override;

    // Creates and shows the window over the centre of the primary screen with all its controls,
    // and wires them. False when the window could not be made.
    bool CreateMainWindow();
    // Called once from timer 2 after creation (at once when the timer already fired).
    void SetUpgradeCheck(std::function<void()> check);

    bool GetFramePiece(int index, const CMemDC2*& skin, QRect& source) const override;
    QSize GetMinTrackSize() const override;
    // In full screen every control is 0 x 0 and the screen fills the window, or shares it with
    // the playlist in the playlist view.
    void LayoutChildren() override;

    // Places screen, splitter, playlist and the Open Playlist button for a playlist this wide.
    void LayoutPlaylist(int playlistWidth);
    // Resizes the window (position kept) so that the screen's area is width x height.
    void FitWindowToVideo(int width, int height);
    // Enter or leave with the log line; Enter and a double click on the window use it.
    void ToggleFullScreen();
    void EnterFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const { return m_fullScreen; }
    // The view the toolbar's radios choose; kept until full screen ends, which returns to the
    // video alone.
    bool IsPlaylistViewShown() const override { return m_playlistViewShown; }
    void ShowPlaylistView(bool shown) override;
    bool IsStayOnTop() const { return m_stayOnTop; }

    // The state every menu is built from, read afresh.
    CMenuState MenuState();
    // What choosing the item does: its stream or file when it carries one, else its command.
    void RunMenuItem(const CMenuItem& item);
    // The fixed commands (MainCommands.h); other ids do nothing.
    void RunCommand(int id);

    CSkinScreen& Screen() { return m_screen; }
    CSkinSizer& Splitter() { return m_splitter; }
    CSkinList& Playlist() { return m_playlist; }
    CSkinSlider& SeekSlider() { return m_seek; }
    CSkinSlider& VolumeSlider() { return m_volume; }
    CSkinString& TimeLabel() { return m_timeLabel; }
    CSkinString& TitleLabel() { return m_titleLabel; }
    CSkinButtonPlay& PlayButton() { return m_play; }
    CSkinCheck& MuteCheck() { return m_mute; }
    // The one player-control state, which the toolbar and the desktop's media-player service
    // show too.
    CPlayerControls& PlayerControls() { return m_controls; }
    int PlaylistWidth() const { return m_playlistWidth; }
    bool IsScreenSaverHeld() const { return m_screenSaver->IsHeld(); }

protected:
    // In full screen, pointer moves over the window's own controls (the playlist of the
    // playlist view) count as activity and reach the toolbar trigger, as moves over the video do.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The player's keys: Enter and Escape for full screen, Space to play, Page Up/Down, Home and
    // End for the playlist, the arrows to seek and for the volume. The wheel turns the volume.
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // A left drag on the window's own area moves it, a double click toggles full screen, a right
    // click opens the main menu; in full screen a move may show the toolbar and the cursor.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Dropped files replace the playlist, or are appended with Ctrl held.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    CSkinButton& MakeButton(CSkinButton& button, int x, int y, int width, int height, int bitmap,
                            const wchar_t* tooltip);
    void WireEvents();
    CPlayerControlWidgets PlayerWidgets();
    CPlaybackController& Controller();

    // Menus: shown at a global point; the button menus at the button's lower-left corner.
    void PopupMenu(const std::vector<CMenuItem>& items, QPoint globalPos);
    void PopupUnder(CSkinCtrl& button, const std::vector<CMenuItem>& items);

    // Holds or releases the screen saver by the engine's state and the loaded clip.
    void UpdateScreenSaver();
    // Reset, SaveDefaultPlaylist, Close, the first time only.
    void ShutDownPlayback();

    // Full screen's cursor: shown notes the time of the activity.
    void ShowCursor();
    void HideCursor();
    void OnCursorTimer();
    void OnUpgradeTimer();
    void OnFullScreenPointer(QPoint globalPos);

    void ShowMediaInfo();
    void ShowAbout();
    void ShowToolbar();
    void HideToolbar();
    bool IsToolbarShown() const;

    // A player control was clicked or its slider moved: the keys come back to the window.
    void OnPlayerControlUsed(ISubject* sender, EventArg x, EventArg y);
    void OnOpenFilesClicked(ISubject* sender, EventArg x, EventArg y);
    void OnMainMenuClicked(ISubject* sender, EventArg x, EventArg y);
    void OnMinimizeClicked(ISubject* sender, EventArg x, EventArg y);
    void OnCloseClicked(ISubject* sender, EventArg x, EventArg y);
    void OnPlaylistButtonClicked(ISubject* sender, EventArg x, EventArg y);
    void OnSplitterReleased(ISubject* sender, EventArg position, EventArg pressX);
    void OnSplitterBoxChecked(ISubject* sender, EventArg checked, EventArg unused);
    void OnListRightClicked(ISubject* sender, EventArg row, EventArg top);
    void OnListDeleteKey(ISubject* sender, EventArg arg1, EventArg arg2);
    // The title, the video size and the playlist row of a loaded clip; the stop hides the title.
    void OnMediaLoaded(ISubject* sender, EventArg record, EventArg unused);
    void OnMediaStopped(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnPlayerControlsChanged(ISubject* sender, EventArg changes, EventArg unused);
    void OnAppInitial(ISubject* sender, EventArg arg1, EventArg arg2);

    CControlCenter& m_center;
    ISubject& m_application;
    std::unique_ptr<IScreenSaverInhibitor> m_screenSaver;
    const CMemDC2* m_frame = nullptr; // bitmap 20026 from the window's cache

    CSkinScreen m_screen;
    CSkinSizer m_splitter;
    CSkinList m_playlist;
    CSkinButton m_stop;
    CSkinButton m_openFiles;
    CSkinButton m_previous;
    CSkinButton m_next;
    CSkinButton m_mainMenu;
    CSkinButton m_minimize;
    CSkinButton m_close;
    CSkinButton m_addFiles;
    CSkinButton m_deleteFiles;
    CSkinButton m_loopMode;
    CSkinButton m_sortMode;
    CSkinButtonPlay m_play;
    CSkinButton m_openPlaylist;
    CSkinCheck m_mute;
    CSkinSlider m_seek;
    CSkinSlider m_volume;
    CSkinString m_timeLabel;
    CSkinString m_titleLabel;
    // The four controls LayoutPlaylist places, with the rectangles it gave them.
    CPlaylistLayout m_playlistLayout;

    bool m_fullScreen = false;
    bool m_playlistViewShown = false;
    QRect m_normalGeometry; // the window's place before full screen
    QElapsedTimer m_lastActivity;
    bool m_cursorHidden = false;
    // The popup menu being shown, if any. Its stream and subtitle entries belong to the clip
    // loaded when it opened, so the next clip's load closes it unchosen.
    QMenu* m_openMenu = nullptr;
    // A left press on the window that may become a drag (moving it) or a double click.
    bool m_movePending = false;
    QPoint m_pressPos;
    int m_wheelRemainder = 0; // wheel travel short of a notch

    int m_playlistWidth;
    // A copy of the loaded item: the center frees its item when the row is deleted, which may
    // happen while the clip stays in the window.
    std::optional<CClipInfo> m_media;
    int m_aspectId;
    int m_windowSizeId;
    bool m_stayOnTop = false;
    // The compositor places and stacks every window (Wayland): the toolbar goes inside the
    // window, and stay-on-top is only noted in the log, once.
    const bool m_compositorPlacesWindows =
        WindowSystemPlacesWindows(QGuiApplication::platformName().toStdString());
    bool m_stayOnTopRefusalLogged = false;
    bool m_playbackShutDown = false;

    QTimer m_cursorTimer;  // timer 1
    QTimer m_upgradeTimer; // timer 2
    std::function<void()> m_upgradeCheck;
    bool m_upgradeDue = false; // timer 2 fired before a check was given

    // Shown by this window and the toolbar; goes after the toolbar.
    CPlayerControls m_controls{m_center};
    // Its window exists only while shown in full screen; declared last, so it goes first.
    CFullScreenToolbar m_toolbar{m_center, m_controls, *this, *this,
                                 m_compositorPlacesWindows
                                     ? CToolbarWindow::EPlacement::InsideMainWindow
                                     : CToolbarWindow::EPlacement::ScreenBottom};
};
