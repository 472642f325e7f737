// The main window's input: keys, wheel, the pointer on the window's own surface (which includes
// the disabled video screen), full screen with its cursor and toolbar trigger, and file drops.
#include "app/main/MainWnd.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>

#include "app/main/MainWndRules.h"
#include "core/Log.h"
#include "playlist/ControlCenter.h"
#include "playlist/FileDrop.h"
#include "skin/rules/HitTest.h"

void CMainWnd::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ToggleFullScreen();
        break;
    case Qt::Key_Escape:
        LeaveFullScreen();
        break;
    case Qt::Key_Space:
        m_center.Play();
        break;
    case Qt::Key_PageUp:
        m_center.Previous();
        break;
    case Qt::Key_PageDown:
        m_center.Next();
        break;
    case Qt::Key_End:
        m_center.Last();
        break;
    case Qt::Key_Home:
        m_center.First();
        break;
    case Qt::Key_Left:
        Controller().SeekBackward();
        break;
    case Qt::Key_Right:
        Controller().SeekForward();
        break;
    case Qt::Key_Up:
        Controller().VolumeUp();
        break;
    case Qt::Key_Down:
        Controller().VolumeDown();
        break;
    default:
        break;
    }
    CSkinWnd::keyPressEvent(event);
}

void CMainWnd::wheelEvent(QWheelEvent* event) {
    const CWheelNotches wheel = AccumulateWheel(m_wheelRemainder, event->angleDelta().y());
    m_wheelRemainder = wheel.remainder;
    if (wheel.notches != 0) {
        const int volume = WheelVolume(m_volume.GetPos(), wheel.notches, m_volume.GetRangeMin(),
                                       m_volume.GetRangeMax());
        m_volume.SetPos(volume);
        m_volume.update();
        Controller().SetVolume(volume);
    }
    CSkinWnd::wheelEvent(event);
}

void CMainWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        CSkinWnd::mousePressEvent(event);
        return;
    }
    if (m_fullScreen) {
        activateWindow();
        setFocus(Qt::MouseFocusReason);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (SkinHitTest(size(), point) == EHitArea::Caption) {
        // The move starts once the pointer travels: handing the press to the window manager
        // at once would swallow the second click of a double click.
        activateWindow();
        setFocus(Qt::MouseFocusReason);
        m_movePending = true;
        m_pressPos = point;
        return;
    }
    CSkinWnd::mousePressEvent(event);
}

void CMainWnd::mouseMoveEvent(QMouseEvent* event) {
    if (m_fullScreen) {
        OnFullScreenPointer(event->globalPosition().toPoint());
        return;
    }
    const QPoint point = event->position().toPoint();
    if (m_movePending && event->buttons().testFlag(Qt::LeftButton) &&
        (point - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_movePending = false;
        if (windowHandle() != nullptr) {
            windowHandle()->startSystemMove();
        }
        return;
    }
    CSkinWnd::mouseMoveEvent(event);
}

void CMainWnd::mouseReleaseEvent(QMouseEvent* event) {
    m_movePending = false;
    if (event->button() == Qt::RightButton) {
        PopupMenu(MainMenu(MenuState()), event->globalPosition().toPoint());
        return;
    }
    CSkinWnd::mouseReleaseEvent(event);
}

void CMainWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    m_movePending = false;
    if (event->button() == Qt::LeftButton) {
        ToggleFullScreen();
        return;
    }
    CSkinWnd::mouseDoubleClickEvent(event);
}

void CMainWnd::ToggleFullScreen() {
    const bool entering = !m_fullScreen;
    Log({"CMainWnd::ToggleFullScreen", LOG_LEVEL_INFO}, "Toggle to fullscreen: %d",
        entering ? 1 : 0);
    if (entering) {
        EnterFullScreen();
    } else {
        LeaveFullScreen();
    }
}

void CMainWnd::EnterFullScreen() {
    if (m_fullScreen) {
        return;
    }
    m_fullScreen = true;
    m_playlistViewShown = false;
    QCoreApplication::instance()->installEventFilter(this);
    m_normalGeometry = geometry();
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect whole = primary != nullptr ? primary->geometry() : geometry();
    // No minimum may keep the window from covering a small screen.
    setMinimumSize(0, 0);
    if (!m_compositorPlacesWindows) {
        // Covers the screen at once, also where no window manager answers the full-screen
        // request. A compositor sizes the window itself, and would take this size for the
        // window's normal one, to restore when full screen ends.
        setGeometry(whole);
    }
    showFullScreen();
    LayoutChildren();
    m_lastActivity.start();
    m_cursorTimer.start();
}

