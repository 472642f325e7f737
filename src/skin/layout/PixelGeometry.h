#pragma once
// Rectangles and sizes in whole logical pixels, as the skin's layout rules compute them.
// A rectangle is (left, top, right, bottom) with the right and bottom edges outside it, so its
// width is right - left; a rectangle without area (width or height not above 0) is empty.
#include <QRect>
#include <QSize>

struct CPixelSize {
    int width = 0;
    int height = 0;

    bool operator==(const CPixelSize&) const = default;
    QSize ToQSize() const { return {width, height}; }
    static CPixelSize From(QSize size) { return {size.width(), size.height()}; }
};

struct CPixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const CPixelRect&) const = default;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CPixelSize Size() const { return {Width(), Height()}; }
    bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
    QRect ToQRect() const { return {left, top, Width(), Height()}; }
    static CPixelRect From(const QRect& rect) {
        return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
    }
};
