#include "skin/SkinWnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "skin/SkinCtrl.h"
#include "skin/rules/FramePlan.h"
#include "skin/rules/HitTest.h"

namespace {

Qt::CursorShape CursorFor(EHitArea area) {
    switch (area) {
    case EHitArea::Left:
    case EHitArea::Right:
        return Qt::SizeHorCursor;
    case EHitArea::Top:
    case EHitArea::Bottom:
        return Qt::SizeVerCursor;
    case EHitArea::TopLeft:
    case EHitArea::BottomRight:
        return Qt::SizeFDiagCursor;
    case EHitArea::TopRight:
    case EHitArea::BottomLeft:
        return Qt::SizeBDiagCursor;
    case EHitArea::Caption:
        break;
    }
    return Qt::ArrowCursor;
}

Qt::Edges EdgesOf(EHitArea area) {
    switch (area) {
    case EHitArea::Left:
        return Qt::LeftEdge;
    case EHitArea::Right:
        return Qt::RightEdge;
    case EHitArea::Top:
        return Qt::TopEdge;
    case EHitArea::Bottom:
        return Qt::BottomEdge;
    case EHitArea::TopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case EHitArea::TopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case EHitArea::BottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case EHitArea::BottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    case EHitArea::Caption:
        break;
    }
    return {};
}

} // namespace

CSkinWnd::CSkinWnd(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    // The frame covers every pixel; no background erase, so nothing flickers.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true); // resize cursors over the border
}

CSkinWnd::~CSkinWnd() = default;

bool CSkinWnd::Create(const QRect& rect) {
    setMinimumSize(GetMinTrackSize());
    setGeometry(rect);
    show();
    return true;
}

bool CSkinWnd::GetFramePiece(int /*index*/, const CMemDC2*& /*skin*/, QRect& /*source*/) const {
    return false;
}

void CSkinWnd::LayoutChildren() {
    for (CSkinCtrl* child : m_children) {
        child->setGeometry(LayoutChildRect(child->LayoutRequest(), size()));
    }
}

CMemDC2* CSkinWnd::GetSkinBitmap(int bitmapId) {
    if (m_skinRatio == 0) {
        m_skinRatio = devicePixelRatioF();
    }
    std::unique_ptr<CMemDC2>& entry = m_skinBitmaps[bitmapId];
    if (!entry) {
        entry = std::make_unique<CMemDC2>(bitmapId, m_skinRatio);
    }
    return entry.get();
}

void CSkinWnd::AddChild(CSkinCtrl* control) {
    m_children.push_back(control);
}

void CSkinWnd::PaintBackground(QPainter& /*painter*/) {}

void CSkinWnd::PaintFrame(QPainter& painter) {
    const auto lookup = [this](int piece) -> std::optional<QRect> {
        const CMemDC2* skin = nullptr;
        QRect source;
        if (!GetFramePiece(piece, skin, source) || skin == nullptr) {
            return std::nullopt;
        }
        return source;
    };
    painter.save();
    QRegion clip(rect());
    for (const CFrameStep& step : PlanFrame(size(), isActiveWindow(), lookup)) {
        if (step.piece < 0) {
            clip -= step.exclude;
            continue;
        }
        const CMemDC2* skin = nullptr;
        QRect source;
        GetFramePiece(step.piece, skin, source);
        painter.setClipRegion(clip);
        skin->Blit(painter, step.dest, step.source);
    }
    painter.restore();
}

void CSkinWnd::FollowDevicePixelRatio() {
    const qreal ratio = devicePixelRatioF();
    if (ratio == m_skinRatio || m_skinBitmaps.empty()) {
        m_skinRatio = ratio;
        return;
    }
    m_skinRatio = ratio;
    for (auto& [id, bitmap] : m_skinBitmaps) {
        bitmap->Reload(id, ratio);
    }
    for (CSkinCtrl* child : m_children) {
        child->update();
    }
}

void CSkinWnd::paintEvent(QPaintEvent* /*event*/) {
    FollowDevicePixelRatio();
    QPainter painter(this);
    painter.save();
    PaintBackground(painter);
    PaintFrame(painter);
    painter.restore();
}

void CSkinWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutChildren();
}

void CSkinWnd::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        update(); // the top row has a focused and an unfocused look
    }
}

void CSkinWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    activateWindow();
    setFocus(Qt::MouseFocusReason);
    const EHitArea area = SkinHitTest(size(), event->position().toPoint());
    QWindow* window = windowHandle();
    if (window == nullptr) {
        return;
    }
    // The window system runs the move or resize; a platform without it (offscreen) declines.
    if (area == EHitArea::Caption) {
        window->startSystemMove();
    } else {
        window->startSystemResize(EdgesOf(area));
    }
}

void CSkinWnd::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton) {
        setCursor(CursorFor(SkinHitTest(size(), event->position().toPoint())));
    }
    QWidget::mouseMoveEvent(event);
}
