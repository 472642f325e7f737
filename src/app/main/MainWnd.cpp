#include "app/main/MainWnd.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "app/main/MainCommands.h"
#include "app/main/MainWndRules.h"
#include "app/startup/AppEvents.h"
#include "core/TimeText.h"
#include "engine/MediaEvents.h"
#include "playlist/ControlCenter.h"
#include "skin/SkinBitmaps.h"
#include "skin/SkinEvents.h"
#include "skin/list/ListEvents.h"

namespace {

// The pieces of the window frame in bitmap 20026: x, y, width, height.
constexpr QRect kFramePieces[] = {
    {0, 0, 58, 25},   {59, 0, 10, 25},  {70, 0, 10, 25},  {81, 0, 10, 25},   {0, 26, 58, 25},
    {59, 26, 10, 25}, {70, 26, 10, 25}, {81, 26, 10, 25}, {92, 0, 10, 30},   {103, 0, 10, 30},
    {114, 0, 10, 30}, {125, 0, 5, 10},  {125, 11, 5, 10}, {125, 22, 10, 10},
};

// The volume a new window starts with; the sliders' range before a clip sets the seek one.
constexpr int kInitialVolume = 50;
constexpr int kInitialSliderRange = 100;
// Labels are drawn in this pixel height.
constexpr int kLabelFontHeight = 12;

// The primary screen's rectangle on the desktop; a stand-in when there is no screen at all.
QRect PrimaryScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect(0, 0, 800, 600);
}

} // namespace

CMainWnd::CMainWnd(CControlCenter& center, ISubject& application,
                   std::unique_ptr<IScreenSaverInhibitor> screenSaver)
    : m_center(center), m_application(application),
      m_screenSaver(screenSaver ? std::move(screenSaver) : CreateNullScreenSaverInhibitor()),
      m_playlistLayout(PlaylistLayout(kDefaultPlaylistWidth)),
      m_playlistWidth(kDefaultPlaylistWidth), m_aspectId(MainCommands::AspectSource),
      m_windowSizeId(MainCommands::WindowSizeFixed) {
    setFocusPolicy(Qt::StrongFocus);
    m_cursorTimer.setInterval(kCursorQuietMs);
    m_upgradeTimer.setSingleShot(true);
    connect(&m_cursorTimer, &QTimer::timeout, this, &CMainWnd::OnCursorTimer);
    connect(&m_upgradeTimer, &QTimer::timeout, this, &CMainWnd::OnUpgradeTimer);
}

CMainWnd::~CMainWnd() {
    m_upgradeTimer.stop();
    m_cursorTimer.stop();
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeEventFilter(this);
    }
    ShowCursor();
    m_application.Unsubscribe(this);
    m_center.Unsubscribe(this);
    m_controls.Unsubscribe(this);
    m_controls.Detach(PlayerWidgets());
    if (!m_playbackShutDown) {
        m_center.Close();
    }
    m_screenSaver->Hold(false);
}

CPlaybackController& CMainWnd::Controller() {
    return m_center.GetController();
}

bool CMainWnd::CreateMainWindow() {
    const QRect screen = PrimaryScreenRect();
    setWindowTitle(QString::fromWCharArray(kTitle));
    setAcceptDrops(true);
    m_frame = GetSkinBitmap(SKIN_BITMAP_WINDOW_FRAME);
    CreateControls();
    LayoutPlaylist(m_playlistWidth);

    m_seek.setEnabled(false);
    m_seek.SetRange(kInitialSliderRange);
    m_volume.SetRange(kInitialSliderRange);
    Controller().SetVolume(kInitialVolume);
    m_volume.SetPos(Controller().GetVolume());
    for (CSkinString* label : {&m_timeLabel, &m_titleLabel}) {
        label->Show(false);
        label->setEnabled(false);
    }

    WireEvents();
    // Pointer input over the picture belongs to the window: a drag moves it, a double click
    // toggles full screen, a right click opens the main menu.
    m_screen.setEnabled(false);
    m_upgradeTimer.start(0);
    Create(DefaultWindowRect(screen.size()).translated(screen.topLeft()));
    return windowHandle() != nullptr;
}

CSkinButton& CMainWnd::MakeButton(CSkinButton& button, int x, int y, int width, int height,
                                  int bitmap, const wchar_t* tooltip) {
    button.Create(this, x, y, width, height, GetSkinBitmap(bitmap), 0, 1, 2, 3);
    button.SetTooltipText(tooltip);
    AddChild(&button);
    return button;
}

