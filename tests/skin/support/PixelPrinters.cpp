#include "support/PixelPrinters.h"

void PrintTo(const CPixelRect& rect, std::ostream* os) {
    *os << "(" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom << ")";
}

void PrintTo(const CPixelSize& size, std::ostream* os) {
    *os << size.width << " x " << size.height;
}
