#pragma once
// A seek or volume slider: a track tile repeated along the slider and a thumb on it. A press
// puts the thumb under the pointer (snapped to whole values when horizontal), a drag moves it
// (horizontal sliders only once the pointer is 3 pixels from the press), and every move over the
// slider tells which value lies under the pointer. Geometry: rules/SliderGeometry.h.
//
// Events: "SliderPosChanged"(value, span) when a press or drag moves the thumb to a new offset;
// "SliderPosHovered"(value, span) on every move over it; the base mouse events.
//
// Who calls: the owning window (Create, SetRange, SetPos on model events). Threads:
// user-interface thread only. Both skins are borrowed.
#include "skin/SkinCtrl.h"
#include "skin/rules/SliderGeometry.h"

class CSkinSlider : public CSkinCtrl {
    Q_OBJECT
public:
    CSkinSlider();

    // (x, y, width, height) as for every control. The track tile is the (0, 0) rectangle of
    // `trackSkin` of the thumb's size.
    bool Create(QWidget* parent, bool horizontal, int x, int y, int width, int height,
                const CMemDC2* trackSkin, int thumbWidth, int thumbHeight,
                const CMemDC2* thumbSkin);

    void SetRange(int maximum) { m_maximum = maximum; }
    // Puts the thumb on the value's offset; no event, no repaint (the owner's model event does
    // it next).
    void SetPos(int value);
    // The value last set or last reached by a press or drag.
    int GetPos() const { return m_lastValue; }
    int GetRangeMax() const { return m_maximum; }
    int GetRangeMin() const { return m_minimum; }
    bool IsHorizontal() const { return m_horizontal; }
    // Thumb offset along the axis, in pixels.
    int ThumbOffset() const { return m_horizontal ? m_thumb.x() : m_thumb.y(); }

    void Paint(QPainter& painter) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnDragging(ISubject* sender, EventArg x, EventArg y);
    void OnMouseMove(ISubject* sender, EventArg x, EventArg y);

    CSliderGeometry Geometry() const;
    // The target for a point in the parent's coordinates.
    CSliderTarget TargetFor(QPoint parentPoint) const;
    void MoveThumbTo(QPoint parentPoint);

    QPoint m_grab; // the thumb's centre, where the pointer holds it
    int m_maximum = 0;
    int m_minimum = 0;     // no operation changes it
    int m_lastValue = 0;   // what GetPos answers
    int m_lastOffset = -1; // offset of the last press or drag; -1 after SetPos
    bool m_horizontal = true;
    QPoint m_thumb; // thumb's top-left
    QSize m_thumbSize;
    const CMemDC2* m_thumbSkin = nullptr; // borrowed
    QPoint m_pressPoint;                  // parent coordinates
};
