#include "platform/graph/SoundRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/PlatformLog.h"

namespace {

// Half a second of sound between the source and the device: enough to ride over a slow decode,
// short enough that a pause or seek does not leave much queued.
constexpr int kQueueMilliseconds = 500;
// A full queue takes more sound once this share of it is free, not after every pull: the delivery
// thread then wakes about 8 times a second rather than at each of the device's pulls (47 a second
// at 48 kHz), and the queue still holds three quarters of its length when it does.
constexpr std::size_t kRefillDivisor = 4;
constexpr long kSilentVolume = -10000;

bool IsPlayableFormat(const CWaveFormatEx& format) {
    return format.formatTag == WAVE_FORMAT_PCM && format.bitsPerSample == 16 &&
           (format.channels == 1 || format.channels == 2) && format.samplesPerSec > 0 &&
           format.blockAlign == format.channels * 2;
}

void ApplyGain(std::uint8_t* pcm, std::size_t bytes, double gain) {
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        std::int16_t value;
        std::memcpy(&value, pcm + i, 2);
        const long scaled = std::lround(value * gain);
        value = static_cast<std::int16_t>(std::clamp<long>(scaled, INT16_MIN, INT16_MAX));
        std::memcpy(pcm + i, &value, 2);
    }
}

} // namespace

CSoundRenderer::CSoundRenderer(OutputFactory makeOutput)
    : CBaseRenderer(
          {"CSoundRenderer", "sound", EMajorType::Audio, ESubType::PCM, EFormatType::WaveFormatEx}),
      m_makeOutput(std::move(makeOutput)) {}

CSoundRenderer::~CSoundRenderer() {
    Stop();
    if (m_output) {
        m_output->Close();
    }
}

bool CSoundRenderer::OpenOutput() {
    CWaveFormatEx format;
    {
        std::lock_guard lock(m_lock);
        if (!m_connected) {
            return false;
        }
        format = m_format;
    }
    if (m_outputOpen) {
        return true;
    }
    m_resting = false;
    auto pull = [this](std::uint8_t* out, std::size_t bytes) { Pull(out, bytes); };
    if (m_makeOutput) {
        m_output = m_makeOutput();
    }
    if (!m_output || !m_output->Open(format.samplesPerSec, format.channels, pull)) {
        PlatformLog(PLATFORM_LOG_ERROR, "CSoundRenderer::Pause",
                    "no sound output opens; consuming sound silently at real time");
        m_output = CreateNullSoundOutput();
        if (!m_output->Open(format.samplesPerSec, format.channels, pull)) {
            m_output.reset();
            return false;
        }
    }
    m_outputOpen = true;
    PlatformLog(PLATFORM_LOG_INFO, "CSoundRenderer::Pause",
                "playing through " + m_output->Describe());
    m_clock.SetFormat(static_cast<int>(format.samplesPerSec), m_output->LatencyFrames());
    std::lock_guard lock(m_lock);
    m_latencyFrames = m_output->LatencyFrames();
    return true;
}

void CSoundRenderer::OnPausing(EFilterState previous) {
    if (previous == EFilterState::Stopped) {
        OpenOutput(); // opens paused
    } else if (previous == EFilterState::Running && m_outputOpen) {
        m_output->Pause();
    }
    m_clock.SetState(CSoundClock::EMode::Paused);
}

void CSoundRenderer::Rest() {
    if (m_outputOpen && GetState() == EFilterState::Paused) {
        m_output->Close();
        m_outputOpen = false;
        m_resting = true;
    }
}

void CSoundRenderer::OnRunning(REFERENCE_TIME start) {
    m_clock.SetState(CSoundClock::EMode::Running, start);
    if (m_resting) {
        OpenOutput(); // paused; started below
    }
    if (m_outputOpen) {
        m_output->Start();
    }
}

void CSoundRenderer::OnStopped() {
    // A graph stays stopped until it is torn down (playing again loads anew), so the output goes
    // as it does for a lasting pause; a pause from stopped opens it again.
    if (m_outputOpen) {
        m_output->Close();
        m_outputOpen = false;
    }
    m_clock.SetState(CSoundClock::EMode::Free);
}

void CSoundRenderer::DiscardStream() {
    m_ring.Clear();
    m_endHeard = false;
    m_drainedFrames = 0;
    m_streamFrames = 0;
    m_clock.ResetStream();
}

