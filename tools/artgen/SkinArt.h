#pragma once
// The table of every skin bitmap the generator draws.
#include <QImage>
#include <QSize>
#include <functional>
#include <vector>

// One bitmap: its resource id, its size in logical pixels, and the painter that draws the whole
// of it in those logical pixels.
struct ArtBitmap {
    int id;
    QSize size;
    std::function<void(QPainter&)> paint;
};

const std::vector<ArtBitmap>& SkinArt();

// The bitmap drawn at scale times its size (1 or 2), every pixel opaque.
QImage RenderArt(const ArtBitmap& bitmap, int scale);
