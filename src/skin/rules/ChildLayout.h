#pragma once
// Placement of a skinned window's child from the rectangle it was created with: negative values
// are measured from the client area's right or bottom edge. Pure rule, no widget.
#include <QRect>
#include <QSize>

// A creation rectangle as given: x, y < 0 anchor the left or top edge to the right or bottom of
// the client area; width, height < 0 anchor the right or bottom edge |value| pixels from it.
struct CLayoutRequest {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The child's rectangle in a client area of the given size, e.g. (-150, 45, -5, -40) in 600 x 400
// is (450, 45) with size 145 x 315. A size that comes out negative is kept as computed; QWidget
// treats it as empty.
QRect LayoutChildRect(const CLayoutRequest& request, QSize client);
