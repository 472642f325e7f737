#pragma once
// The order in which a skinned window's frame pieces are painted: each blit is followed by
// removing its rectangle from the clip, so that later pieces (tiles) never overdraw earlier ones
// (corners). Pure rule, no widget: the window executes the plan with a QPainter.
#include <functional>
#include <optional>
#include <vector>

#include <QPoint>
#include <QRect>
#include <QSize>

// Indices of the pieces a window's GetFramePiece answers for.
enum EFramePiece : int {
    FRAME_TOP_LEFT = 0, // focused look; the unfocused look of each top piece is 4 further on
    FRAME_TOP_CENTRE = 1,
    FRAME_TOP_TILE = 2,
    FRAME_TOP_RIGHT = 3,
    FRAME_UNFOCUSED_OFFSET = 4,
    FRAME_BOTTOM_LEFT = 8,
    FRAME_BOTTOM_TILE = 9,
    FRAME_BOTTOM_RIGHT = 10,
    FRAME_LEFT_TILE = 11,
    FRAME_RIGHT_TILE = 12,
    FRAME_CENTRE_TILE = 13,
};

// One step: blit `source` of the piece's bitmap to `dest`, or (piece -1) exclude `exclude` from
// the clip.
struct CFrameStep {
    int piece = -1;
    QRect source;
    QPoint dest;
    QRect exclude;
};

// Answers the source rectangle of a piece in its bitmap, or nothing when the window has no such
// piece (the piece is then skipped).
using FramePieceLookup = std::function<std::optional<QRect>(int piece)>;

// The steps for a client area of `client` size: top-left, top-right, top-centre, top tile (from
// x = 0 in steps of its width while x <= width, then the band is excluded), bottom-left,
// bottom-right, bottom tile, left tile, right tile, centre tile over the whole area. Every blit
// of a corner or centre piece is followed by the exclusion of its own rectangle.
std::vector<CFrameStep> PlanFrame(QSize client, bool focused, const FramePieceLookup& lookup);
