#include "SkinArt.h"

#include <QPainter>

#include "Glyphs.h"
#include "Palette.h"
#include "skin/SkinBitmaps.h"

namespace {

// A pressed glyph moves down a pixel, as if pushed in; the 10 x 9 title buttons have no room.
constexpr int kPressedShiftMinHeight = 18;
// Corner radius of button faces.
constexpr qreal kFaceRadius = 2.5;

enum class Look { Normal, Hover, Pressed, Disabled, Checked };

// How a frame looks in one state: a rounded face with a rim (none when fill is invalid, so the
// bare background shows) and the glyph's ink.
struct Face {
    QColor fill;
    QColor rim;
    QColor ink;
};

// Buttons sit on the panel grey of the bands; at rest only the glyph shows.
Face ButtonFace(Look look) {
    switch (look) {
    case Look::Normal:
        return {QColor(), QColor(), kText};
    case Look::Hover:
        return {kHoverFace, kHoverRim, kHoverInk};
    case Look::Pressed:
        return {kPressedFace, kPressedRim, kAccent};
    case Look::Disabled:
        return {QColor(), QColor(), kDisabledInk};
    case Look::Checked:
        return {kCheckedFace, kCheckedRim, kHoverInk};
    }
    return {};
}

// The splitter's box always shows as a handle on the splitter bar.
Face BoxFace(Look look) {
    switch (look) {
    case Look::Hover:
        return {kSplitter.lighter(150), kSplitter.lighter(175), kHoverInk};
    case Look::Pressed:
        return {kSplitter.darker(160), kSplitter.darker(200), kAccent};
    default:
        return {kSplitter.lighter(125), kSplitter.lighter(140), kText};
    }
}

struct Frame {
    Look look;
    Glyph glyph;
};

std::vector<Frame> ButtonFrames(Glyph glyph) {
    return {{Look::Normal, glyph},
            {Look::Hover, glyph},
            {Look::Pressed, glyph},
            {Look::Disabled, glyph}};
}

// The four button frames with one glyph, then the same four with the checked look's glyph.
std::vector<Frame> CheckFrames(Glyph unchecked, Glyph checked) {
    std::vector<Frame> frames = ButtonFrames(unchecked);
    for (const Frame& frame : ButtonFrames(checked)) {
        frames.push_back(frame);
    }
    return frames;
}

std::vector<Frame> ModeFrames(Glyph glyph) {
    return {{Look::Normal, glyph}, {Look::Hover, glyph}, {Look::Pressed, glyph}};
}

std::vector<Frame> RadioFrames(Glyph glyph) {
    return {{Look::Normal, glyph}, {Look::Checked, glyph}};
}

std::vector<Frame> BoxFrames() {
    return {{Look::Normal, CollapseGlyph},  {Look::Hover, CollapseGlyph},
            {Look::Pressed, CollapseGlyph}, {Look::Normal, ExpandGlyph},
            {Look::Hover, ExpandGlyph},     {Look::Pressed, ExpandGlyph}};
}

// A horizontal strip of frames, each frameSize, drawn on the background colour.
ArtBitmap Strip(int id, QSize frameSize, std::vector<Frame> frames, QColor background = kPanel,
                Face (*face)(Look) = ButtonFace) {
    const QSize size(frameSize.width() * int(frames.size()), frameSize.height());
    return {id, size, [=](QPainter& painter) {
                painter.fillRect(QRect(QPoint(), size), background);
                for (size_t i = 0; i < frames.size(); ++i) {
                    const QRectF cell(QPointF(frameSize.width() * qreal(i), 0), frameSize);
                    const Face look = face(frames[i].look);
                    if (look.fill.isValid()) {
                        painter.setPen(QPen(look.rim, 1));
                        painter.setBrush(look.fill);
                        painter.drawRoundedRect(cell.adjusted(0.5, 0.5, -0.5, -0.5), kFaceRadius,
                                                kFaceRadius);
                    }
                    painter.save();
                    painter.translate(cell.center());
                    if (frames[i].look == Look::Pressed &&
                        frameSize.height() >= kPressedShiftMinHeight) {
                        painter.translate(0, 1);
                    }
                    frames[i].glyph(painter, look.ink);
                    painter.restore();
                }
            }};
}

// Fills one row (or column) of pixels from..to, in logical pixels.
void Row(QPainter& painter, int y, int from, int to, const QColor& colour) {
    painter.fillRect(QRect(from, y, to - from, 1), colour);
}
void Column(QPainter& painter, int x, int from, int to, const QColor& colour) {
    painter.fillRect(QRect(x, from, 1, to - from), colour);
}

// The frame of a whole window, from which the pieces are cut, so that pieces meet and tiles
// repeat without seams. The title bar is 25 pixels high, the bottom band 30. The title label
// paints flat panel grey over rows 3 to 21, so the title bar shades only its edges.
constexpr QSize kModelWindow(200, 100);

void PaintModelWindow(QPainter& painter, bool focused) {
    const int w = kModelWindow.width();
    const int h = kModelWindow.height();
    painter.fillRect(QRect(QPoint(), kModelWindow), kPanel);
    Row(painter, 2, 0, w, kPanel.lighter(115));
    Row(painter, 22, 0, w, kPanel.darker(108));
    Row(painter, 23, 0, w, kPanel.darker(118));
    Row(painter, 24, 0, w, kSeparator);
    Column(painter, 1, 1, h - 1, kBevelLight);
    Column(painter, w - 2, 1, h - 1, kBevelShadow);
    Row(painter, 1, 1, w - 1, focused ? kFocusEdge : kBevelLight);
    Row(painter, h - 2, 1, w - 1, kBevelShadow);
    Row(painter, 0, 0, w, kOuterEdge);
    Row(painter, h - 1, 0, w, kOuterEdge);
    Column(painter, 0, 0, h, kOuterEdge);
    Column(painter, w - 1, 0, h, kOuterEdge);
}

// The pieces of the window frame bitmap: where each sits in the bitmap and where in the model
// window it is cut from; the top row once focused and once not (the rest are the same either
// way and are cut from the focused one).
struct Piece {
    QRect target;
    QPoint source;
    bool focused;
};
const Piece kPieces[] = {
    {{0, 0, 58, 25}, {0, 0}, true},      {{59, 0, 10, 25}, {95, 0}, true},
    {{70, 0, 10, 25}, {120, 0}, true},   {{81, 0, 10, 25}, {190, 0}, true},
    {{0, 26, 58, 25}, {0, 0}, false},    {{59, 26, 10, 25}, {95, 0}, false},
    {{70, 26, 10, 25}, {120, 0}, false}, {{81, 26, 10, 25}, {190, 0}, false},
    {{92, 0, 10, 30}, {0, 70}, true},    {{103, 0, 10, 30}, {100, 70}, true},
    {{114, 0, 10, 30}, {190, 70}, true}, {{125, 0, 5, 10}, {0, 40}, true},
    {{125, 11, 5, 10}, {195, 40}, true}, {{125, 22, 10, 10}, {100, 40}, true},
};

void PaintWindowFrame(QPainter& painter) {
    const int scale = int(painter.worldTransform().m11());
    painter.fillRect(QRect(0, 0, 135, 51), kOuterEdge);
    for (const bool focused : {true, false}) {
        QImage model(kModelWindow * scale, QImage::Format_RGB32);
        QPainter modelPainter(&model);
        modelPainter.scale(scale, scale);
        PaintModelWindow(modelPainter, focused);
        modelPainter.end();
        for (const Piece& piece : kPieces) {
            if (piece.focused == focused) {
                painter.drawImage(QRectF(piece.target), model,
                                  QRectF(piece.source * scale, piece.target.size() * scale));
            }
        }
    }
}

void PaintToolbarBackground(QPainter& painter) {
    painter.fillRect(QRect(0, 0, 8, 40), kPanel);
    Row(painter, 0, 0, 8, kOuterEdge);
    Row(painter, 1, 0, 8, kBevelLight);
    Row(painter, 39, 0, 8, kOuterEdge);
}

void PaintTrack(QPainter& painter) {
    painter.fillRect(QRect(0, 0, 12, 12), kPanel);
    Row(painter, 4, 0, 12, kGrooveShade);
    Row(painter, 5, 0, 12, kGroove);
    Row(painter, 6, 0, 12, kGroove);
    Row(painter, 7, 0, 12, kGrooveLight);
}

// The thumb carries the track behind it, so the groove runs on past its corners.
void PaintThumb(QPainter& painter) {
    PaintTrack(painter);
    QLinearGradient shade(0, 1, 0, 11);
    shade.setColorAt(0, kKnob.lighter(112));
    shade.setColorAt(1, kKnob.darker(125));
    painter.setPen(QPen(kOuterEdge, 1));
    painter.setBrush(shade);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
}

} // namespace

