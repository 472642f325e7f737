#include "AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "Palette.h"

namespace {

// Everything is drawn on a 256-unit square and scaled to the size asked for.
constexpr qreal kUnits = 256.0;
constexpr qreal kTileMargin = 12.0;
constexpr qreal kTileRadius = 44.0;
constexpr qreal kTileEdge = 6.0;
// Below this size the film holes would be a pixel or less and only blur the tile.
constexpr int kFilmHolesMinSize = 48;
constexpr int kFilmHoles = 6;
constexpr qreal kFilmHoleSize = 16.0;
constexpr qreal kFilmHoleInset = 26.0;

const QColor kTileTop(92, 146, 204);
const QColor kTileBottom(36, 62, 98);

void DrawFilmHoles(QPainter& painter) {
    const qreal span = kUnits - 2 * (kTileMargin + kTileRadius);
    const qreal step = span / (kFilmHoles - 1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(16, 28, 44, 150));
    for (int i = 0; i < kFilmHoles; ++i) {
        const qreal x = kTileMargin + kTileRadius + i * step - kFilmHoleSize / 2;
        for (const qreal y : {kFilmHoleInset, kUnits - kFilmHoleInset - kFilmHoleSize}) {
            painter.drawRoundedRect(QRectF(x, y, kFilmHoleSize, kFilmHoleSize), 3, 3);
        }
    }
}

} // namespace

QImage RenderAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kUnits, size / kUnits);

    const QRectF tile(kTileMargin, kTileMargin, kUnits - 2 * kTileMargin, kUnits - 2 * kTileMargin);
    QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
    shade.setColorAt(0, kTileTop);
    shade.setColorAt(1, kTileBottom);
    painter.setPen(QPen(kOuterEdge, kTileEdge));
    painter.setBrush(shade);
    painter.drawRoundedRect(tile, kTileRadius, kTileRadius);

    if (size >= kFilmHolesMinSize) {
        DrawFilmHoles(painter);
    }

    // The triangle's centre of area sits on the tile's centre, so it looks centred.
    QPainterPath play;
    play.moveTo(96, 70);
    play.lineTo(192, 128);
    play.lineTo(96, 186);
    play.closeSubpath();
    painter.setPen(QPen(kHoverInk, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kHoverInk);
    painter.drawPath(play);
    return image;
}
