#pragma once
// The sound renderer: takes interleaved signed 16-bit PCM (one or two channels, any rate) from
// the source's audio pin, queues it in a ring and plays it through a sound output as the output
// asks for it. Samples are played in arrival order; their time stamps are not waited for. It
// offers the graph its played-sample clock and takes the volume in hundredths of a decibel.
//
// Threads: as CBaseRenderer; the graph (engine thread) also sets the volume and the hook. The
// pull runs on the output's thread. The output is called only without m_lock, because its Pause
// and Close wait for a running pull, which takes it.
#include <functional>
#include <memory>
#include <mutex>

#include "platform/graph/BaseRenderer.h"
#include "platform/graph/FilterGraph.h"
#include "platform/graph/SoundClock.h"
#include "platform/graph/SoundOutput.h"
#include "platform/graph/SoundRing.h"

class CSoundRenderer final : public CBaseRenderer, public IBasicAudio {
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
    void SetSyncSource(IReferenceClock*) override {} // plays as data arrives; is the clock
    IReferenceClock* Clock() override { return &m_clock; }

    // IBasicAudio: E_INVALIDARG outside -10000..0.
    HRESULT put_Volume(long volume) override;
    HRESULT get_Volume(long* volume) override;

    // Engine thread, while stopped.
    void SetChunkHook(ChunkHook hook);
    // Describes the output in use (empty before the first pause).
    std::string OutputName() const;

private:
    // CBaseRenderer
    bool CheckFormat(const CMediaType& type) const override;
    void SetMediaType(const CMediaType& type) override;
    bool IsConnectedFormat(const CMediaType& type) const override;
    HRESULT RenderSample(CMediaSample& sample, std::unique_lock<std::mutex>& lock) override;
    bool HoldsData() const override { return m_ring.Size() > 0; }
    bool EndRendered() const override { return m_endHeard; }
    // A paused output still wakes its thread for every buffer of silence (SDL's does): it is
    // closed, and opened again by the next run.
    void Rest() override;
    void OnPausing(EFilterState previous) override;
    void OnRunning(REFERENCE_TIME start) override;
    void OnStopped() override;
    void OnDisconnecting() override;
    void DiscardStream() override;

    bool OpenOutput(); // controlling thread, without m_lock
    void Pull(std::uint8_t* out, std::size_t bytes);

    const OutputFactory m_makeOutput;
    std::unique_ptr<ISoundOutput> m_output; // controlling thread only
    bool m_outputOpen = false;              // controlling thread only
    bool m_resting = false;                 // controlling thread only: closed by Rest
    CSoundClock m_clock;

    // m_changed is also signalled by the pull that frees m_refill bytes, for a Receive waiting
    // for room.
    CSoundRing m_ring;                // guarded by m_lock
    std::size_t m_refill = 1;         // guarded by m_lock: the room a Receive waits for
    CWaveFormatEx m_format;           // guarded by m_lock; fixed while connected
    bool m_endHeard = false;          // guarded by m_lock: the device has played the end
    std::int64_t m_drainedFrames = 0; // guarded by m_lock: silence pulled since the ring ran dry
    std::int64_t m_streamFrames = 0;  // guarded by m_lock: sound frames pulled since the flush
    int m_latencyFrames = 0;          // guarded by m_lock: of the open output
    long m_volume = 0;                // guarded by m_lock
    double m_gain = 1.0;              // guarded by m_lock
    ChunkHook m_hook;                 // guarded by m_lock
};

// The renderer with the SDL output.
std::shared_ptr<IBaseFilter> CreateSoundRenderer();