void CMainWnd::CreateControls() {
    m_screen.Create(this, 5, 25, -165, -40);
    AddChild(&m_screen);
    m_splitter.Create(this, -160, 45, -155, -40, kSplitterMinimum);
    m_splitter.SetTooltipText(L"Split windows");
    AddChild(&m_splitter);
    m_playlist.Create(this, -150, 45, -5, -40);
    AddChild(&m_playlist);

    MakeButton(m_stop, 43, -24, 20, 20, SKIN_BITMAP_STOP, L"Stop");
    MakeButton(m_openFiles, 19, -24, 20, 20, SKIN_BITMAP_OPEN, L"Open Files");
    m_mute.Create(this, 182, -24, 20, 20, GetSkinBitmap(SKIN_BITMAP_MUTE), 0, 1, 2, 3, 4, 5, 6, 7);
    m_mute.SetTooltipText(L"Mute");
    AddChild(&m_mute);
    MakeButton(m_previous, 67, -24, 36, 20, SKIN_BITMAP_PREVIOUS, L"Previous File");
    m_play.Create(this, 103, -24, 36, 20, GetSkinBitmap(SKIN_BITMAP_PLAY), 0, 1, 2, 3, 4, 5, 6, 7);
    m_play.SetTooltipText(L"Play");
    AddChild(&m_play);
    MakeButton(m_next, 139, -24, 36, 20, SKIN_BITMAP_NEXT, L"Next File");
    MakeButton(m_mainMenu, 7, 8, 10, 9, SKIN_BITMAP_MAIN_MENU, L"Main Menu");
    MakeButton(m_minimize, -28, 7, 10, 9, SKIN_BITMAP_MINIMIZE, L"Minimize");
    MakeButton(m_close, -17, 7, 10, 9, SKIN_BITMAP_CLOSE, L"Close");
    MakeButton(m_openPlaylist, -150, 25, 20, 20, SKIN_BITMAP_OPEN, L"Open Playlist");
    MakeButton(m_addFiles, -101, 25, 24, 18, SKIN_BITMAP_ADD_FILES, L"Add Files");
    MakeButton(m_deleteFiles, -77, 25, 24, 18, SKIN_BITMAP_DELETE_FILES, L"Delete Files");
    MakeButton(m_loopMode, -53, 25, 24, 18, SKIN_BITMAP_LOOP_MODE, L"Loop Mode");
    MakeButton(m_sortMode, -29, 25, 24, 18, SKIN_BITMAP_SORT_MODE, L"Sort Mode");

    const CMemDC2* track = GetSkinBitmap(SKIN_BITMAP_SLIDER_TRACK);
    const CMemDC2* thumb = GetSkinBitmap(SKIN_BITMAP_SLIDER_THUMB);
    m_seek.Create(this, true, 5, -40, -5, 12, track, 12, 12, thumb);
    AddChild(&m_seek);
    m_volume.Create(this, true, 206, -20, 50, 12, track, 12, 12, thumb);
    m_volume.SetTooltipText(L"Volume");
    AddChild(&m_volume);
    m_timeLabel.Create(this, 300, -24, 120, 19, -1, kLabelFontHeight);
    AddChild(&m_timeLabel);
    m_titleLabel.Create(this, 75, 3, -100, 19, -1, kLabelFontHeight);
    AddChild(&m_titleLabel);
}

CPlayerControlWidgets CMainWnd::PlayerWidgets() {
    return {m_play, m_stop, m_previous, m_next, m_mute, m_seek, m_timeLabel, m_volume};
}

void CMainWnd::WireEvents() {
    m_controls.Attach(PlayerWidgets());
    const struct {
        CSkinCtrl* control;
        Handler handler;
    } clicks[] = {
        {&m_play, &CMainWnd::OnPlayerControlUsed},
        {&m_stop, &CMainWnd::OnPlayerControlUsed},
        {&m_previous, &CMainWnd::OnPlayerControlUsed},
        {&m_next, &CMainWnd::OnPlayerControlUsed},
        {&m_mute, &CMainWnd::OnPlayerControlUsed},
        {&m_openFiles, &CMainWnd::OnOpenFilesClicked},
        {&m_mainMenu, &CMainWnd::OnMainMenuClicked},
        {&m_minimize, &CMainWnd::OnMinimizeClicked},
        {&m_close, &CMainWnd::OnCloseClicked},
        {&m_openPlaylist, &CMainWnd::OnPlaylistButtonClicked},
        {&m_addFiles, &CMainWnd::OnPlaylistButtonClicked},
        {&m_deleteFiles, &CMainWnd::OnPlaylistButtonClicked},
        {&m_loopMode, &CMainWnd::OnPlaylistButtonClicked},
        {&m_sortMode, &CMainWnd::OnPlaylistButtonClicked},
    };
    for (const auto& click : clicks) {
        click.control->Subscribe(this, SkinEvents::LeftClicked, RegisterHandler(click.handler));
    }
    const struct {
        ISubject* subject;
        const wchar_t* name;
        Handler handler;
    } events[] = {
        {&m_seek, SkinEvents::SliderPosChanged, &CMainWnd::OnPlayerControlUsed},
        {&m_volume, SkinEvents::SliderPosChanged, &CMainWnd::OnPlayerControlUsed},
        {&m_splitter, SkinEvents::SkinSizerPosChanged, &CMainWnd::OnSplitterReleased},
        {&m_splitter, SkinEvents::SkinSizerBoxChecked, &CMainWnd::OnSplitterBoxChecked},
        {&m_playlist, ListEvents::ListItemRightClicked, &CMainWnd::OnListRightClicked},
        {&m_playlist, ListEvents::SelectedItemsDeleted, &CMainWnd::OnListDeleteKey},
        {&m_center, MediaEvents::Loaded, &CMainWnd::OnMediaLoaded},
        {&m_center, MediaEvents::Stopped, &CMainWnd::OnMediaStopped},
        {&m_controls, CPlayerControls::kChanged, &CMainWnd::OnPlayerControlsChanged},
        {&m_application, AppEvents::Initial, &CMainWnd::OnAppInitial},
    };
    for (const auto& event : events) {
        event.subject->Subscribe(this, event.name, RegisterHandler(event.handler));
    }
}

