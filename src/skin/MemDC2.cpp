#include "skin/MemDC2.h"

#include <QPainter>

#include "core/Log.h"
#include "skin/SkinBitmaps.h"

namespace {

QPixmap MakeBuffer(const QRect& bounds, qreal devicePixelRatio) {
    QPixmap pixmap(bounds.size() * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace

CMemDC2::CMemDC2(int bitmapId, qreal devicePixelRatio) {
    Reload(bitmapId, devicePixelRatio);
}

CMemDC2::CMemDC2(const QRect& bounds, qreal devicePixelRatio, const QColor& fill,
                 QPainter* copyBackTo)
    : m_pixmap(MakeBuffer(bounds, devicePixelRatio)), m_bounds(bounds), m_copyBackTo(copyBackTo) {
    m_pixmap.fill(fill);
}

CMemDC2::CMemDC2(const QRect& bounds, qreal devicePixelRatio, int patternBitmapId,
                 QPainter* copyBackTo)
    : m_pixmap(MakeBuffer(bounds, devicePixelRatio)), m_bounds(bounds), m_copyBackTo(copyBackTo) {
    const CMemDC2 pattern(patternBitmapId, devicePixelRatio);
    m_pixmap.fill(Qt::black);
    QPainter painter(&m_pixmap);
    pattern.Tile(painter, QRect(QPoint(0, 0), bounds.size()), pattern.Bounds());
}

CMemDC2::~CMemDC2() {
    if (m_copyBackTo != nullptr) {
        CopyTo(*m_copyBackTo);
    }
}

CMemDC2::CMemDC2(CMemDC2&& other) noexcept
    : m_pixmap(std::move(other.m_pixmap)), m_bounds(other.m_bounds),
      m_copyBackTo(std::exchange(other.m_copyBackTo, nullptr)) {}

CMemDC2& CMemDC2::operator=(CMemDC2&& other) noexcept {
    if (this != &other) {
        if (m_copyBackTo != nullptr) {
            CopyTo(*m_copyBackTo);
        }
        m_pixmap = std::move(other.m_pixmap);
        m_bounds = other.m_bounds;
        m_copyBackTo = std::exchange(other.m_copyBackTo, nullptr);
    }
    return *this;
}

bool CMemDC2::LoadFile(const QString& path) {
    QPixmap loaded;
    if (!loaded.load(path)) {
        Log({"CMemDC2", LOG_LEVEL_ERROR}, "cannot read bitmap %s", qPrintable(path));
        m_pixmap = QPixmap();
        m_bounds = QRect();
        return false;
    }
    m_pixmap = loaded;
    m_bounds = QRect(0, 0, loaded.width(), loaded.height());
    return true;
}

void CMemDC2::Reload(int bitmapId, qreal devicePixelRatio) {
    m_pixmap = SkinBitmap(bitmapId, devicePixelRatio);
    m_bounds = m_pixmap.isNull() ? QRect()
                                 : QRect(QPoint(0, 0), m_pixmap.deviceIndependentSize().toSize());
}

void CMemDC2::Blit(QPainter& painter, QPoint dest, const QRect& source) const {
    if (m_pixmap.isNull() || source.isEmpty()) {
        return;
    }
    // The source is scaled to device pixels here so that a doubled bitmap lands pixel for pixel
    // on a doubled screen.
    const qreal ratio = m_pixmap.devicePixelRatio();
    const QRectF deviceSource(source.x() * ratio, source.y() * ratio, source.width() * ratio,
                              source.height() * ratio);
    painter.drawPixmap(QRectF(dest, source.size()), m_pixmap, deviceSource);
}

void CMemDC2::Tile(QPainter& painter, const QRect& area, const QRect& source) const {
    if (m_pixmap.isNull() || source.isEmpty()) {
        return;
    }
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    for (int y = area.top(); y <= area.bottom(); y += source.height()) {
        for (int x = area.left(); x <= area.right(); x += source.width()) {
            Blit(painter, QPoint(x, y), source);
        }
    }
    painter.restore();
}

void CMemDC2::CopyTo(QPainter& painter) const {
    if (!m_pixmap.isNull()) {
        painter.drawPixmap(m_bounds.topLeft(), m_pixmap);
    }
}
