#pragma once
// Base of a source filter: the output pins in creation order, the state lock, the
// stopped/paused/running state and the stream start time.
//
// Threads: the engine thread makes every state change and destroys the filter (stopped first).
// Pin delivery threads read the clock, the event sink and the start time.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/graph/BaseFilter.h"
#include "platform/graph/Result.h"

class CSourceStream;

class CSource : public IBaseFilter {
public:
    CSource() = default;
    // Stops the pins, then destroys them, last created first. A derived filter whose members
    // the pins use must stop in its own destructor.
    ~CSource() override;

    CSource(const CSource&) = delete;
    CSource& operator=(const CSource&) = delete;

    int GetPinCount() const;
    // Pins in creation order; null beyond the count.
    CSourceStream* GetPin(int index) const;
    int OutputPinCount() const override { return GetPinCount(); }
    CSourceStream* OutputPin(int index) const override { return GetPin(index); }

    // From stopped, activates every connected pin (its delivery thread starts paused).
    HRESULT Pause() override;
    // Pauses first when stopped; the stream time 0 is `start` on the reference clock.
    HRESULT Run(REFERENCE_TIME start) override;
    // Deactivates every pin: their delivery threads end.
    HRESULT Stop() override;
    // Any thread, without the state lock.
    EFilterState GetState() const override { return m_state; }

    // Set by the graph while stopped; either may be null.
    void SetSyncSource(IReferenceClock* clock) override { m_clock = clock; }
    IReferenceClock* GetSyncSource() const { return m_clock; }
    void SetEventSink(IMediaEventSink* sink) override { m_sink = sink; }
    // Any thread; nothing without a sink.
    void NotifyEvent(long code, std::intptr_t param1, std::intptr_t param2);

    REFERENCE_TIME GetStartTime() const { return m_start; }

    std::recursive_mutex& StateLock() { return m_stateLock; }

protected:
    // Takes ownership; the pin is enumerated after those added before it.
    void AddPin(std::unique_ptr<CSourceStream> pin);
    void SetStartTime(REFERENCE_TIME start) { m_start = start; }

    // Guards the state and the pin list; taken before any pin's own locks.
    mutable std::recursive_mutex m_stateLock;
    // Written under m_stateLock; read without it by worker threads that must not wait for it.
    std::atomic<EFilterState> m_state{EFilterState::Stopped};

private:
    std::atomic<IReferenceClock*> m_clock{nullptr};
    std::atomic<IMediaEventSink*> m_sink{nullptr};
    std::atomic<REFERENCE_TIME> m_start{0};
    std::vector<std::unique_ptr<CSourceStream>> m_pins; // guarded by m_stateLock
};