bool CMainWnd::GetFramePiece(int index, const CMemDC2*& skin, QRect& source) const {
    if (index < 0 || index >= static_cast<int>(std::size(kFramePieces))) {
        return false;
    }
    skin = m_frame;
    source = kFramePieces[index];
    return true;
}

QSize CMainWnd::GetMinTrackSize() const {
    return MinTrackSize(PrimaryScreenRect().size());
}

void CMainWnd::LayoutChildren() {
    if (m_fullScreen) {
        for (CSkinCtrl* child : Children()) {
            child->setGeometry(QRect(child->pos(), QSize(0, 0)));
        }
        const CFullScreenLayout layout =
            FullScreenLayout(size(), m_playlistViewShown, m_playlistWidth);
        m_screen.setGeometry(layout.screen);
        if (!layout.playlist.isEmpty()) {
            m_playlist.setGeometry(layout.playlist);
            m_playlist.ResizeColumns();
        }
        return;
    }
    const std::pair<const CSkinCtrl*, const CLayoutRequest*> placed[] = {
        {&m_screen, &m_playlistLayout.screen},
        {&m_splitter, &m_playlistLayout.splitter},
        {&m_playlist, &m_playlistLayout.playlist},
        {&m_openPlaylist, &m_playlistLayout.openPlaylist},
    };
    for (CSkinCtrl* child : Children()) {
        const CLayoutRequest* request = &child->LayoutRequest();
        for (const auto& [control, replaced] : placed) {
            if (control == child) {
                request = replaced;
            }
        }
        child->setGeometry(LayoutChildRect(*request, size()));
    }
}

void CMainWnd::LayoutPlaylist(int playlistWidth) {
    m_playlistLayout = PlaylistLayout(playlistWidth);
    m_playlist.ResizeColumns();
    LayoutChildren();
}

void CMainWnd::FitWindowToVideo(int width, int height) {
    const std::optional<QSize> fitted = FitWindowSize(size(), m_screen.size(), {width, height});
    if (!fitted) {
        return;
    }
    resize(*fitted);
    update();
    m_screen.SetVideoSize({width, height});
}

void CMainWnd::SetUpgradeCheck(std::function<void()> check) {
    m_upgradeCheck = std::move(check);
    if (m_upgradeDue && m_upgradeCheck) {
        m_upgradeDue = false;
        m_upgradeCheck();
    }
}

void CMainWnd::OnUpgradeTimer() {
    if (m_upgradeCheck) {
        m_upgradeCheck();
    } else {
        m_upgradeDue = true;
    }
}

void CMainWnd::closeEvent(QCloseEvent* event) {
    ShutDownPlayback();
    event->accept();
}

void CMainWnd::ShutDownPlayback() {
    if (m_playbackShutDown) {
        return;
    }
    m_playbackShutDown = true;
    m_center.Reset();
    m_center.SaveDefaultPlaylist();
    m_center.Close();
    m_screenSaver->Hold(false);
}

void CMainWnd::UpdateScreenSaver() {
    std::wstring state;
    Controller().GetStateName(state);
    std::vector<int> streams;
    int current = -1;
    const bool hasAudio =
        Controller().GetEngine().GetAudioStreams(streams, current) && !streams.empty();
    const bool hasVideo = m_media && m_media->noVideo == 0;
    m_screenSaver->Hold(!m_playbackShutDown && ScreenSaverHeld(state, hasVideo, hasAudio));
}

// ---- control events

