#pragma once
// What both renderers share, in the manner of a base sink: the one input pin and its connection,
// the stopped / paused / running states, flushing, the end of stream and the one completion per
// stream, and the answer to whether the renderer holds its first data. A renderer supplies the
// format check, the render step and what it does itself on state changes and flushes.
//
// Threads: the graph (engine thread) changes the state, connects and sets the clock and sink.
// Receive and EndOfStream come from the connected pin's delivery thread, BeginFlush/EndFlush from
// the seeking thread. m_lock guards the stream state below and whatever a renderer marks as
// guarded by it. m_changed is signalled by every state change, flush, connection change and end
// of stream, by the renderer when it takes data in (the graph's wait for the first data waits on
// it) and, for the renderer's own waits, whenever they need; every wait on it ends on Stop and
// BeginFlush.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/graph/BaseFilter.h"
#include "platform/graph/InputPin.h"
#include "platform/graph/MediaType.h"

class CBaseRenderer : public IBaseFilter, public IInputPin {
public:
    // IBaseFilter
    HRESULT Pause() final;
    HRESULT Run(REFERENCE_TIME start) final;
    HRESULT Stop() final;
    EFilterState GetState() const final { return m_state; }
    bool WaitForPreroll(std::chrono::steady_clock::time_point deadline) const final;
    void SetEventSink(IMediaEventSink* sink) final { m_sink = sink; }
    int InputPinCount() const final { return 1; }
    IInputPin* InputPin(int index) const final;
    bool IsRenderer() const final { return true; }

    // IInputPin
    HRESULT QueryAccept(const CMediaType& type) final;
    HRESULT ReceiveConnection(CSourceStream* from, const CMediaType& type) final;
    HRESULT Disconnect() final;
    HRESULT Receive(CMediaSample& sample) final;
    HRESULT EndOfStream() final;
    HRESULT BeginFlush() final;
    HRESULT EndFlush() final;
    HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) final { return S_OK; }

protected:
    // What a renderer is: `name` starts its log lines, `media` names its media in them ("sound");
    // it accepts only types of this major type, subtype and format block.
    struct CKind {
        const char* name;
        const char* media;
        EMajorType majorType;
        ESubType subType;
        EFormatType formatType;
    };
    explicit CBaseRenderer(const CKind& kind);
    // A renderer stops itself in its own destructor, while its hooks still exist.
    ~CBaseRenderer() override = default;

    // The format check, for a type of the renderer's kind: whether it can render its samples.
    virtual bool CheckFormat(const CMediaType& type) const = 0;
    // With m_lock held, on connection, for a type that passed the check: keeps the format.
    virtual void SetMediaType(const CMediaType& type) = 0;
    // With m_lock held: whether a type a sample carries is still the connected format.
    virtual bool IsConnectedFormat(const CMediaType& type) const = 0;
    // The render step, with m_lock held, for a sample of a connected, paused or running renderer
    // that is not flushing and has not had its end of stream. May wait on m_changed; must return
    // once the renderer stops, disconnects or flushes.
    virtual HRESULT RenderSample(CMediaSample& sample, std::unique_lock<std::mutex>& lock) = 0;
    // With m_lock held: the renderer holds something to show or play.
    virtual bool HoldsData() const = 0;
    // With m_lock held: the end of stream has been rendered (the video renderer shows its last
    // frame before Receive returns; the sound renderer once the device has played its last sound).
    virtual bool EndRendered() const = 0;

    // State hooks, on the controlling thread. OnPausing runs without m_lock before the state
    // becomes paused; OnStateChanged with m_lock held right after each state change;
    // OnRunning and OnStopped without m_lock after the state became running or stopped.
    virtual void OnPausing(EFilterState) {}
    virtual void OnStateChanged(EFilterState) {}
    virtual void OnRunning(REFERENCE_TIME) {}
    virtual void OnStopped() {}
    // Without m_lock, on the delivery thread, after an end of stream was taken.
    virtual void OnEndOfStream() {}
    // Without m_lock, while stopped, before the connection goes.
    virtual void OnDisconnecting() {}
    // With m_lock held, on Stop and BeginFlush: whatever is held of the stream goes.
    virtual void DiscardStream() {}

    // With m_lock held: true once per stream, when the end has been rendered while running; the
    // caller then calls NotifyComplete without the lock.
    bool TakeCompletion();
    void NotifyComplete();

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::atomic<EFilterState> m_state{EFilterState::Stopped}; // written under m_lock
    REFERENCE_TIME m_start = 0; // guarded by m_lock: stream time 0 while running
    bool m_connected = false;   // guarded by m_lock
    bool m_flushing = false;    // guarded by m_lock
    bool m_endOfStream = false; // guarded by m_lock

private:
    bool CheckMediaType(const CMediaType& type) const;

    const CKind m_kind;
    std::atomic<IMediaEventSink*> m_sink{nullptr};
    bool m_completed = false; // guarded by m_lock: EC_COMPLETE sent for this stream
};
