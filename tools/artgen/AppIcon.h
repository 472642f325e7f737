#pragma once
// The program's icon: a play symbol on a rounded tile in the skin's accent blue, with a strip of
// film holes along the top and bottom that only the larger sizes have room for.
#include <QImage>
#include <vector>

// The square sizes the desktop's icon theme is given.
inline const std::vector<int> kAppIconSizes = {16, 32, 48, 64, 128, 256};

// The icon at size x size pixels, transparent around the tile.
QImage RenderAppIcon(int size);
