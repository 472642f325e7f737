#pragma once
// The video renderer: takes frames from the source's video pin, either as 24-bit B,G,R bytes or
// as the decoder's own picture lent with the sample (it takes pictures), and shows each one when
// the graph's clock reaches its time, in a child widget (the video window) that the engine
// places in its own window. Each frame is converted and scaled to the widget in one pass (see
// CFrameConverter), and a lent picture's overlay (its subtitles) is drawn over it at the
// widget's size. A paused renderer shows the first frame it gets and holds it; late frames
// are dropped. It counts the frames shown and dropped of each clip (from leaving the stopped
// state) and logs them when the clip ends or stops.
//
// Threads: as CBaseRenderer; the graph (engine thread) also sets the hook. The IVideoWindow
// calls come from the UI thread, which owns the widget. The delivery thread converts the frames.
// The clock's jump listener runs on the thread that moved the clock (the sound output's pull
// thread) and only wakes the delivery thread's wait; it takes m_lock inside the clock's listener
// lock.
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/graph/BaseRenderer.h"
#include "platform/graph/FilterGraph.h"
#include "platform/graph/FrameConverter.h"
#include "platform/graph/VideoWidget.h"

class CVideoRenderer final : public CBaseRenderer,
                             public IBasicVideo,
                             public IQualProp,
                             public IVideoWindow {
public:
    // Test hook, on the delivery thread, per frame shown: its sample start, the clock time it
    // was shown at (0 without a clock), and the frame at the video's size in B,G,R (`height` as
    // in the bitmap header; negative, top-down, for a lent picture, which is converted for the
    // hook only while one is set, its overlay drawn at the video's size). Must not call into the
    // renderer.
    using FrameHook = std::function<void(REFERENCE_TIME sampleStart, REFERENCE_TIME shownAt,
                                         int width, int height, const std::uint8_t* bgr)>;

    CVideoRenderer();
    // Engine thread; deletes the video window.
    ~CVideoRenderer() override;

    // IBaseFilter
    // Listens to the clock's jumps, so that a frame waiting for its time is shown when a jump
    // brings it; without m_lock.
    void SetSyncSource(IReferenceClock* clock) override;

    // IBasicVideo
    HRESULT GetVideoSize(long* width, long* height) override;

    // IQualProp
    HRESULT get_FramesDrawn(int* frames) override;
    HRESULT get_FramesDroppedInRenderer(int* frames) override;

    // IVideoWindow (UI thread). The widget is made on first use, hidden and without a parent.
    HRESULT put_Owner(QWidget* owner) override;
    HRESULT put_WindowStyle(long style) override;
    HRESULT SetWindowPosition(long left, long top, long width, long height) override;
    // E_UNEXPECTED for showing a window that has no owner (it would become a top-level window).
    HRESULT put_Visible(bool visible) override;

    // UI thread: the video window (made on first use).
    QWidget* Widget();
    // Engine thread, while stopped.
    void SetFrameHook(FrameHook hook);

private:
    // IInputPin
    bool TakesPictures() const override { return true; }

    // CBaseRenderer: 24-bit RGB video-info types only.
    bool CheckFormat(const CMediaType& type) const override;
    void SetMediaType(const CMediaType& type) override;
    bool IsConnectedFormat(const CMediaType& type) const override;
    HRESULT RenderSample(CMediaSample& sample, std::unique_lock<std::mutex>& lock) override;
    bool HoldsData() const override { return m_posterShown; }
    // Receive returns only after its frame is shown, so the last frame is on show by then.
    bool EndRendered() const override { return true; }
    void OnStateChanged(EFilterState previous) override;
    void OnEndOfStream() override { LogFrameCounts("CVideoRenderer::EndOfStream"); }
    void OnStopped() override { LogFrameCounts("CVideoRenderer::Stop"); }
    void DiscardStream() override;

    // Without m_lock: "frames presented: N, dropped: M", unless nothing was counted since the
    // last such line.
    void LogFrameCounts(const char* where);
    HRESULT GetCount(const int& count, int* out) const;

    enum class EWait { Present, Done, Drop };
    // With m_lock held; may release it while waiting.
    EWait WaitForTurn(std::unique_lock<std::mutex>& lock, bool hasTime, REFERENCE_TIME start,
                      REFERENCE_TIME duration, bool* shown, HRESULT* result);
    // Delivery thread, without m_lock.
    void Present(CMediaSample& sample, int width, int height, REFERENCE_TIME start);

    std::atomic<IReferenceClock*> m_clock{nullptr};

    CVideoInfoHeader m_format;  // guarded by m_lock; fixed while connected
    bool m_posterShown = false; // guarded by m_lock: a frame is on show since the pause
    bool m_anyShown = false;    // guarded by m_lock: since the last flush or stop
    int m_presented = 0;        // guarded by m_lock: frames shown of this clip
    int m_dropped = 0;          // guarded by m_lock: frames dropped late of this clip
    int m_countedAtLog = 0;     // guarded by m_lock: shown and dropped at the last log line
    FrameHook m_hook;           // set while stopped, read by the delivery thread

    CFrameConverter m_converter;           // delivery thread only
    CPictureScaler m_hookScaler;           // delivery thread only, while a hook is set
    std::vector<std::uint8_t> m_hookFrame; // delivery thread only: a lent picture in B,G,R
    const std::shared_ptr<CVideoFrameSlot> m_slot = std::make_shared<CVideoFrameSlot>();
    QPointer<CVideoWidget> m_widget; // UI thread only
};

std::shared_ptr<IBaseFilter> CreateVideoRenderer();