void CMainWnd::LeaveFullScreen() {
    if (!m_fullScreen) {
        return;
    }
    m_fullScreen = false;
    m_playlistViewShown = false;
    QCoreApplication::instance()->removeEventFilter(this);
    HideToolbar();
    showNormal();
    setMinimumSize(GetMinTrackSize());
    setGeometry(m_normalGeometry);
    LayoutPlaylist(m_splitter.IsBoxChecked() ? kCollapsedPlaylistWidth : m_playlistWidth);
    m_volume.SetPos(Controller().GetVolume());
    m_volume.update();
    m_cursorTimer.stop();
    ShowCursor();
}

void CMainWnd::ShowPlaylistView(bool shown) {
    m_playlistViewShown = shown;
    if (m_fullScreen) {
        LayoutChildren();
    }
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
    const bool move = event->type() == QEvent::MouseMove || event->type() == QEvent::HoverMove;
    if (move && m_fullScreen && watched != this && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        OnFullScreenPointer(static_cast<QSinglePointEvent*>(event)->globalPosition().toPoint());
    }
    return CSkinWnd::eventFilter(watched, event);
}

void CMainWnd::OnFullScreenPointer(QPoint globalPos) {
    ShowCursor();
    // The full-screen window is the screen; its own coordinates hold also where a compositor
    // keeps the window's place on the desktop to itself (Wayland).
    switch (ToolbarOnPointer(mapFromGlobal(globalPos).y(), height(), IsToolbarShown())) {
    case EToolbarChange::Create:
        ShowToolbar();
        break;
    case EToolbarChange::Destroy:
        HideToolbar();
        break;
    case EToolbarChange::None:
        break;
    }
}

void CMainWnd::OnCursorTimer() {
    const std::int64_t quiet = m_lastActivity.isValid() ? m_lastActivity.elapsed() : 0;
    const bool overlayOpen = m_openMenu != nullptr ||
                             QApplication::activeModalWidget() != nullptr ||
                             QApplication::activePopupWidget() != nullptr;
    switch (CursorOnTimer(m_fullScreen, overlayOpen, quiet, IsToolbarShown())) {
    case ECursorChange::Show:
        ShowCursor();
        break;
    case ECursorChange::Hide:
        HideCursor();
        break;
    case ECursorChange::None:
        break;
    }
}

void CMainWnd::ShowCursor() {
    if (m_cursorHidden) {
        m_cursorHidden = false;
        QGuiApplication::restoreOverrideCursor();
    }
    m_lastActivity.start();
}

void CMainWnd::HideCursor() {
    if (!m_cursorHidden) {
        m_cursorHidden = true;
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
    }
}

// ---- the full-screen toolbar

void CMainWnd::ShowToolbar() {
    if (m_toolbar.IsShown()) {
        return;
    }
    m_toolbar.Create();
    const CToolbarWindow& bar = *m_toolbar.Window();
    const QRect place = bar.geometry();
    Log({"CMainWnd::ShowToolbar", LOG_LEVEL_DEBUG}, "toolbar shown %s at %d,%d %dx%d",
        bar.isWindow() ? "on the screen" : "in the window", place.x(), place.y(), place.width(),
        place.height());
}

void CMainWnd::HideToolbar() {
    if (m_toolbar.IsShown()) {
        m_toolbar.Destroy();
    }
}

bool CMainWnd::IsToolbarShown() const {
    return m_toolbar.IsShown();
}

// ---- file drops

void CMainWnd::dragEnterEvent(QDragEnterEvent* event) {
    OnFileDragEnter(*event);
}

void CMainWnd::dragMoveEvent(QDragMoveEvent* event) {
    OnFileDragMove(*event);
}

void CMainWnd::dropEvent(QDropEvent* event) {
    if (const std::optional<CFileDrop> drop = OnFileDrop(*event)) {
        m_center.AddPaths(drop->paths, drop->append);
    }
}
