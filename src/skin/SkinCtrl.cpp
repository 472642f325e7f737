#include "skin/SkinCtrl.h"

#include <cstdlib>

#include <QMouseEvent>
#include <QPainter>

#include "skin/SkinEvents.h"

CSkinCtrl::CSkinCtrl() {
    // Every pixel is blitted from the skin: no erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true); // moves without a button pressed, for hover
}

CSkinCtrl::~CSkinCtrl() = default;

bool CSkinCtrl::Create(QWidget* parent, int x, int y, int width, int height, const CMemDC2* skin,
                       int normalX, int normalY, int hoverX, int hoverY, int state3X, int state3Y) {
    setParent(parent);
    m_layout = {x, y, width, height};
    m_skin = skin;
    m_normalSource = {normalX, normalY};
    m_hoverSource = {hoverX, hoverY};
    m_state3Source = {state3X == -1 ? normalX : state3X, state3Y == -1 ? normalY : state3Y};
    setGeometry(x, y, std::abs(width), std::abs(height));
    show();
    return true;
}

int CSkinCtrl::FrameWidth() const {
    return std::abs(m_layout.width);
}

int CSkinCtrl::FrameHeight() const {
    return std::abs(m_layout.height);
}

void CSkinCtrl::Paint(QPainter& painter) {
    if (m_skin == nullptr || m_normalSource == QPoint(-1, -1)) {
        return;
    }
    int x = -1;
    int y = -1;
    if (m_state == SKIN_STATE_3) {
        x = m_state3Source.x();
        y = m_state3Source.y();
    } else if (m_state == SKIN_STATE_HOVER) {
        x = m_hoverSource.x();
        y = m_hoverSource.y();
        AdjustHoverSource(x, y);
    }
    if (x == -1) {
        x = m_normalSource.x();
    }
    if (y == -1) {
        y = m_normalSource.y();
    }
    m_skin->Blit(painter, QPoint(0, 0), QRect(x, y, FrameWidth(), FrameHeight()));
}

void CSkinCtrl::AdjustHoverSource(int& /*x*/, int& /*y*/) {}

void CSkinCtrl::SetHoverCursor() {
    setCursor(Qt::ArrowCursor);
}

void CSkinCtrl::SetTooltipText(const std::wstring& text) {
    m_tooltip = text;
    setToolTip(QString::fromStdWString(text));
}

void CSkinCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    Paint(painter);
}

void CSkinCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (HasCapture()) {
        m_state = rect().contains(point) ? SKIN_STATE_PRESSED : SKIN_STATE_NORMAL;
        Raise(SkinEvents::MouseDragging, point.x(), point.y());
    } else {
        m_state = SKIN_STATE_HOVER;
        SetHoverCursor();
    }
    update();
    Raise(SkinEvents::MouseMove, point.x(), point.y());
}

void CSkinCtrl::mousePressEvent(QMouseEvent* event) {
    // Other buttons end here, not at the window behind, which would start moving itself.
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !rect().contains(point)) {
        return;
    }
    m_state = SKIN_STATE_PRESSED;
    m_tracking = SKIN_TRACKING_CLICK;
    update();
    Raise(SkinEvents::LeftDown, point.x(), point.y());
}

void CSkinCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        return;
    }
    m_state = SKIN_STATE_PRESSED;
    m_tracking = SKIN_TRACKING_DOUBLE_CLICK;
    update();
    Raise(SkinEvents::LeftDoubleClicked, 0, 0);
}

void CSkinCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !HasCapture()) {
        return;
    }
    const QPoint point = event->position().toPoint();
    const bool inside = rect().contains(point);
    m_state = inside ? SKIN_STATE_HOVER : SKIN_STATE_NORMAL;
    m_tracking = SKIN_TRACKING_IDLE;
    update();
    Raise(SkinEvents::LeftUp, point.x(), point.y());
    if (inside) {
        Raise(SkinEvents::LeftClicked, point.x(), point.y());
    }
}

void CSkinCtrl::PressLost() {
    m_state = SKIN_STATE_NORMAL;
    m_tracking = SKIN_TRACKING_IDLE;
    update();
}

bool CSkinCtrl::event(QEvent* event) {
    // Before any subclass sees the move: it must not be taken for a drag.
    if (event->type() == QEvent::MouseMove && HasCapture() &&
        !static_cast<QMouseEvent*>(event)->buttons().testFlag(Qt::LeftButton)) {
        PressLost();
    }
    return QWidget::event(event);
}

void CSkinCtrl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled() && HasCapture()) {
        PressLost();
    }
}

void CSkinCtrl::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (HasCapture()) {
        PressLost();
    }
}

void CSkinCtrl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    m_state = SKIN_STATE_NORMAL;
    update();
    Raise(SkinEvents::MouseLeave, 0, 0);
}

void CSkinCtrl::wheelEvent(QWheelEvent* event) {
    event->ignore(); // handed on to the parent
}
