#include "skin/rules/SizerRules.h"

bool SizerLineFollows(int sizerLeft, int x, int pressX, int minimum) {
    return sizerLeft + x + pressX > minimum;
}

CSizerRelease SizerReleasePosition(int sizerLeft, int lineOffset, int pressX, int minimum,
                                   int parentWidth, int sizerWidth) {
    CSizerRelease release{sizerLeft + lineOffset, pressX};
    if (release.position < minimum) {
        release = {minimum, 0};
    }
    if (parentWidth - 2 * sizerWidth < release.position) {
        release = {parentWidth - sizerWidth / 2, 0};
    }
    return release;
}
