#include "skin/controls/SkinSlider.h"

#include <QMouseEvent>
#include <QPainter>

#include "skin/SkinEvents.h"

CSkinSlider::CSkinSlider() {
    Subscribe(this, SkinEvents::MouseDragging, RegisterHandler(&CSkinSlider::OnDragging));
    Subscribe(this, SkinEvents::MouseMove, RegisterHandler(&CSkinSlider::OnMouseMove));
}

bool CSkinSlider::Create(QWidget* parent, bool horizontal, int x, int y, int width, int height,
                         const CMemDC2* trackSkin, int thumbWidth, int thumbHeight,
                         const CMemDC2* thumbSkin) {
    m_horizontal = horizontal;
    m_thumbSize = {thumbWidth, thumbHeight};
    m_thumbSkin = thumbSkin;
    return CSkinCtrl::Create(parent, x, y, width, height, trackSkin, 0, 0, -1, -1);
}

CSliderGeometry CSkinSlider::Geometry() const {
    return m_horizontal ? CSliderGeometry(width(), m_thumbSize.width(), m_maximum, m_minimum)
                        : CSliderGeometry(height(), m_thumbSize.height(), m_maximum, m_minimum);
}

void CSkinSlider::SetPos(int value) {
    m_lastValue = value;
    m_lastOffset = -1;
    const int offset = Geometry().ValueToOffset(value);
    (m_horizontal ? m_thumb.rx() : m_thumb.ry()) = offset;
}

CSliderTarget CSkinSlider::TargetFor(QPoint parentPoint) const {
    const QPoint position = parentPoint - pos() - m_grab;
    return Geometry().Target(m_horizontal ? position.x() : position.y(), m_horizontal);
}

void CSkinSlider::MoveThumbTo(QPoint parentPoint) {
    const CSliderTarget target = TargetFor(parentPoint);
    // Compared with the offset of the last press or drag only: after SetPos the position holds a
    // value, and a press whose offset happened to equal that number must still report.
    if (target.offset != m_lastOffset) {
        const CSliderGeometry geometry = Geometry();
        m_lastOffset = target.offset;
        m_lastValue = geometry.OffsetToValue(target.offset - target.lo);
        Raise(SkinEvents::SliderPosChanged, m_lastValue, target.hi - target.lo);
    }
    (m_horizontal ? m_thumb.rx() : m_thumb.ry()) = target.offset;
    repaint();
}

void CSkinSlider::mousePressEvent(QMouseEvent* event) {
    CSkinCtrl::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_grab = {m_thumbSize.width() / 2, m_thumbSize.height() / 2};
    const QPoint parentPoint = mapToParent(event->position().toPoint());
    MoveThumbTo(parentPoint);
    m_pressPoint = parentPoint;
}

void CSkinSlider::OnDragging(ISubject* /*sender*/, EventArg x, EventArg y) {
    const QPoint parentPoint = mapToParent(QPoint(static_cast<int>(x), static_cast<int>(y)));
    if (SliderDragMoves(m_horizontal, parentPoint.x() - m_pressPoint.x())) {
        MoveThumbTo(parentPoint);
    }
}

void CSkinSlider::OnMouseMove(ISubject* /*sender*/, EventArg x, EventArg y) {
    const QPoint parentPoint = mapToParent(QPoint(static_cast<int>(x), static_cast<int>(y)));
    const CSliderTarget target = TargetFor(parentPoint);
    Raise(SkinEvents::SliderPosHovered, Geometry().OffsetToValue(target.offset - target.lo),
          target.hi - target.lo);
}

void CSkinSlider::Paint(QPainter& painter) {
    if (Skin() != nullptr) {
        const QRect tile(QPoint(0, 0), m_thumbSize);
        const int length = m_horizontal ? width() : height();
        const int step = m_horizontal ? m_thumbSize.width() : m_thumbSize.height();
        for (int position = 0; step > 0 && position <= length; position += step) {
            Skin()->Blit(painter, m_horizontal ? QPoint(position, 0) : QPoint(0, position), tile);
        }
    }
    if (m_thumbSkin != nullptr) {
        m_thumbSkin->Blit(painter, m_thumb, QRect(QPoint(0, 0), m_thumbSize));
    }
}
