#include "skin/rules/ChildLayout.h"

QRect LayoutChildRect(const CLayoutSpec& spec, QSize client) {
    const int x = spec.x < 0 ? client.width() + spec.x : spec.x;
    const int y = spec.y < 0 ? client.height() + spec.y : spec.y;
    const int width = spec.width < 0 ? client.width() + spec.width - x : spec.width;
    const int height = spec.height < 0 ? client.height() + spec.height - y : spec.height;
    return QRect(x, y, width, height);
}
