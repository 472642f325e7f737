#pragma once
// Where a press on a skinned window's own surface (not on a child control) lands: on a resize
// border, a resize corner, or the caption that moves the window. Pure rule, no widget.
#include <QPoint>
#include <QSize>

enum class EHitArea {
    Caption, // anywhere inside that is not a border: dragging moves the window
    Left,
    Right,
    Top,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// Width of the resize border along every edge.
inline constexpr int kResizeBorder = 5;
// Side of the bottom-right square that resizes in both directions: larger than the border so the
// corner is easy to grab.
inline constexpr int kResizeGrip = 8;

// The area of a point given in client coordinates of a window whose client area has `client`
// size. Points outside the client area are treated as the nearest edge's.
EHitArea SkinHitTest(QSize client, QPoint point);
