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

void CVideoFrameSlot::Publish(QImage image) {
    std::lock_guard lock(m_lock);
    m_image = std::move(image);
    // Posting under the lock: Detach, which the widget's destructor calls, waits for it, so the
    // widget is alive here; Qt drops the queued call if the widget goes before it runs.
    if (m_widget != nullptr) {
        QWidget* widget = m_widget;
        QMetaObject::invokeMethod(
            widget, [widget] { widget->update(); }, Qt::QueuedConnection);
    }
}

QImage CVideoFrameSlot::Latest() const {
    std::lock_guard lock(m_lock);
    return m_image;
}

void CVideoFrameSlot::Attach(QWidget* widget) {
    std::lock_guard lock(m_lock);
    m_widget = widget;
    m_size = DeviceSize(widget, widget->size());
}

void CVideoFrameSlot::Detach() {
    std::lock_guard lock(m_lock);
    m_widget = nullptr;
}

void CVideoFrameSlot::SetTargetSize(QSize size) {
    std::lock_guard lock(m_lock);
    m_size = size;
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
    QImage image = m_slot->Latest();
    if (image.isNull()) {
        painter.fillRect(rect(), Qt::black);
    } else if (image.size() == DeviceSize(this, size())) {
        image.setDevicePixelRatio(devicePixelRatioF());
        painter.drawImage(0, 0, image);
    } else {
        // Only between a resize and the next frame (or while paused): scaled by the painter.
        painter.drawImage(rect(), image);
    }
    if (!image.isNull() && !m_framePainted) {
        m_framePainted = true;
        PlatformLog(PLATFORM_LOG_INFO, "CVideoWidget::paintEvent",
                    "first frame painted, " + std::to_string(image.width()) + " x " +
                        std::to_string(image.height()) + " device pixels");
    }
}

void CVideoWidget::resizeEvent(QResizeEvent* event) {
    m_slot->SetTargetSize(DeviceSize(this, event->size()));
    QWidget::resizeEvent(event);
}
