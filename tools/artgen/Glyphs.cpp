#include "Glyphs.h"

#include <QPainterPath>
#include <QPolygonF>

namespace {

// Strokes of line glyphs: thick enough to read at 1x, thin enough to keep arrows open.
constexpr qreal kStroke = 1.5;

void Fill(QPainter& painter, const QColor& ink, std::initializer_list<QPointF> points) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPolygon(QPolygonF(points));
}

void Stroke(QPainter& painter, const QColor& ink, const QPainterPath& path) {
    painter.setPen(QPen(ink, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// Draws a glyph mirrored left to right.
void Mirrored(QPainter& painter, const QColor& ink, Glyph glyph) {
    painter.save();
    painter.scale(-1, 1);
    glyph(painter, ink);
    painter.restore();
}

void SpeakerBody(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-7, -3, 3, 6), ink);
    Fill(painter, ink, {{-4, -3}, {0, -7}, {0, 7}, {-4, 3}});
}

} // namespace

void PlayGlyph(QPainter& painter, const QColor& ink) {
    Fill(painter, ink, {{-4, -6}, {7, 0}, {-4, 6}});
}

void PauseGlyph(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-5, -6, 4, 12), ink);
    painter.fillRect(QRectF(1, -6, 4, 12), ink);
}

void StopGlyph(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-5, -5, 10, 10), ink);
}

void PreviousGlyph(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-7, -5, 2, 10), ink);
    Fill(painter, ink, {{-5, 0}, {1, -5}, {1, 5}});
    Fill(painter, ink, {{1, 0}, {7, -5}, {7, 5}});
}

void NextGlyph(QPainter& painter, const QColor& ink) {
    Mirrored(painter, ink, PreviousGlyph);
}

void SpeakerGlyph(QPainter& painter, const QColor& ink) {
    SpeakerBody(painter, ink);
    QPainterPath waves;
    for (const qreal radius : {3.5, 6.5}) {
        const QRectF circle(-radius, -radius, 2 * radius, 2 * radius);
        waves.arcMoveTo(circle, 50);
        waves.arcTo(circle, 50, -100);
    }
    Stroke(painter, ink, waves);
}

void MutedSpeakerGlyph(QPainter& painter, const QColor& ink) {
    SpeakerBody(painter, ink);
    QPainterPath cross;
    cross.moveTo(2.5, -2.5);
    cross.lineTo(7.5, 2.5);
    cross.moveTo(2.5, 2.5);
    cross.lineTo(7.5, -2.5);
    Stroke(painter, ink, cross);
}

void OpenGlyph(QPainter& painter, const QColor& ink) {
    QPainterPath back;
    back.moveTo(-6.25, 5.75);
    back.lineTo(-6.25, -5.25);
    back.lineTo(-1.75, -5.25);
    back.lineTo(-0.25, -3.75);
    back.lineTo(5.25, -3.75);
    back.lineTo(5.25, -1);
    Stroke(painter, ink, back);
    Fill(painter, ink, {{-7, 6.5}, {-3.5, -1}, {8, -1}, {4.5, 6.5}});
}

void PlaylistGlyph(QPainter& painter, const QColor& ink) {
    for (const qreal top : {-5, -1, 3}) {
        painter.fillRect(QRectF(-7, top, 2, 2), ink);
        painter.fillRect(QRectF(-3, top, 10, 2), ink);
    }
}

void VideoGlyph(QPainter& painter, const QColor& ink) {
    QPainterPath screen;
    screen.addRoundedRect(QRectF(-6.75, -5.25, 13.5, 10.5), 1.5, 1.5);
    Stroke(painter, ink, screen);
    Fill(painter, ink, {{-2, -3}, {3.5, 0}, {-2, 3}});
}

void AddGlyph(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-5, -1, 10, 2), ink);
    painter.fillRect(QRectF(-1, -5, 2, 10), ink);
}

void DeleteGlyph(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-5, -1, 10, 2), ink);
}

void LoopGlyph(QPainter& painter, const QColor& ink) {
    QPainterPath loop;
    loop.moveTo(-7, 2);
    loop.lineTo(-7, -1);
    loop.quadTo(-7, -4, -4, -4);
    loop.lineTo(4, -4);
    loop.moveTo(7, -2);
    loop.lineTo(7, 1);
    loop.quadTo(7, 4, 4, 4);
    loop.lineTo(-4, 4);
    Stroke(painter, ink, loop);
    Fill(painter, ink, {{3, -7.5}, {7, -4}, {3, -0.5}});
    Fill(painter, ink, {{-3, 0.5}, {-7, 4}, {-3, 7.5}});
}

void SortGlyph(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-8, -5, 9, 2), ink);
    painter.fillRect(QRectF(-8, -1, 6, 2), ink);
    painter.fillRect(QRectF(-8, 3, 3, 2), ink);
    painter.fillRect(QRectF(5, -6, 2, 8), ink);
    Fill(painter, ink, {{2.5, 2}, {9.5, 2}, {6, 6}});
}

void MenuGlyph(QPainter& painter, const QColor& ink) {
    for (const qreal top : {-3.5, -0.5, 2.5}) {
        painter.fillRect(QRectF(-3, top, 6, 1), ink);
    }
}

void MinimizeGlyph(QPainter& painter, const QColor& ink) {
    painter.fillRect(QRectF(-3, 1.5, 6, 2), ink);
}

void CloseGlyph(QPainter& painter, const QColor& ink) {
    QPainterPath cross;
    // The 9-pixel-high frame centres on a pixel boundary; the ends sit on pixel centres.
    cross.moveTo(-2.5, -2);
    cross.lineTo(2.5, 3);
    cross.moveTo(2.5, -2);
    cross.lineTo(-2.5, 3);
    Stroke(painter, ink, cross);
}

void CollapseGlyph(QPainter& painter, const QColor& ink) {
    Fill(painter, ink, {{-2, -4}, {2, 0}, {-2, 4}});
}

void ExpandGlyph(QPainter& painter, const QColor& ink) {
    Mirrored(painter, ink, CollapseGlyph);
}
