#pragma once
// The video window: a child widget that paints the latest frame the video renderer converted.
// The renderer and the widget meet in a frame slot, so that the delivery thread never touches
// the widget itself.
//
// Threads: the widget lives on the UI thread. The slot's Publish and TargetSize are called on
// the renderer's delivery thread; Attach, Detach, SetTargetSize and Latest on the UI thread.
#include <QImage>
#include <QSize>
#include <QWidget>
#include <memory>
#include <mutex>

class CVideoFrameSlot {
public:
    // The size frames should be converted to: the widget's in device pixels, empty without a
    // widget.
    QSize TargetSize() const;
    // Keeps the image as the latest and asks the widget, if any, to repaint.
    void Publish(QImage image);
    QImage Latest() const;

    void Attach(QWidget* widget);
    void Detach();
    void SetTargetSize(QSize size);

private:
    mutable std::mutex m_lock;
    QImage m_image;              // guarded by m_lock
    QWidget* m_widget = nullptr; // guarded by m_lock; cleared before the widget dies
    QSize m_size;                // guarded by m_lock
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
