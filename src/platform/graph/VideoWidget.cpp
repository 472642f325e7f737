#include "platform/graph/VideoWidget.h"

#include "platform/PlatformLog.h"

#include <QGuiApplication>
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
    if (m_presenter) {
        if (!m_presenter->Present(size, write)) {
            return false;
        }
        if (m_hasWindow) {
            NoteShown(size);
        }
        return true;
    }
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

void CVideoFrameSlot::PaintLatest(const std::function<void(const QImage& image)>& paint) {
    std::lock_guard lock(m_lock);
    paint(m_image);
    if (!m_image.isNull()) {
        NoteShown(m_image.size());
    }
}

void CVideoFrameSlot::Attach(QWidget* widget, std::unique_ptr<CX11Presenter> presenter) {
    std::lock_guard lock(m_lock);
    m_widget = widget;
    m_size = DeviceSize(widget, widget->size());
    m_ratio = widget->devicePixelRatioF();
    m_presenter = std::move(presenter);
    m_image = QImage();
}

void CVideoFrameSlot::Detach() {
    std::lock_guard lock(m_lock);
    m_widget = nullptr;
    m_presenter.reset();
    m_hasWindow = false;
}

bool CVideoFrameSlot::SetWindow(std::uint32_t window) {
    std::lock_guard lock(m_lock);
    if (!m_presenter) {
        return false;
    }
    if (!m_presenter->SetWindow(window)) {
        m_presenter.reset();
        m_hasWindow = false;
        return false;
    }
    m_hasWindow = window != 0;
    return true;
}

void CVideoFrameSlot::RepaintWindow(QSize windowSize) {
    std::lock_guard lock(m_lock);
    if (m_presenter && m_presenter->Repaint(windowSize) && !m_presenter->FrameSize().isEmpty()) {
        NoteShown(m_presenter->FrameSize());
    }
}

void CVideoFrameSlot::NoteShown(QSize size) {
    if (m_shown) {
        return;
    }
    m_shown = true;
    PlatformLog(PLATFORM_LOG_INFO, "CVideoFrameSlot",
                "first frame painted, " + std::to_string(size.width()) + " x " +
                    std::to_string(size.height()) + " device pixels");
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
    std::unique_ptr<CX11Presenter> presenter;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        presenter = CX11Presenter::Open();
    }
    m_direct = presenter != nullptr;
    if (m_direct) {
        // A window of its own that Qt's backing store leaves alone; its ancestors stay as they are.
        setAttribute(Qt::WA_DontCreateNativeAncestors);
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    m_slot->Attach(this, std::move(presenter));
}

CVideoWidget::~CVideoWidget() {
    m_slot->Detach();
}

QPaintEngine* CVideoWidget::paintEngine() const {
    return m_direct ? nullptr : QWidget::paintEngine();
}

bool CVideoWidget::event(QEvent* event) {
    if (m_direct && (event->type() == QEvent::WinIdChange || event->type() == QEvent::Show) &&
        !m_slot->SetWindow(static_cast<std::uint32_t>(internalWinId()))) {
        m_direct = false;
        setAttribute(Qt::WA_PaintOnScreen, false);
        update();
    }
    return QWidget::event(event);
}

void CVideoWidget::paintEvent(QPaintEvent*) {
    if (m_direct) {
        m_slot->RepaintWindow(DeviceSize(this, size()));
        return;
    }
    QPainter painter(this);
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
    });
}

void CVideoWidget::resizeEvent(QResizeEvent* event) {
    m_slot->SetTargetSize(DeviceSize(this, event->size()), devicePixelRatioF());
    QWidget::resizeEvent(event);
}