void CMainWnd::OnPlayerControlUsed(ISubject*, EventArg, EventArg) {
    setFocus();
}

void CMainWnd::OnOpenFilesClicked(ISubject*, EventArg, EventArg) {
    setFocus();
    m_center.OpenFiles(true);
}

void CMainWnd::OnMainMenuClicked(ISubject*, EventArg, EventArg) {
    setFocus();
    PopupUnder(m_mainMenu, MainMenu(MenuState()));
}

void CMainWnd::OnMinimizeClicked(ISubject*, EventArg, EventArg) {
    QMetaObject::invokeMethod(this, &QWidget::showMinimized, Qt::QueuedConnection);
}

void CMainWnd::OnCloseClicked(ISubject*, EventArg, EventArg) {
    setFocus();
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMainWnd::OnPlaylistButtonClicked(ISubject* sender, EventArg, EventArg) {
    setFocus();
    const CMenuState state = MenuState();
    if (sender == &m_openPlaylist) {
        PopupUnder(m_openPlaylist, PlaylistFilesMenu(state));
    } else if (sender == &m_addFiles) {
        PopupUnder(m_addFiles, AddFilesMenu());
    } else if (sender == &m_deleteFiles) {
        PopupUnder(m_deleteFiles, DeleteFilesMenu());
    } else if (sender == &m_loopMode) {
        PopupUnder(m_loopMode, LoopModeMenu(state));
    } else if (sender == &m_sortMode) {
        PopupUnder(m_sortMode, SortModeMenu(state));
    }
}

void CMainWnd::OnSplitterReleased(ISubject*, EventArg position, EventArg pressX) {
    const bool ctrlHeld = QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
    const CSplitterRelease release = ReleaseSplitter(
        size(), m_screen.width(), static_cast<int>(position), static_cast<int>(pressX), ctrlHeld,
        m_playlistWidth, m_splitter.IsBoxChecked());
    if (release.resizeClient) {
        resize(*release.resizeClient);
    } else {
        LayoutPlaylist(release.layoutWidth);
    }
    m_splitter.SetBoxChecked(release.boxChecked);
    m_playlistWidth = release.storedWidth;
}

void CMainWnd::OnSplitterBoxChecked(ISubject*, EventArg checked, EventArg) {
    LayoutPlaylist(checked != 0 ? kCollapsedPlaylistWidth : m_playlistWidth);
}

void CMainWnd::OnListRightClicked(ISubject*, EventArg, EventArg) {
    PopupMenu(PlaylistContextMenu(MenuState()), QCursor::pos());
}

// The Delete key deletes as "Delete &Selected" does: the center frees the rows' records.
void CMainWnd::OnListDeleteKey(ISubject*, EventArg, EventArg) {
    RunCommand(MainCommands::DeleteSelected);
}

// ---- media events

void CMainWnd::OnMediaLoaded(ISubject*, EventArg record, EventArg) {
    if (m_openMenu != nullptr) {
        m_openMenu->close();
    }
    const auto* item = reinterpret_cast<const CClipInfo*>(record);
    if (item == nullptr) {
        m_media.reset();
        UpdateScreenSaver();
        return;
    }
    m_media = *item;
    Controller().SetMute(Controller().GetMute());
    m_titleLabel.SetText(m_media->title);
    m_titleLabel.Show(true);
    m_titleLabel.update();

    m_screen.SetVideoSize({m_media->videoWidth, m_media->videoHeight});
    if (m_windowSizeId == MainCommands::WindowSizeFitSource && !m_fullScreen) {
        FitWindowToVideo(m_media->videoWidth, m_media->videoHeight);
    }
    const int active = m_playlist.GetActiveItem();
    if (active >= 0) {
        m_playlist.SetItemText(active, 1, FormatDurationShort(WholeSeconds(m_media->duration)));
    }
    UpdateScreenSaver();
}

void CMainWnd::OnMediaStopped(ISubject*, EventArg, EventArg) {
    m_titleLabel.Show(false);
}

void CMainWnd::OnPlayerControlsChanged(ISubject*, EventArg changes, EventArg) {
    const auto changed = static_cast<unsigned>(changes);
    ShowPlayerControls(m_controls.State(), changed, PlayerWidgets());
    if ((changed & PlayerControlChanges::Play) != 0) {
        UpdateScreenSaver();
    }
}

void CMainWnd::OnAppInitial(ISubject*, EventArg, EventArg) {
    m_center.SetMainWindow(this);
    m_center.Initialise(m_screen.GetWindowHandle(), &m_playlist, CControlCenter::kDefaultDelayMs);
    m_screen.SetVideoWindow(Controller().GetEngine().GetWindowHandle());
    m_center.LoadDefaultPlaylist();
}
