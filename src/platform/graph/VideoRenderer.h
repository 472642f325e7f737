#pragma once
// The video renderer: takes 24-bit B,G,R frames from the source's video pin and shows each one
// when the graph's clock reaches its time, in a child widget (the video window) that the engine
// places in its own window. A paused renderer shows the first frame it gets and holds it; late
// frames are dropped.
//
// Threads: the graph (engine thread) changes the state, connects and sets the clock, sink and
// hook; the IVideoWindow calls come from the UI thread, which owns the widget. Receive and
// EndOfStream come from the video pin's delivery thread, which also converts the frames;
// BeginFlush/EndFlush from the seeking thread. m_lock guards the stream state; every wait on
// m_changed ends on BeginFlush, Stop and a state change.
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/graph/BaseFilter.h"
#include "platform/graph/FilterGraph.h"
#include "platform/graph/FrameConverter.h"
#include "platform/graph/InputPin.h"
#include "platform/graph/VideoWidget.h"

class CVideoRenderer final : public IBaseFilter,
                             public IInputPin,
                             public IBasicVideo,
                             public IVideoWindow {
public:
    // Test hook, on the delivery thread, per frame shown: its sample start, the clock time it
    // was shown at (0 without a clock), and the frame as received (B,G,R, `height` as in the
    // bitmap header). Must not call into the renderer.
    using FrameHook = std::function<void(REFERENCE_TIME sampleStart, REFERENCE_TIME shownAt,
                                         int width, int height, const std::uint8_t* bgr)>;

    CVideoRenderer();
    // Engine thread; deletes the video window.
    ~CVideoRenderer() override;

    // IBaseFilter
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Stop() override;
    EFilterState GetState() const override { return m_state; }
    bool HasPrerolled() const override;
    void SetSyncSource(IReferenceClock* clock) override { m_clock = clock; }
    void SetEventSink(IMediaEventSink* sink) override { m_sink = sink; }
    int InputPinCount() const override { return 1; }
    IInputPin* InputPin(int index) const override;
    bool IsRenderer() const override { return true; }

    // IInputPin: 24-bit RGB video-info types only.
    HRESULT QueryAccept(const CMediaType& type) override;
    HRESULT ReceiveConnection(CSourceStream* from, const CMediaType& type) override;
    HRESULT Disconnect() override;
    HRESULT Receive(CMediaSample& sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IBasicVideo
    HRESULT GetVideoSize(long* width, long* height) override;

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
    // Frames dropped for lateness since construction.
    long FramesDropped() const { return m_dropped; }

private:
    enum class EWait { Present, Done, Drop };
    // With m_lock held; may release it while waiting.
    EWait WaitForTurn(std::unique_lock<std::mutex>& lock, bool hasTime, REFERENCE_TIME start,
                      REFERENCE_TIME duration, bool* shown, HRESULT* result);
    // Delivery thread, without m_lock.
    void Present(const std::uint8_t* bgr, int width, int height, REFERENCE_TIME start);
    void Complete();

    std::atomic<EFilterState> m_state{EFilterState::Stopped}; // written under m_lock
    std::atomic<IReferenceClock*> m_clock{nullptr};
    std::atomic<IMediaEventSink*> m_sink{nullptr};
    std::atomic<long> m_dropped{0};

    mutable std::mutex m_lock;
    std::condition_variable m_changed; // signalled by state changes, BeginFlush and EndFlush
    REFERENCE_TIME m_start = 0;        // guarded by m_lock
    bool m_connected = false;          // guarded by m_lock
    CVideoInfoHeader m_format;         // guarded by m_lock; fixed while connected
    bool m_flushing = false;           // guarded by m_lock
    bool m_endOfStream = false;        // guarded by m_lock
    bool m_completed = false;          // guarded by m_lock: EC_COMPLETE sent for this stream
    bool m_posterShown = false;        // guarded by m_lock: a frame is on show since the pause
    bool m_anyShown = false;           // guarded by m_lock: since the last flush or stop
    FrameHook m_hook;                  // set while stopped, read by the delivery thread

    CFrameConverter m_converter; // delivery thread only
    const std::shared_ptr<CVideoFrameSlot> m_slot = std::make_shared<CVideoFrameSlot>();
    QPointer<CVideoWidget> m_widget; // UI thread only
};

std::shared_ptr<IBaseFilter> CreateVideoRenderer();
