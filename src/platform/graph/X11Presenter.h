#pragma once
// Shows frames in an X11 window straight from shared memory: the renderer's converter writes
// each frame into a segment the X server maps too, and one MIT-SHM put copies it to the window.
// Drawn through Qt's backing store instead, each frame costs a paint event on the UI thread, a
// copy into the store, and a round trip to the server before its put: 0.010 s of the UI thread's
// CPU per second of 30 fps video at 787 x 443.
//
// The presenter speaks to the server on a connection of its own, so that the delivery thread
// never touches Qt's. It keeps two segments: the frame on show, which a repaint of the window
// (an expose, a resize while paused) puts again, and the one before it, into which the next
// frame is written once the server reports that segment's last put done. The server is busy for
// up to 130 ms while a window of the player changes to full screen (measured under Xvfb); with
// one segment the next frame would wait for that and come too late to be shown. A put not done
// after kPutWait (250 ms) means a stalled server: the frame is then written anyway (it may tear)
// rather than holding up the clip, a seek or a stop any longer.
//
// Threads: not thread-safe. The frame slot (VideoWidget.h) calls it only under its own lock,
// from the delivery thread (Present) and the UI thread (Open, SetWindow, Repaint).
#include <QImage>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct xcb_connection_t;

class CX11Presenter {
public:
    // A presenter on the display Qt uses ($DISPLAY), or null (logged) when there is none or the
    // server cannot map memory of ours (MIT-SHM 1.2: not over the network, say): the caller then
    // paints through Qt.
    static std::unique_ptr<CX11Presenter> Open();
    ~CX11Presenter();
    CX11Presenter(const CX11Presenter&) = delete;
    CX11Presenter& operator=(const CX11Presenter&) = delete;

    // The window frames go to, 0 for none. False (logged) when frames cannot be put into it: the
    // server lacks it, or its pixels are not 32-bit words of a 24-bit colour (QImage's RGB32).
    bool SetWindow(std::uint32_t window);
    // Lets `write` fill the frame in place, at `size` in QImage::Format_RGB32, and puts it into
    // the window, if any. False when the memory cannot be had, the server is gone, or `write`
    // fails; no frame is then held.
    bool Present(QSize size, const std::function<bool(QImage& image)>& write);
    // Puts the frame held into the window again, scaled to `windowSize` when it was made at
    // another size, or black before the first frame. False when nothing could be put.
    bool Repaint(QSize windowSize);
    // The size of the frame held; empty before the first frame or after a failed one.
    QSize FrameSize() const;

private:
    struct CSegment;
    explicit CX11Presenter(xcb_connection_t* connection);

    enum class EConfirm { Wait, Later };
    // Makes `segment` hold `size`, keeping its memory when the size is the same. With Wait, false
    // also when the server refuses to map it.
    bool Reserve(std::unique_ptr<CSegment>& segment, QSize size,
                 EConfirm confirm = EConfirm::Later);
    bool Put(CSegment& segment);
    // Waits until the server has done with the segment's last put (or kPutWait has passed).
    void WaitForPut(CSegment& segment);
    void DrainEvents();
    QImage ImageOver(const CSegment& segment) const;
    // Per presenter, so that a failure repeated with every frame fills no log.
    void LogErrorOnce(const std::string& text);

    xcb_connection_t* const m_connection;
    std::uint32_t m_window = 0;
    std::uint32_t m_context = 0;           // graphics context for m_window, 0 without one
    std::uint8_t m_depth = 24;             // m_window's
    std::unique_ptr<CSegment> m_frames[2]; // the frame on show and the one before it
    int m_front = -1;                      // index of the frame on show, -1 for none
    std::unique_ptr<CSegment> m_scaled; // the frame scaled to the window, while their sizes differ
    bool m_loggedError = false;         // an error of the server's was logged
    bool m_loggedSlowPut = false;       // a slow put or a lost connection was logged
};
