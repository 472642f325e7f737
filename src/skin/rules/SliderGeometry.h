#pragma once
// The geometry of a skinned slider: where the thumb sits for a value, which value a thumb offset
// stands for, and where a pointer puts the thumb. Pure rule, no widget.
//
// The ratio r = (length - thumb) / (maximum - minimum) pixels per value unit is kept as the
// fraction span / range and every step is computed on it exactly in integers, so an offset that
// stands for a whole value (94 for 50 at r = 1.88) never loses a pixel to floating-point error.
// All truncation is toward zero.

// A slider whose range is empty or whose thumb is no shorter than the slider has no travel: the
// thumb stays at 0 and every offset stands for value 0.

// How far (in x) the pointer must move from the press point before a horizontal slider follows
// a drag: a click that wobbles by a pixel or two must not seek.
inline constexpr int kSliderDragThreshold = 3;

struct CSliderTarget {
    int lo = 0;     // first thumb offset
    int hi = 0;     // last thumb offset; hi - lo is the span events report
    int offset = 0; // the thumb's offset for the pointer, within [lo, hi]
};

class CSliderGeometry {
public:
    // length: the slider's extent along its axis; thumb: the thumb's extent along it.
    CSliderGeometry(int length, int thumb, int maximum, int minimum = 0);

    // Pixels the thumb can travel: max(0, length - thumb).
    int Span() const { return m_span; }
    bool HasTravel() const { return m_span > 0 && m_range != 0; }

    // trunc(value * r + 0.5); the minimum is not subtracted. 0 without travel.
    int ValueToOffset(int value) const;
    // trunc(offset / r + 0.5). 0 without travel.
    int OffsetToValue(int offset) const;

    // The thumb offset for a pointer `position` pixels past the slider's start, less the grab
    // offset within the thumb. Horizontal sliders snap to whole value units
    // (trunc(r * trunc(p / r))); vertical ones follow the pointer. Clamped to [lo, hi].
    CSliderTarget Target(int position, bool horizontal) const;

private:
    int m_span;  // length - thumb, at least 0
    int m_range; // maximum - minimum
};

// Whether a drag that is dx pixels (in x) from the press point moves the thumb: a horizontal
// slider waits for kSliderDragThreshold pixels; a vertical one compares the same x distance
// against 0 and so always follows.
bool SliderDragMoves(bool horizontal, int dx);
