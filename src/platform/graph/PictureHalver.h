#pragma once
// Halves a large decoded picture before it is scaled for the screen. libswscale's filters read
// every source row and column, so shrinking 1080p to a window's picture costs most of its time
// in the source's size; averaging each 2 x 2 block first is a plain, vectorised pass over the
// source that leaves a quarter of the pixels for the scaler, and it removes the fine detail that
// the scaler's two-tap filter would otherwise fold into false pattern.
//
// Threads: one halver per picture scaler, used only on its caller's thread.
#include <QSize>

#include "platform/graph/PlaneMemory.h"
#include "platform/graph/VideoPicture.h"

class CPictureHalver {
public:
    // `picture` halved in both directions as often as the result stays at least `target`'s
    // size; `picture` itself when it is already small enough, is not in a planar format of 8- or
    // 16-bit samples, or when memory runs out (logged). A halved picture points into this
    // object's memory and holds until the next call; it carries the picture's colour space and
    // range but neither owner nor overlay.
    const CVideoPicture& Fit(const CVideoPicture& picture, QSize target);

private:
    CVideoPicture m_halved;
    CPlaneMemory m_memory; // every halving's planes, one after another
};
