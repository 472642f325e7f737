#include "skin/rules/SliderGeometry.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

CSliderGeometry::CSliderGeometry(int length, int thumb, int maximum, int minimum)
    : m_span(std::max(0, length - thumb)), m_range(maximum - minimum) {}

int CSliderGeometry::ValueToOffset(int value) const {
    if (!HasTravel()) {
        return 0;
    }
    // trunc(value * span / range + 1/2) as one fraction.
    const std::int64_t numerator = 2 * std::int64_t{value} * m_span + m_range;
    return static_cast<int>(numerator / (2 * std::int64_t{m_range}));
}

int CSliderGeometry::OffsetToValue(int offset) const {
    if (!HasTravel()) {
        return 0;
    }
    const std::int64_t numerator = 2 * std::int64_t{offset} * m_range + m_span;
    return static_cast<int>(numerator / (2 * std::int64_t{m_span}));
}

CSliderTarget CSliderGeometry::Target(int position, bool horizontal) const {
    CSliderTarget target{0, m_span, 0};
    if (!HasTravel()) {
        return target;
    }
    std::int64_t offset = position;
    if (horizontal) {
        const std::int64_t units = offset * m_range / m_span; // trunc(p / r)
        offset = units * m_span / m_range;                    // trunc(r * units)
    }
    target.offset = static_cast<int>(std::clamp<std::int64_t>(offset, target.lo, target.hi));
    return target;
}

bool SliderDragMoves(bool horizontal, int dx) {
    return std::abs(dx) >= (horizontal ? kSliderDragThreshold : 0);
}
