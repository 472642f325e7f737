#include "app/fullscreen/ToolbarWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include "skin/SkinBitmaps.h"

namespace {

// Thumb of both sliders; their track tile is the same size.
constexpr int kThumbSize = 12;
// Height of the time label's type, as in the main window.
constexpr int kTimeFontHeight = 12;
// Colour under the background tiles, seen only if bitmap 132 were missing.
constexpr QRgb kPanelGrey = qRgb(65, 65, 65);

} // namespace

namespace {

Qt::WindowFlags FlagsFor(CToolbarWindow::EPlacement placement) {
    if (placement == CToolbarWindow::EPlacement::InsideMainWindow) {
        return Qt::Widget;
    }
    return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
           Qt::WindowDoesNotAcceptFocus;
}

} // namespace

CToolbarWindow::CToolbarWindow(QWidget* mainWindow, EPlacement placement)
    : QWidget(mainWindow, FlagsFor(placement)), m_placement(placement) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QStringLiteral("ZeliaMediaPlayer2"));
    CreateControls();
    if (m_placement == EPlacement::InsideMainWindow) {
        mainWindow->installEventFilter(this);
    }
}

CToolbarWindow::~CToolbarWindow() = default;

void CToolbarWindow::CreateControls() {
    // Frames of the button strips: normal, hover, pressed, state 3; checks add the checked look.
    m_stop.Create(this, 43, 16, 20, 20, Bitmap(SKIN_BITMAP_STOP), 0, 1, 2, 3);
    m_openFiles.Create(this, 19, 16, 20, 20, Bitmap(SKIN_BITMAP_OPEN), 0, 1, 2, 3);
    m_mute.Create(this, 182, 16, 20, 20, Bitmap(SKIN_BITMAP_MUTE), 0, 1, 2, 3, 4, 5, 6, 7);
    m_previous.Create(this, 67, 16, 36, 20, Bitmap(SKIN_BITMAP_PREVIOUS), 0, 1, 2, 3);
    m_next.Create(this, 142, 16, 36, 20, Bitmap(SKIN_BITMAP_NEXT), 0, 1, 2, 3);
    m_play.Create(this, 103, 16, 36, 20, Bitmap(SKIN_BITMAP_PLAY), 0, 1, 2, 3, 4, 5, 6, 7);
    const CMemDC2* track = Bitmap(SKIN_BITMAP_SLIDER_TRACK);
    const CMemDC2* thumb = Bitmap(SKIN_BITMAP_SLIDER_THUMB);
    m_seek.Create(this, true, 1, -40, -1, 12, track, kThumbSize, kThumbSize, thumb);
    m_volume.Create(this, true, 206, -20, 50, 12, track, kThumbSize, kThumbSize, thumb);
    m_timeLabel.Create(this, 300, -24, 120, 19, -1, kTimeFontHeight);
    // Two-frame strips: unchecked, checked; hover and state 3 look unchecked, a press checked.
    m_playlistView.Create(this, -45, -30, 20, 20, Bitmap(SKIN_BITMAP_PLAYLIST_VIEW), 0, 0, 1, 0, 1,
                          1, 1, 1);
    m_videoView.Create(this, -25, -30, 20, 20, Bitmap(SKIN_BITMAP_VIDEO_VIEW), 0, 0, 1, 0, 1, 1, 1,
                       1);
    m_views.Add(&m_playlistView);
    m_views.Add(&m_videoView);
    m_views.Select(&m_videoView);

    m_stop.SetTooltipText(L"Stop");
    m_openFiles.SetTooltipText(L"Open Files");
    m_mute.SetTooltipText(L"Mute");
    m_previous.SetTooltipText(L"Previous File");
    m_next.SetTooltipText(L"Next File");
    m_play.SetTooltipText(L"Play");
    m_volume.SetTooltipText(L"Volume");

    m_children = {&m_stop, &m_openFiles, &m_mute,      &m_previous,     &m_next,     &m_play,
                  &m_seek, &m_volume,    &m_timeLabel, &m_playlistView, &m_videoView};
}

void CToolbarWindow::Place() {
    QRect area;
    if (m_placement == EPlacement::InsideMainWindow) {
        area = parentWidget()->rect();
    } else {
        const QScreen* screen = QGuiApplication::primaryScreen();
        area = screen != nullptr ? screen->geometry() : QRect(0, 0, 640, 480);
    }
    setGeometry(area.left(), area.bottom() + 1 - kHeight, area.width(), kHeight);
    raise();
    show();
}

void CToolbarWindow::LayoutChildren() {
    for (CSkinCtrl* child : m_children) {
        child->setGeometry(LayoutChildRect(child->LayoutRequest(), size()));
    }
    update();
}

const CMemDC2* CToolbarWindow::Bitmap(int bitmapId) {
    std::unique_ptr<CMemDC2>& entry = m_bitmaps[bitmapId];
    if (!entry) {
        // The bar is made anew for each showing, on the primary screen: one ratio suffices.
        const QScreen* screen = QGuiApplication::primaryScreen();
        entry = std::make_unique<CMemDC2>(bitmapId, screen != nullptr ? screen->devicePixelRatio()
                                                                      : devicePixelRatioF());
    }
    return entry.get();
}

bool CToolbarWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible()) {
        Place();
    }
    return QWidget::eventFilter(watched, event);
}

bool CToolbarWindow::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::Wheel:
        Q_EMIT WheelTurned(static_cast<QWheelEvent*>(event)->angleDelta().y());
        [[fallthrough]];
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}

void CToolbarWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(kPanelGrey));
    const CMemDC2* background = Bitmap(SKIN_BITMAP_TOOLBAR_BACKGROUND);
    const QRect tile = background->Bounds();
    for (int x = 0; x < width() && tile.width() > 0; x += tile.width()) {
        background->Blit(painter, QPoint(x, 0), tile);
    }
}

void CToolbarWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutChildren();
}
