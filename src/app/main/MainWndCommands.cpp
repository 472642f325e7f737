// The main window's menus and commands: the state menus are built from, showing a menu, and
// what each chosen item does.
#include "app/main/MainWnd.h"

#include <optional>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>
#include <QWindow>

#include "app/VendorSite.h"
#include "app/VersionFile.h"
#include "app/dialogs/DlgAbout.h"
#include "app/dialogs/DlgMediaInfo.h"
#include "app/main/MainCommands.h"
#include "app/main/MenuRender.h"
#include "core/Log.h"
#include "playlist/ControlCenter.h"

namespace {

namespace Cmd = MainCommands;

// The vendor's pages the "&Help" menu opens.
constexpr char kContactPage[] = "/contact";
constexpr char kManualPage[] = "/media-player/manual.htm";

} // namespace

CMenuState CMainWnd::MenuState() {
    CMenuState state;
    state.fullScreen = m_fullScreen;
    state.stayOnTop = m_stayOnTop;
    state.aspectId = m_aspectId;
    state.windowSizeId = m_windowSizeId;
    CEngineDS& engine = Controller().GetEngine();
    state.loaded = engine.IsLoaded() != 0;
    engine.GetAudioStreams(state.audioStreams, state.currentAudio);
    engine.GetSubtitleStreams(state.subtitleStreams, state.currentSubtitle);
    engine.GetSubtitleFiles(state.subtitleFiles, state.currentSubtitleFile);
    state.playlistFiles = m_center.PlaylistMenuEntries();
    if (const ILoopMode* mode = m_center.GetPlaylist().GetLoopMode(); mode != nullptr) {
        state.loopMode = mode->GetName();
    }
    state.sortKey = m_playlist.GetSortKey();
    return state;
}

void CMainWnd::PopupMenu(const std::vector<CMenuItem>& items, QPoint globalPos) {
    QMenu menu(this);
    std::optional<CMenuItem> chosen;
    RenderMenu(menu, items, [&chosen](const CMenuItem& item) { chosen = item; });
    m_openMenu = &menu;
    ShowCursor();
    menu.exec(globalPos);
    m_openMenu = nullptr;
    if (chosen) {
        RunMenuItem(*chosen);
    }
}

void CMainWnd::PopupUnder(CSkinCtrl& button, const std::vector<CMenuItem>& items) {
    PopupMenu(items, button.mapToGlobal(QPoint(0, button.height())));
}

void CMainWnd::RunMenuItem(const CMenuItem& item) {
    CEngineDS& engine = Controller().GetEngine();
    switch (item.target) {
    case EMenuTarget::PlaylistFile:
        m_center.Reset();
        m_center.OpenPlaylist(item.path);
        m_center.Play();
        return;
    case EMenuTarget::AudioStream:
        engine.SelectAudioStream(item.stream);
        return;
    case EMenuTarget::InternalSubtitle:
        engine.SelectSubtitleStream(item.stream);
        return;
    case EMenuTarget::ExternalSubtitle:
        engine.LoadExternalSubtitle(item.path);
        return;
    case EMenuTarget::Command:
        RunCommand(item.id);
        return;
    }
}

void CMainWnd::RunCommand(int id) {
    CEngineDS& engine = Controller().GetEngine();
    switch (id) {
    case Cmd::DefaultPlaylist:
        m_center.Reset();
        m_center.LoadDefaultPlaylist();
        m_center.Play();
        break;
    case Cmd::AddFiles:
        m_center.AddFiles();
        break;
    case Cmd::AddPlaylists:
        m_center.AddPlaylists();
        break;
    case Cmd::AddFolder:
        m_center.AddFolder();
        break;
    case Cmd::DeleteSelected:
        m_center.DeleteSelected();
        break;
    case Cmd::ClearPlaylist:
    case Cmd::NewPlaylist:
        m_center.ClearPlaylist();
        break;
    case Cmd::LoopSingleFileOnce:
    case Cmd::LoopSingleFileLoop:
    case Cmd::LoopPlaylistOnce:
    case Cmd::LoopPlaylistLoop:
    case Cmd::LoopPlaylistShuffle:
        m_center.GetPlaylist().SetLoopMode(LoopModeName(id));
        break;
    case kSortByTitle:
    case kSortByFileSize:
    case kSortByAddTime:
    case kSortByLastAccessTime:
    case kSortByCreateTime:
    case kSortShuffle:
    case kSortByDuration:
        m_playlist.SortItems(id);
        break;
    case Cmd::SavePlaylistAs:
        m_center.SavePlaylistAs();
        break;
    case Cmd::OpenPlaylists:
        m_center.OpenPlaylists();
        break;
    case Cmd::NoInternalSubtitle:
        engine.DisableInternalSubtitle();
        break;
    case Cmd::NoExternalSubtitle:
        engine.UnloadExternalSubtitle();
        break;
    case Cmd::LoadSubtitle:
        m_center.LoadSubtitle();
        break;
    case Cmd::OpenFile:
        m_center.OpenFiles(true);
        break;
    case Cmd::OpenDisc:
        m_center.OpenDisc();
        break;
    case Cmd::MediaInfo:
        if (engine.IsLoaded() != 0) {
            ShowMediaInfo();
        }
        break;
    case Cmd::FullScreen:
        EnterFullScreen();
        break;
    case Cmd::NormalWindow:
        LeaveFullScreen();
        break;
    case Cmd::StayOnTop:
        m_stayOnTop = !m_stayOnTop;
        if (m_compositorPlacesWindows) {
            if (!m_stayOnTopRefusalLogged) {
                m_stayOnTopRefusalLogged = true;
                Log({"CMainWnd::RunCommand", LOG_LEVEL_INFO},
                    "stay on top is left to the compositor under %s",
                    QGuiApplication::platformName().toUtf8().constData());
            }
        } else if (QWindow* window = windowHandle(); window != nullptr) {
            // Through the platform window, so the widget is neither hidden nor moved nor
            // activated.
            window->setFlag(Qt::WindowStaysOnTopHint, m_stayOnTop);
        }
        break;
    case Cmd::AspectSource:
    case Cmd::Aspect4To3:
    case Cmd::Aspect16To9:
    case Cmd::AspectStretch:
        m_screen.SetAspectRatio(AspectRatioName(id));
        m_aspectId = id;
        break;
    case Cmd::WindowSizeFixed:
        m_windowSizeId = id;
        break;
    case Cmd::WindowSizeFitSource:
        m_windowSizeId = id;
        if (m_media && !m_fullScreen) {
            m_screen.SetVideoSize({m_media->videoWidth, m_media->videoHeight});
            FitWindowToVideo(m_media->videoWidth, m_media->videoHeight);
        }
        break;
    case Cmd::OnlineFeedback:
        QDesktopServices::openUrl(QUrl(QString::fromStdString(VendorPage(kContactPage))));
        break;
    case Cmd::OnlineManual:
        QDesktopServices::openUrl(QUrl(QString::fromStdString(VendorPage(kManualPage))));
        break;
    case Cmd::About:
        ShowAbout();
        break;
    case Cmd::Exit:
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

// ---- the dialogs

void CMainWnd::ShowMediaInfo() {
    // The command is grayed while nothing is loaded; a load that failed since leaves no facts.
    CMediaFacts facts;
    if (m_center.GetController().IsLoaded() == 0 ||
        !m_center.GetController().GetEngine().GetMediaFacts(facts)) {
        return;
    }
    CDlgMediaInfo dialog(facts, this);
    dialog.exec();
}

void CMainWnd::ShowAbout() {
    CDlgAbout dialog(ReadProgramVersion(), this);
    dialog.exec();
}