bool CSoundRenderer::CheckFormat(const CMediaType& type) const {
    CWaveFormatEx format;
    return type.GetFormat(format) && IsPlayableFormat(format);
}

void CSoundRenderer::SetMediaType(const CMediaType& type) {
    type.GetFormat(m_format);
    const std::size_t frames =
        std::max<std::size_t>(1, m_format.samplesPerSec * kQueueMilliseconds / 1000);
    m_ring.Reset(frames * m_format.blockAlign);
    m_refill = std::max<std::size_t>(1, frames / kRefillDivisor) * m_format.blockAlign;
}

bool CSoundRenderer::IsConnectedFormat(const CMediaType& type) const {
    CWaveFormatEx format;
    return type.GetFormat(format) && std::memcmp(&format, &m_format, sizeof format) == 0;
}

void CSoundRenderer::OnDisconnecting() {
    if (m_outputOpen) {
        m_output->Close();
        m_outputOpen = false;
    }
}

HRESULT CSoundRenderer::RenderSample(CMediaSample& sample, std::unique_lock<std::mutex>& lock) {
    const std::size_t frame = m_format.blockAlign;
    const std::uint8_t* data = sample.GetPointer();
    // A trailing partial frame would shift every later frame's channels; it is dropped.
    std::size_t left = static_cast<std::size_t>(std::max(0L, sample.GetActualDataLength()));
    left -= left % frame;
    while (left > 0) {
        m_changed.wait(lock, [&] {
            return m_ring.Free() >= m_refill || m_flushing || m_state == EFilterState::Stopped ||
                   !m_connected;
        });
        if (m_state == EFilterState::Stopped || !m_connected) {
            return E_UNEXPECTED;
        }
        if (m_flushing) {
            return S_OK;
        }
        const std::size_t room = m_ring.Free() - m_ring.Free() % frame;
        const std::size_t taken = m_ring.Write(data, std::min(left, room));
        data += taken;
        left -= taken;
        m_changed.notify_all(); // the renderer holds data now
    }
    return S_OK;
}

HRESULT CSoundRenderer::put_Volume(long volume) {
    if (volume < kSilentVolume || volume > 0) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(m_lock);
    m_volume = volume;
    m_gain = volume == kSilentVolume ? 0.0 : std::pow(10.0, volume / 2000.0);
    return S_OK;
}

HRESULT CSoundRenderer::get_Volume(long* volume) {
    if (volume == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(m_lock);
    *volume = m_volume;
    return S_OK;
}

void CSoundRenderer::SetChunkHook(ChunkHook hook) {
    std::lock_guard lock(m_lock);
    m_hook = std::move(hook);
}

std::string CSoundRenderer::OutputName() const {
    return m_outputOpen ? m_output->Describe() : std::string();
}

void CSoundRenderer::Pull(std::uint8_t* out, std::size_t bytes) {
    bool complete = false;
    bool jumped = false;
    {
        std::lock_guard lock(m_lock);
        const std::size_t frame = m_connected ? m_format.blockAlign : 1;
        const bool hadRoom = m_ring.Free() >= m_refill;
        const std::size_t got = m_ring.Read(out, bytes - bytes % frame);
        std::memset(out + got, 0, bytes - got);
        if (m_gain != 1.0) {
            ApplyGain(out, got, m_gain);
        }
        const auto frames = static_cast<std::int64_t>(got / frame);
        if (got > 0 && m_hook) {
            m_hook(m_clock.TimeOfFrame(m_streamFrames), out, got);
        }
        m_streamFrames += frames;
        jumped = m_clock.OnPulled(frames, static_cast<std::int64_t>(bytes / frame));
        // Sound of the last pull is still in the device until `latency` frames of silence
        // followed it.
        if (m_endOfStream && m_ring.Size() == 0) {
            m_endHeard = m_endHeard || (got == 0 && m_drainedFrames >= m_latencyFrames);
            m_drainedFrames += static_cast<std::int64_t>(bytes / frame) - frames;
        }
        complete = TakeCompletion();
        if (!hadRoom && m_ring.Free() >= m_refill) {
            m_changed.notify_all();
        }
    }
    if (jumped) {
        m_clock.TellJump();
    }
    if (complete) {
        NotifyComplete();
    }
}

std::shared_ptr<IBaseFilter> CreateSoundRenderer() {
    return std::make_shared<CSoundRenderer>(&CreateSdlSoundOutput);
}
