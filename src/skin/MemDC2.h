#pragma once
// An off-screen drawing surface: either a skin bitmap that controls blit frames from, or a back
// buffer drawn into and then copied to a target painter.
//
// All rectangles are in logical pixels. The pixels behind them are devicePixelRatio times as
// many, so on a HiDPI screen a skin bitmap is the doubled image of SkinBitmap and a back buffer
// is allocated at the screen's resolution; callers never see the difference.
//
// Threads: user-interface thread only. Ownership: the object owns its pixmap; a target painter
// given for copy-back is borrowed and must outlive this object.
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;

class CMemDC2 {
public:
    // Empty: no pixels, copies nothing back.
    CMemDC2() = default;
    // The skin bitmap of a resource id (see SkinBitmaps.h); bounds (0, 0, width, height). An id
    // without a bitmap leaves the surface null: blits from it draw nothing.
    CMemDC2(int bitmapId, qreal devicePixelRatio);
    // A back buffer for a rectangle given in the target's coordinates, filled with `fill`. When
    // copyBackTo is set, the destructor copies the whole buffer there at bounds' top-left.
    CMemDC2(const QRect& bounds, qreal devicePixelRatio, const QColor& fill,
            QPainter* copyBackTo = nullptr);
    // A back buffer filled with a skin bitmap repeated as a pattern from its top-left corner.
    CMemDC2(const QRect& bounds, qreal devicePixelRatio, int patternBitmapId,
            QPainter* copyBackTo = nullptr);
    ~CMemDC2();

    CMemDC2(const CMemDC2&) = delete;
    CMemDC2& operator=(const CMemDC2&) = delete;
    CMemDC2(CMemDC2&& other) noexcept;
    CMemDC2& operator=(CMemDC2&& other) noexcept;

    // Replaces the pixels with a bitmap file's (any format Qt reads); false, leaving the surface
    // null, when it cannot be read.
    bool LoadFile(const QString& path);
    // Reloads a skin bitmap in place at another device pixel ratio, so that pointers to this
    // surface held by controls stay valid when the window moves to another screen.
    void Reload(int bitmapId, qreal devicePixelRatio);

    bool IsNull() const { return m_pixmap.isNull(); }
    const QRect& Bounds() const { return m_bounds; }
    qreal DevicePixelRatio() const { return m_pixmap.devicePixelRatio(); }
    // For painting into the buffer (QPainter on it works in logical pixels).
    QPixmap& Pixmap() { return m_pixmap; }
    const QPixmap& Pixmap() const { return m_pixmap; }

    // Copies the logical rectangle `source` of this surface to `dest` in the painter, plain copy.
    void Blit(QPainter& painter, QPoint dest, const QRect& source) const;
    // Fills `area` of the painter with `source` of this surface repeated from area's top-left.
    void Tile(QPainter& painter, const QRect& area, const QRect& source) const;
    // Copies the whole buffer to the painter at bounds' top-left.
    void CopyTo(QPainter& painter) const;

private:
    QPixmap m_pixmap;
    QRect m_bounds;
    QPainter* m_copyBackTo = nullptr; // borrowed; copied to on destruction when set
};
