#pragma once
// The video window: a child widget that shows the latest frame the video renderer converted.
// The renderer and the widget meet in a frame slot, so that the delivery thread never touches
// the widget itself. Painted through Qt, the slot holds one image, which the renderer writes in
// place and the widget paints, each under the slot's lock: a second image to write while the
// other is painted would cost 8 MB at full screen, and the two take the lock for a few
// milliseconds a frame each.
//
// On X11 the widget is a native window and the frames lie in memory shared with the X server
// (CX11Presenter, which keeps two, so that a busy server does not hold up the next frame): the
// delivery thread puts each frame into the window itself, and the UI thread only repaints on
// exposes. Elsewhere (Wayland, offscreen), or when the server cannot share
// memory, the renderer asks the widget to repaint and the widget paints the image through Qt.
// A render or repaint through the presenter holds the slot's lock while it waits for the server
// to finish the last put, which is bounded (see CX11Presenter).
//
// Threads: the widget lives on the UI thread. The slot's Render and TargetSize are called on
// the renderer's delivery thread; the others on the UI thread.
#include <QImage>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/graph/X11Presenter.h"

class CVideoFrameSlot {
public:
    // The size frames should be converted to: the widget's in device pixels, empty without a
    // widget.
    QSize TargetSize() const;
    // Lets `write` fill the image in place, at `size` in QImage::Format_RGB32 (made or remade as
    // needed), and shows it when it returns true: puts it into the window through the presenter,
    // or asks the widget, if any, to repaint. False when `write` fails or the image cannot be
    // made; the image then shows no frame worth painting.
    bool Render(QSize size, const std::function<bool(QImage& image)>& write);
    // Calls `paint` with the latest image (null before the first frame), which must not be kept.
    // Without a presenter only.
    void PaintLatest(const std::function<void(const QImage& image)>& paint);

    // `presenter`: null to paint through Qt.
    void Attach(QWidget* widget, std::unique_ptr<CX11Presenter> presenter);
    void Detach();
    // The widget's native window; false, and the presenter gone, when frames cannot be put into
    // it.
    bool SetWindow(std::uint32_t window);
    // Puts the latest frame into the window again (see CX11Presenter::Repaint).
    void RepaintWindow(QSize windowSize);
    // size in device pixels; ratio: device pixels per logical pixel, which the image carries so
    // that the painter draws it unscaled without a copy of its own.
    void SetTargetSize(QSize size, qreal ratio);

private:
    // With m_lock held: logs the first frame shown, so that start-up can be timed to the first
    // picture.
    void NoteShown(QSize size);

    mutable std::mutex m_lock;
    QImage m_image;              // guarded by m_lock, its pixels too; held by no one else
    QWidget* m_widget = nullptr; // guarded by m_lock; cleared before the widget dies
    QSize m_size;                // guarded by m_lock
    qreal m_ratio = 1.0;         // guarded by m_lock
    std::unique_ptr<CX11Presenter> m_presenter; // guarded by m_lock; holds the image instead
    bool m_hasWindow = false;                   // guarded by m_lock: the presenter has a window
    bool m_shown = false;                       // guarded by m_lock: a frame was shown
};

class CVideoWidget : public QWidget {
public:
    // Attaches to the slot, with a presenter when Qt runs on X11; detaches when destroyed. Mouse
    // input goes to the parent.
    CVideoWidget(std::shared_ptr<CVideoFrameSlot> slot, QWidget* parent);
    ~CVideoWidget() override;

    // Null while the presenter shows the frames: Qt then paints nothing of the widget's.
    QPaintEngine* paintEngine() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    const std::shared_ptr<CVideoFrameSlot> m_slot;
    bool m_direct = false; // frames go to the native window through the presenter
};
