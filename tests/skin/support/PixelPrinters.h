#pragma once
// Readable failure messages for the skin's rectangles and sizes. Every test file that compares
// them includes this, so that each one prints them the same way.
#include "skin/layout/PixelGeometry.h"

#include <ostream>

void PrintTo(const CPixelRect& rect, std::ostream* os);
void PrintTo(const CPixelSize& size, std::ostream* os);
