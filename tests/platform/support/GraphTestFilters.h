#pragma once
// Filters for graph tests: a source whose pins deliver small timed samples until stopped and
// record the seeks they are asked for, renderers that record their state changes (in one
// shared log) and raise their end of stream when a test says so, and a clock the test moves.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ManualClock.h"
#include "RecordingPin.h"
#include "platform/graph/FilterGraph.h"
#include "platform/graph/Source.h"
#include "platform/graph/SourceSeeking.h"
#include "platform/graph/SourceStream.h"

// "name:Pause", "name:Run", "name:Stop" in the order the filters saw them.
class CStateLog {
public:
    void Add(const std::string& entry) {
        std::lock_guard lock(m_lock);
        m_entries.push_back(entry);
    }
    std::vector<std::string> Take() {
        std::lock_guard lock(m_lock);
        return std::exchange(m_entries, {});
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_entries;
};

class CFakeSeekingPin : public CSourceStream, public CSourceSeeking {
public:
    CFakeSeekingPin(CSource* filter, std::string name, bool isPrimary)
        : CSourceStream(std::move(name), filter), primary(isPrimary) {
        SetLength(60 * UNITS);
    }

    void SetLength(REFERENCE_TIME length) {
        std::lock_guard lock(m_seekingLock);
        m_duration = m_stop = length;
    }
    void SetCapabilities(std::uint32_t capabilities) { m_capabilities = capabilities; }

    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position != 0) {
            return S_FALSE;
        }
        type->majorType = EMajorType::Video;
        type->subType = ESubType::RGB24;
        return S_OK;
    }
    HRESULT CheckMediaType(const CMediaType&) override { return S_OK; }

    const bool primary;
    std::atomic<int> seeks{0};
    std::atomic<REFERENCE_TIME> seekedTo{-1};
    std::atomic<HRESULT> fillResult{S_OK}; // a failure aborts the stream with it
    std::function<void()> onSeek;          // runs inside the seek, on the seeking thread

protected:
    HRESULT DecideBufferSize(CMemAllocator* allocator, CAllocatorProperties*) override {
        CAllocatorProperties request, actual;
        request.buffers = 1;
        request.bufferSize = 16;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT FillBuffer(CMediaSample& sample) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (FAILED(fillResult.load())) {
            return fillResult;
        }
        REFERENCE_TIME start = m_next, stop = start + UNITS / 100;
        m_next = stop;
        sample.SetTime(&start, &stop);
        sample.SetActualDataLength(0);
        return S_OK;
    }
    HRESULT ChangeStart() override {
        if (!primary) {
            return E_NOTIMPL;
        }
        std::lock_guard lock(m_seekingLock);
        ++seeks;
        seekedTo = m_start;
        if (onSeek) {
            onSeek();
        }
        return S_OK;
    }
    HRESULT ChangeStop() override { return S_OK; }
    HRESULT ChangeRate() override { return S_OK; }

private:
    REFERENCE_TIME m_next = 0; // delivery thread only
};

// Pin 0 is not the primary pin when `firstIsPrimary` is false, like a source whose second pin
// leads the seeking.
class CFakeSource : public CSource {
public:
    CFakeSource(CStateLog* log, int pins = 1, bool firstIsPrimary = true) : m_log(log) {
        for (int i = 0; i < pins; ++i) {
            auto pin = std::make_unique<CFakeSeekingPin>(this, "Out" + std::to_string(i),
                                                         firstIsPrimary ? i == 0 : i == 1);
            Pins.push_back(pin.get());
            AddPin(std::move(pin));
        }
    }
    ~CFakeSource() override { CSource::Stop(); }

    HRESULT Pause() override {
        m_log->Add("Source:Pause");
        return CSource::Pause();
    }
    HRESULT Run(REFERENCE_TIME start) override {
        m_log->Add("Source:Run");
        return CSource::Run(start);
    }
    HRESULT Stop() override {
        m_log->Add("Source:Stop");
        return CSource::Stop();
    }

    std::vector<CFakeSeekingPin*> Pins;

private:
    CStateLog* m_log;
};

class CFakeRenderer : public IBaseFilter {
public:
    CFakeRenderer(std::string name, CStateLog* log, IReferenceClock* ownClock = nullptr)
        : m_name(std::move(name)), m_log(log), m_ownClock(ownClock) {}

    HRESULT Pause() override {
        m_log->Add(m_name + ":Pause");
        pin.StopRenderer(false);
        m_state = EFilterState::Paused;
        return S_OK;
    }
    HRESULT Run(REFERENCE_TIME start) override {
        m_log->Add(m_name + ":Run");
        pin.StopRenderer(false);
        runStart = start;
        m_state = EFilterState::Running;
        return runResult;
    }
    HRESULT Stop() override {
        m_log->Add(m_name + ":Stop");
        pin.StopRenderer(true);
        m_state = EFilterState::Stopped;
        return S_OK;
    }
    EFilterState GetState() const override { return m_state; }
    void SetSyncSource(IReferenceClock* c) override { clock = c; }
    void SetEventSink(IMediaEventSink* s) override { sink = s; }
    int InputPinCount() const override { return 1; }
    IInputPin* InputPin(int index) const override {
        return index == 0 ? const_cast<CRecordingPin*>(&pin) : nullptr;
    }
    bool IsRenderer() const override { return true; }
    IReferenceClock* Clock() override { return m_ownClock; }

    // As a renderer does once its end of stream has been presented.
    void SignalEnd() {
        if (IMediaEventSink* s = sink.load()) {
            s->Notify(EC_COMPLETE, S_OK, 0);
        }
    }

    CRecordingPin pin;
    std::atomic<IReferenceClock*> clock{nullptr};
    std::atomic<IMediaEventSink*> sink{nullptr};
    std::atomic<REFERENCE_TIME> runStart{-1};
    HRESULT runResult = S_OK;

private:
    const std::string m_name;
    CStateLog* m_log;
    IReferenceClock* m_ownClock;
    std::atomic<EFilterState> m_state{EFilterState::Stopped};
};

class CFakeSoundRenderer : public CFakeRenderer, public IBasicAudio {
public:
    using CFakeRenderer::CFakeRenderer;
    HRESULT put_Volume(long v) override {
        volume = v;
        return S_OK;
    }
    HRESULT get_Volume(long* v) override {
        *v = volume;
        return S_OK;
    }
    long volume = 0;
};

class CFakeVideoRenderer : public CFakeRenderer, public IBasicVideo, public IVideoWindow {
public:
    using CFakeRenderer::CFakeRenderer;
    HRESULT GetVideoSize(long* w, long* h) override {
        *w = 320;
        *h = 240;
        return S_OK;
    }
    HRESULT put_Owner(QWidget* o) override {
        owner = o;
        return S_OK;
    }
    HRESULT put_WindowStyle(long s) override {
        style = s;
        return S_OK;
    }
    HRESULT SetWindowPosition(long l, long t, long w, long h) override {
        position = {l, t, w, h};
        return S_OK;
    }
    HRESULT put_Visible(bool v) override {
        visible = v;
        return S_OK;
    }
    QWidget* owner = nullptr;
    long style = 0;
    std::vector<long> position;
    bool visible = false;
};
