#pragma once
// Where a dragged splitter bar ends up. Pure rules, no widget; positions are x in the parent
// window's client coordinates.

struct CSizerRelease {
    int position = 0; // the bar's new x
    int pressX = 0;   // the press point's x within the bar, 0 when the position was clamped
};

// The drag line follows the pointer (x within the bar) only while it stays right of the minimum.
bool SizerLineFollows(int sizerLeft, int x, int pressX, int minimum);

// The position reported on release with the line at `lineOffset` within the bar: below the
// minimum it is the minimum; past the parent's width less two bars it is the parent's width less
// half a bar; in both cases the press x is reported as 0.
CSizerRelease SizerReleasePosition(int sizerLeft, int lineOffset, int pressX, int minimum,
                                   int parentWidth, int sizerWidth);
