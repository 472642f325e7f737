#pragma once
// An input pin for tests: records what a source pin delivers, and can hold a sample in Receive
// like a renderer waiting for its presentation time. Behaves like a renderer towards flushes and
// ends of stream: discards while flushing, refuses samples after its end of stream.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/graph/InputPin.h"

struct CRecordedSample {
    bool hasTime = false;
    REFERENCE_TIME start = 0, stop = 0;
    bool discontinuity = false;
    bool syncPoint = false;
    bool hasMediaTime = false;
    long length = 0;
    std::vector<std::uint8_t> data; // only for samples that keepData selects
};

class CRecordingPin : public IInputPin {
public:
    // Which types ReceiveConnection takes (all when empty) and which samples keep their bytes.
    std::function<bool(const CMediaType&)> accept;
    std::function<bool(std::size_t index, const CMediaSample&)> keepData;

    HRESULT QueryAccept(const CMediaType& type) override {
        return !accept || accept(type) ? S_OK : S_FALSE;
    }
    HRESULT ReceiveConnection(CSourceStream*, const CMediaType& type) override {
        if (QueryAccept(type) != S_OK) {
            return E_FAIL;
        }
        std::lock_guard lock(m_lock);
        connectedType = type;
        connected = true;
        return S_OK;
    }
    HRESULT Disconnect() override {
        std::lock_guard lock(m_lock);
        connected = false;
        return S_OK;
    }

    HRESULT Receive(CMediaSample& sample) override {
        std::unique_lock lock(m_lock);
        m_inReceive = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_hold || m_flushing || m_stopped; });
        m_inReceive = false;
        if (m_stopped) {
            return E_UNEXPECTED;
        }
        if (m_flushing) {
            return S_OK;
        }
        if (m_endOfStream) {
            return VFW_E_SAMPLE_REJECTED_EOS;
        }
        CRecordedSample record;
        record.hasTime = sample.GetTime(&record.start, &record.stop);
        record.discontinuity = sample.IsDiscontinuity();
        record.syncPoint = sample.IsSyncPoint();
        record.hasMediaTime = sample.GetMediaTime(nullptr, nullptr);
        record.length = sample.GetActualDataLength();
        if (keepData && keepData(samples.size(), sample)) {
            record.data.assign(sample.GetPointer(), sample.GetPointer() + record.length);
        }
        samples.push_back(std::move(record));
        m_changed.notify_all();
        return S_OK;
    }
    HRESULT EndOfStream() override {
        std::lock_guard lock(m_lock);
        if (!m_flushing) {
            m_endOfStream = true;
            ++endOfStreams;
        }
        m_changed.notify_all();
        return S_OK;
    }
    HRESULT BeginFlush() override {
        std::lock_guard lock(m_lock);
        m_flushing = true;
        ++flushes;
        m_changed.notify_all();
        return S_OK;
    }
    HRESULT EndFlush() override {
        std::lock_guard lock(m_lock);
        m_flushing = false;
        m_endOfStream = false;
        samplesBeforeFlushEnd = samples.size();
        endsBeforeFlushEnd = endOfStreams;
        m_changed.notify_all();
        return S_OK;
    }
    HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // Makes Receive wait (like a paused renderer) until released, flushed or stopped.
    void Hold(bool on) {
        std::lock_guard lock(m_lock);
        m_hold = on;
        m_changed.notify_all();
    }
    // The receiving filter stops: a waiting Receive returns at once and later ones fail.
    void StopRenderer(bool on) {
        std::lock_guard lock(m_lock);
        m_stopped = on;
        m_changed.notify_all();
    }

    // Waits (at most `limit`) until the condition, checked under the pin's lock, holds.
    bool WaitFor(const std::function<bool(CRecordingPin&)>& condition,
                 std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, limit, [&] { return condition(*this); });
    }
    bool WaitInReceive(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        return WaitFor([](CRecordingPin& pin) { return pin.m_inReceive; }, limit);
    }

    // Read after the source has stopped, or inside WaitFor / Locked.
    template <class F> auto Locked(F f) {
        std::lock_guard lock(m_lock);
        return f(*this);
    }

    std::vector<CRecordedSample> samples;
    int endOfStreams = 0;
    int flushes = 0;
    std::size_t samplesBeforeFlushEnd = 0;
    int endsBeforeFlushEnd = 0; // an end delivered before the last flush is not this run's
    bool connected = false;
    CMediaType connectedType;

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_hold = false;
    bool m_flushing = false;
    bool m_stopped = false;
    bool m_endOfStream = false;
    bool m_inReceive = false;
};
