#include "skin/screen/SkinScreen.h"

#include "skin/SkinEvents.h"
#include "skin/screen/AspectRatio.h"
#include "skin/screen/ScreenEvents.h"
#include "skin/screen/Zoom.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr wchar_t kInitialAnchor[] = L"NOEXTEND";
constexpr wchar_t kInitialZoom[] = L"FITWINDOW";

// The screen's event for a mouse event, raised after the control's own; null for none.
const wchar_t* ScreenMouseEvent(const QEvent& event) {
    if (event.type() == QEvent::MouseMove) {
        return SkinEvents::MouseMove;
    }
    struct CButtonEvent {
        QEvent::Type type;
        Qt::MouseButton button;
        const wchar_t* name;
    };
    static constexpr CButtonEvent kButtonEvents[] = {
        {QEvent::MouseButtonPress, Qt::LeftButton, ScreenEvents::LButtonDown},
        {QEvent::MouseButtonPress, Qt::RightButton, ScreenEvents::RButtonDown},
        {QEvent::MouseButtonRelease, Qt::LeftButton, ScreenEvents::LButtonUp},
        {QEvent::MouseButtonRelease, Qt::RightButton, ScreenEvents::RButtonUp},
        {QEvent::MouseButtonDblClick, Qt::LeftButton, ScreenEvents::LButtonDblClk},
    };
    for (const CButtonEvent& entry : kButtonEvents) {
        if (event.type() == entry.type &&
            static_cast<const QMouseEvent&>(event).button() == entry.button) {
            return entry.name;
        }
    }
    return nullptr;
}

} // namespace

CSkinScreen::CSkinScreen() {
    m_extender.SetAnchor(kInitialAnchor);
}

CSkinScreen::~CSkinScreen() = default;

bool CSkinScreen::Create(QWidget* parent, int x, int y, int width, int height) {
    return CSkinCtrl::Create(parent, x, y, width, height, nullptr, -1, -1, -1, -1);
}

IZoom& CSkinScreen::Zoom() {
    if (m_zoom == nullptr) {
        m_zoom = &FindZoom(kInitialZoom);
    }
    return *m_zoom;
}

void CSkinScreen::SetAspectRatio(const std::wstring& name) {
    SetCurrentAspectRatio(FindAspectRatio(name));
    SetVideoSize(m_videoSize);
}

void CSkinScreen::SetZoom(const std::wstring& name) {
    m_zoom = &FindZoom(name);
    SetVideoSize(m_videoSize);
}

void CSkinScreen::SetAnchor(const std::wstring& name) {
    m_extender.SetAnchor(name);
}

void CSkinScreen::SetVideoSize(CPixelSize size) {
    m_videoSize = size;
    if (size.width == 0 || size.height == 0) {
        return;
    }
    CPixelRect screenRect;
    GetScreenRect(screenRect);
    const CPixelSize current = screenRect.Size();
    CPixelSize wanted = current;
    CPixelRect display;
    Zoom().ComputeScreen(m_minScreen, size, wanted, display);
    if (wanted != current) {
        const CPixelSize window{wanted.width + m_margins.left + m_margins.right,
                                wanted.height + m_margins.top + m_margins.bottom};
        CPixelRect windowRect;
        m_extender.ComputeRect(screenRect, window, windowRect, m_bounds);
        PlaceWindow(windowRect);
    }
    Publish(display);
}

void CSkinScreen::ResizeScreen(CPixelSize size) {
    Zoom();
    if (size != CPixelSize::From(this->size())) {
        // The resize event this sends on a visible screen would publish the same rectangle.
        m_resizing = true;
        resize(size.ToQSize());
        m_resizing = false;
    }
    CPixelSize screen = size;
    CPixelRect display;
    Zoom().ComputeScreen(m_minScreen, m_videoSize, screen, display);
    Publish(display);
}

void CSkinScreen::GetScreenRect(CPixelRect& out) {
    out = CPixelRect::From(QRect(mapToGlobal(QPoint(0, 0)), size()));
}

void CSkinScreen::PlaceWindow(const CPixelRect& /*windowRect*/) {}

void CSkinScreen::Publish(const CPixelRect& rect) {
    m_displayRect = rect;
    Raise(ScreenEvents::DisplayRectChanged, reinterpret_cast<EventArg>(&m_displayRect), 0);
    if (m_videoWindow != nullptr) {
        m_videoWindow->setGeometry(m_displayRect.ToQRect());
    }
}

void CSkinScreen::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

void CSkinScreen::resizeEvent(QResizeEvent* event) {
    CSkinCtrl::resizeEvent(event);
    if (!m_resizing) {
        ResizeScreen(CPixelSize::From(event->size()));
    }
}

bool CSkinScreen::event(QEvent* event) {
    const bool handled = CSkinCtrl::event(event);
    if (const wchar_t* name = ScreenMouseEvent(*event)) {
        const QPoint point = static_cast<QMouseEvent*>(event)->position().toPoint();
        Raise(name, point.x(), point.y());
    }
    return handled;
}
