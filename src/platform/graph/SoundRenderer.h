#pragma once
// The sound renderer: takes interleaved signed 16-bit PCM (one or two channels, any rate) from
// the source's audio pin, queues it in a ring and plays it through a sound output as the output
// asks for it. Samples are played in arrival order; their time stamps are not waited for. It
// offers the graph its played-sample clock and takes the volume in hundredths of a decibel.
//
// Threads: the graph (engine thread) changes the state, connects, sets the volume and the hook.
// Receive and EndOfStream come from the audio pin's delivery thread, BeginFlush/EndFlush from
// the seeking thread. The pull runs on the output's thread. One queue lock (m_lock) guards the
// ring and the stream flags; the output is called only without it, because its Pause and Close
// wait for a running pull, which takes it.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/graph/BaseFilter.h"
#include "platform/graph/FilterGraph.h"
#include "platform/graph/InputPin.h"
#include "platform/graph/SoundClock.h"
#include "platform/graph/SoundOutput.h"
#include "platform/graph/SoundRing.h"

class CSoundRenderer final : public IBaseFilter, public IInputPin, public IBasicAudio {
public:
    using OutputFactory = std::function<std::unique_ptr<ISoundOutput>()>;
    // Test hook, on the output's thread, per pull that carried sound: the clock time at which
    // the first byte will be heard and the bytes handed to the device (volume applied). Must
    // not call into the renderer.
    using ChunkHook =
        std::function<void(REFERENCE_TIME heardAt, const std::uint8_t* pcm, std::size_t bytes)>;

    // `makeOutput` gives the preferred output; when it cannot open, a null output is used.
    explicit CSoundRenderer(OutputFactory makeOutput);
    ~CSoundRenderer() override;

    // IBaseFilter
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Stop() override;
    EFilterState GetState() const override { return m_state; }
    bool HasPrerolled() const override;
    void SetSyncSource(IReferenceClock*) override {} // plays as data arrives; is the clock
    void SetEventSink(IMediaEventSink* sink) override { m_sink = sink; }
    int InputPinCount() const override { return 1; }
    IInputPin* InputPin(int index) const override;
    bool IsRenderer() const override { return true; }
    IReferenceClock* Clock() override { return &m_clock; }

    // IInputPin
    HRESULT QueryAccept(const CMediaType& type) override;
    HRESULT ReceiveConnection(CSourceStream* from, const CMediaType& type) override;
    HRESULT Disconnect() override;
    HRESULT Receive(CMediaSample& sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IBasicAudio: E_INVALIDARG outside -10000..0.
    HRESULT put_Volume(long volume) override;
    HRESULT get_Volume(long* volume) override;

    // Engine thread, while stopped.
    void SetChunkHook(ChunkHook hook);
    // Describes the output in use (empty before the first pause).
    std::string OutputName() const;

private:
    bool OpenOutput(); // controlling thread, without m_lock
    void Pull(std::uint8_t* out, std::size_t bytes);

    const OutputFactory m_makeOutput;
    std::unique_ptr<ISoundOutput> m_output; // controlling thread only
    bool m_outputOpen = false;              // controlling thread only
    CSoundClock m_clock;

    std::atomic<EFilterState> m_state{EFilterState::Stopped}; // written under m_lock
    std::atomic<IMediaEventSink*> m_sink{nullptr};

    mutable std::mutex m_lock;
    std::condition_variable m_space;  // signalled by a pull, BeginFlush, Stop and Disconnect
    CSoundRing m_ring;                // guarded by m_lock
    bool m_connected = false;         // guarded by m_lock
    CWaveFormatEx m_format;           // guarded by m_lock; fixed while connected
    bool m_flushing = false;          // guarded by m_lock
    bool m_endOfStream = false;       // guarded by m_lock
    bool m_completed = false;         // guarded by m_lock: EC_COMPLETE sent for this stream
    std::int64_t m_drainedFrames = 0; // guarded by m_lock: silence pulled since the ring ran dry
    std::int64_t m_streamFrames = 0;  // guarded by m_lock: sound frames pulled since the flush
    int m_latencyFrames = 0;          // guarded by m_lock: of the open output
    long m_volume = 0;                // guarded by m_lock
    double m_gain = 1.0;              // guarded by m_lock
    ChunkHook m_hook;                 // guarded by m_lock
};

// The renderer with the SDL output.
std::shared_ptr<IBaseFilter> CreateSoundRenderer();
