#include "skin/rules/ChildLayout.h"

QRect LayoutChildRect(const CLayoutRequest& request, QSize client) {
    const int x = request.x < 0 ? client.width() + request.x : request.x;
    const int y = request.y < 0 ? client.height() + request.y : request.y;
    const int width = request.width < 0 ? client.width() + request.width - x : request.width;
    const int height = request.height < 0 ? client.height() + request.height - y : request.height;
    return QRect(x, y, width, height);
}
