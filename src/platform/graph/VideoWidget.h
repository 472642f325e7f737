#pragma once
// The video window: a child widget that paints the latest frame the video renderer converted.
// The renderer and the widget meet in a frame slot, so that the delivery thread never touches
// the widget itself. The slot holds one image, which the renderer writes in place and the widget
// paints, each under the slot's lock: a second image to write while the other is painted would
// cost 8 MB at full screen, and the two take the lock for a few milliseconds a frame each.
//
// Threads: the widget lives on the UI thread. The slot's Render and TargetSize are called on
// the renderer's delivery thread; Attach, Detach, SetTargetSize and PaintLatest on the UI thread.
#include <QImage>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <mutex>

class CVideoFrameSlot {
public:
    // The size frames should be converted to: the widget's in device pixels, empty without a
    // widget.
    QSize TargetSize() const;
    // Lets `write` fill the image in place, at `size` in QImage::Format_RGB32 (made or remade as
    // needed), and asks the widget, if any, to repaint when it returns true. False when `write`
    // fails or the image cannot be made; the image then shows no frame worth painting.
    bool Render(QSize size, const std::function<bool(QImage& image)>& write);
    // Calls `paint` with the latest image (null before the first frame), which must not be kept.
    void PaintLatest(const std::function<void(const QImage& image)>& paint) const;

    void Attach(QWidget* widget);
    void Detach();
    // size in device pixels; ratio: device pixels per logical pixel, which the image carries so
    // that the painter draws it unscaled without a copy of its own.
    void SetTargetSize(QSize size, qreal ratio);

private:
    mutable std::mutex m_lock;
    QImage m_image;              // guarded by m_lock, its pixels too; held by no one else
    QWidget* m_widget = nullptr; // guarded by m_lock; cleared before the widget dies
    QSize m_size;                // guarded by m_lock
    qreal m_ratio = 1.0;         // guarded by m_lock
};

class CVideoWidget : public QWidget {
public:
    // Attaches to the slot; detaches when destroyed. Mouse input goes to the parent. The first
    // frame it paints is logged, so start-up can be timed to the first picture.
    CVideoWidget(std::shared_ptr<CVideoFrameSlot> slot, QWidget* parent);
    ~CVideoWidget() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    const std::shared_ptr<CVideoFrameSlot> m_slot;
    bool m_framePainted = false;
};