const std::vector<ArtBitmap>& SkinArt() {
    static const std::vector<ArtBitmap> table = {
        Strip(SKIN_BITMAP_STOP, {20, 20}, ButtonFrames(StopGlyph)),
        Strip(SKIN_BITMAP_OPEN, {20, 20}, ButtonFrames(OpenGlyph)),
        Strip(SKIN_BITMAP_MUTE, {20, 20}, CheckFrames(SpeakerGlyph, MutedSpeakerGlyph)),
        Strip(SKIN_BITMAP_PREVIOUS, {36, 20}, ButtonFrames(PreviousGlyph)),
        Strip(SKIN_BITMAP_NEXT, {36, 20}, ButtonFrames(NextGlyph)),
        Strip(SKIN_BITMAP_PLAY, {36, 20}, CheckFrames(PlayGlyph, PauseGlyph)),
        Strip(SKIN_BITMAP_MAIN_MENU, {10, 9}, ButtonFrames(MenuGlyph)),
        Strip(SKIN_BITMAP_MINIMIZE, {10, 9}, ButtonFrames(MinimizeGlyph)),
        Strip(SKIN_BITMAP_CLOSE, {10, 9}, ButtonFrames(CloseGlyph)),
        Strip(SKIN_BITMAP_ADD_FILES, {24, 18}, ModeFrames(AddGlyph)),
        Strip(SKIN_BITMAP_DELETE_FILES, {24, 18}, ModeFrames(DeleteGlyph)),
        Strip(SKIN_BITMAP_LOOP_MODE, {24, 18}, ModeFrames(LoopGlyph)),
        Strip(SKIN_BITMAP_SORT_MODE, {24, 18}, ModeFrames(SortGlyph)),
        {SKIN_BITMAP_SLIDER_TRACK, {12, 12}, PaintTrack},
        {SKIN_BITMAP_SLIDER_THUMB, {12, 12}, PaintThumb},
        {SKIN_BITMAP_WINDOW_FRAME, {135, 51}, PaintWindowFrame},
        Strip(SKIN_BITMAP_SPLITTER_BOX, {10, 50}, BoxFrames(), kSplitter, BoxFace),
        {SKIN_BITMAP_TOOLBAR_BACKGROUND, {8, 40}, PaintToolbarBackground},
        Strip(SKIN_BITMAP_PLAYLIST_VIEW, {20, 20}, RadioFrames(PlaylistGlyph)),
        Strip(SKIN_BITMAP_VIDEO_VIEW, {20, 20}, RadioFrames(VideoGlyph)),
    };
    return table;
}

QImage RenderArt(const ArtBitmap& bitmap, int scale) {
    QImage image(bitmap.size * scale, QImage::Format_RGB32);
    image.fill(kPanel);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    bitmap.paint(painter);
    return image;
}
