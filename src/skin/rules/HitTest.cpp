#include "skin/rules/HitTest.h"

EHitArea SkinHitTest(QSize client, QPoint point) {
    const int width = client.width();
    const int height = client.height();
    if (point.x() >= width - kResizeGrip && point.y() >= height - kResizeGrip) {
        return EHitArea::BottomRight;
    }
    const bool left = point.x() < kResizeBorder;
    const bool right = point.x() >= width - kResizeBorder;
    const bool top = point.y() < kResizeBorder;
    const bool bottom = point.y() >= height - kResizeBorder;
    if (left && top) {
        return EHitArea::TopLeft;
    }
    if (left && bottom) {
        return EHitArea::BottomLeft;
    }
    if (right && top) {
        return EHitArea::TopRight;
    }
    if (right && bottom) {
        return EHitArea::BottomRight;
    }
    if (left) {
        return EHitArea::Left;
    }
    if (right) {
        return EHitArea::Right;
    }
    if (top) {
        return EHitArea::Top;
    }
    if (bottom) {
        return EHitArea::Bottom;
    }
    return EHitArea::Caption;
}
