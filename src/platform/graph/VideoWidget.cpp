#include "platform/graph/VideoWidget.h"

#include "platform/PlatformLog.h"

#include <QMetaObject>
#include <QPainter>
#include <QResizeEvent>
#include <string>

namespace {

// Frames are made in device pixels, so that on a scaled desktop the picture keeps its full
// resolution instead of being converted at the logical size and enlarged by the painter.
QSize DeviceSize(const QWidget* widget, QSize logical) {
    return logical * widget->devicePixelRatioF();
}

} // namespace

QSize CVideoFrameSlot::TargetSize() const {
    std::lock_guard lock(m_lock);
    return m_widget != nullptr ? m_size : QSize();
}

bool CVideoFrameSlot::Render(QSize size, const std::function<bool(QImage& image)>& write) {
    std::lock_guard lock(m_lock);
    if (m_image.size() != size) {
        m_image = QImage(size, QImage::Format_RGB32);
    }
    m_image.setDevicePixelRatio(m_ratio);
    if (m_image.isNull() || !write(m_image)) {
        m_image = QImage();
        return false;
    }
    // Posting under the lock: Detach, which the widget's destructor calls, waits for it, so the
    // widget is alive here; Qt drops the queued call if the widget goes before it runs.
    if (m_widget != nullptr) {
        QWidget* widget = m_widget;
        QMetaObject::invokeMethod(
            widget, [widget] { widget->update(); }, Qt::QueuedConnection);
    }
    return true;
}

void CVideoFrameSlot::PaintLatest(const std::function<void(const QImage& image)>& paint) const {
    std::lock_guard lock(m_lock);
    paint(m_image);
}

void CVideoFrameSlot::Attach(QWidget* widget) {
    std::lock_guard lock(m_lock);
    m_widget = widget;
    m_size = DeviceSize(widget, widget->size());
    m_ratio = widget->devicePixelRatioF();
}

void CVideoFrameSlot::Detach() {
    std::lock_guard lock(m_lock);
    m_widget = nullptr;
}

void CVideoFrameSlot::SetTargetSize(QSize size, qreal ratio) {
    std::lock_guard lock(m_lock);
    m_size = size;
    m_ratio = ratio;
}

CVideoWidget::CVideoWidget(std::shared_ptr<CVideoFrameSlot> slot, QWidget* parent)
    : QWidget(parent), m_slot(std::move(slot)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_slot->Attach(this);
}

CVideoWidget::~CVideoWidget() {
    m_slot->Detach();
}

void CVideoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QSize painted;
    m_slot->PaintLatest([&](const QImage& latest) {
        if (latest.isNull()) {
            painter.fillRect(rect(), Qt::black);
        } else if (latest.size() == DeviceSize(this, size()) &&
                   latest.devicePixelRatio() == devicePixelRatioF()) {
            painter.drawImage(0, 0, latest);
        } else {
            // Only between a resize or a move to a screen of another scale and the next frame (or
            // while paused): scaled by the painter.
            painter.drawImage(rect(), latest);
        }
        painted = latest.size();
    });
    if (!painted.isEmpty() && !m_framePainted) {
        m_framePainted = true;
        PlatformLog(PLATFORM_LOG_INFO, "CVideoWidget::paintEvent",
                    "first frame painted, " + std::to_string(painted.width()) + " x " +
                        std::to_string(painted.height()) + " device pixels");
    }
}

void CVideoWidget::resizeEvent(QResizeEvent* event) {
    m_slot->SetTargetSize(DeviceSize(this, event->size()), devicePixelRatioF());
    QWidget::resizeEvent(event);
}
