#include "platform/graph/SoundRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/graph/RenderLog.h"

namespace {

// Half a second of sound between the source and the device: enough to ride over a slow decode,
// short enough that a pause or seek does not leave much queued.
constexpr int kQueueMilliseconds = 500;
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

CSoundRenderer::CSoundRenderer(OutputFactory makeOutput) : m_makeOutput(std::move(makeOutput)) {}

CSoundRenderer::~CSoundRenderer() {
    Stop();
    if (m_output) {
        m_output->Close();
    }
}

IInputPin* CSoundRenderer::InputPin(int index) const {
    return index == 0 ? const_cast<CSoundRenderer*>(this) : nullptr;
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
    auto pull = [this](std::uint8_t* out, std::size_t bytes) { Pull(out, bytes); };
    if (m_makeOutput) {
        m_output = m_makeOutput();
    }
    if (!m_output || !m_output->Open(format.samplesPerSec, format.channels, pull)) {
        RenderLog(RENDER_LOG_ERROR, "CSoundRenderer::Pause",
                  "no sound output opens; consuming sound silently at real time");
        m_output = CreateNullSoundOutput();
        if (!m_output->Open(format.samplesPerSec, format.channels, pull)) {
            m_output.reset();
            return false;
        }
    }
    m_outputOpen = true;
    RenderLog(RENDER_LOG_INFO, "CSoundRenderer::Pause", "playing through " + m_output->Describe());
    m_clock.SetFormat(static_cast<int>(format.samplesPerSec), m_output->LatencyFrames());
    std::lock_guard lock(m_lock);
    m_latencyFrames = m_output->LatencyFrames();
    return true;
}

HRESULT CSoundRenderer::Pause() {
    const EFilterState previous = m_state;
    if (previous == EFilterState::Stopped) {
        OpenOutput();
    } else if (previous == EFilterState::Running && m_outputOpen) {
        m_output->Pause();
    }
    m_clock.SetState(CSoundClock::EMode::Paused);
    std::lock_guard lock(m_lock);
    m_state = EFilterState::Paused;
    return S_OK;
}

HRESULT CSoundRenderer::Run(REFERENCE_TIME start) {
    if (m_state == EFilterState::Stopped) {
        Pause();
    }
    m_clock.SetState(CSoundClock::EMode::Running, start);
    {
        std::lock_guard lock(m_lock);
        m_state = EFilterState::Running;
    }
    if (m_outputOpen) {
        m_output->Start();
    }
    return S_OK;
}

HRESULT CSoundRenderer::Stop() {
    {
        std::lock_guard lock(m_lock);
        m_state = EFilterState::Stopped;
        m_space.notify_all();
    }
    if (m_outputOpen) {
        m_output->Pause();
    }
    std::lock_guard lock(m_lock);
    m_ring.Clear();
    m_endOfStream = false;
    m_completed = false;
    m_drainedFrames = 0;
    m_streamFrames = 0;
    m_clock.ResetStream();
    m_clock.SetState(CSoundClock::EMode::Free);
    return S_OK;
}

HRESULT CSoundRenderer::QueryAccept(const CMediaType& type) {
    CWaveFormatEx format;
    if (type.majorType != EMajorType::Audio || type.subType != ESubType::PCM ||
        type.formatType != EFormatType::WaveFormatEx || !type.GetFormat(format)) {
        return S_FALSE;
    }
    return IsPlayableFormat(format) ? S_OK : S_FALSE;
}

HRESULT CSoundRenderer::ReceiveConnection(CSourceStream*, const CMediaType& type) {
    if (m_state != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    if (QueryAccept(type) != S_OK) {
        return E_FAIL;
    }
    std::lock_guard lock(m_lock);
    if (m_connected) {
        return E_UNEXPECTED;
    }
    type.GetFormat(m_format);
    const std::size_t frames =
        std::max<std::size_t>(1, m_format.samplesPerSec * kQueueMilliseconds / 1000);
    m_ring.Reset(frames * m_format.blockAlign);
    m_connected = true;
    return S_OK;
}

HRESULT CSoundRenderer::Disconnect() {
    if (m_state != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    if (m_outputOpen) {
        m_output->Close();
        m_outputOpen = false;
    }
    std::lock_guard lock(m_lock);
    const bool was = m_connected;
    m_connected = false;
    m_space.notify_all();
    return was ? S_OK : S_FALSE;
}

bool CSoundRenderer::HasPrerolled() const {
    std::lock_guard lock(m_lock);
    return !m_connected || m_ring.Size() > 0 || m_endOfStream;
}

HRESULT CSoundRenderer::Receive(CMediaSample& sample) {
    std::unique_lock lock(m_lock);
    if (m_state == EFilterState::Stopped || !m_connected) {
        return E_UNEXPECTED;
    }
    if (m_flushing) {
        return S_OK;
    }
    if (m_endOfStream) {
        return VFW_E_SAMPLE_REJECTED_EOS;
    }
    if (const CMediaType* changed = sample.GetMediaType()) {
        CWaveFormatEx format;
        if (!changed->GetFormat(format) || std::memcmp(&format, &m_format, sizeof format) != 0) {
            RenderLog(RENDER_LOG_ERROR, "CSoundRenderer::Receive",
                      "a sample changes the sound format; refused");
            return E_INVALIDARG;
        }
    }
    const std::size_t frame = m_format.blockAlign;
    const std::uint8_t* data = sample.GetPointer();
    // A trailing partial frame would shift every later frame's channels; it is dropped.
    std::size_t left = static_cast<std::size_t>(std::max(0L, sample.GetActualDataLength()));
    left -= left % frame;
    while (left > 0) {
        m_space.wait(lock, [&] {
            return m_ring.Free() >= frame || m_flushing || m_state == EFilterState::Stopped ||
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
    }
    return S_OK;
}

HRESULT CSoundRenderer::EndOfStream() {
    std::lock_guard lock(m_lock);
    if (m_state == EFilterState::Stopped || m_flushing) {
        return S_OK;
    }
    m_endOfStream = true;
    m_drainedFrames = 0;
    return S_OK;
}

HRESULT CSoundRenderer::BeginFlush() {
    std::lock_guard lock(m_lock);
    m_flushing = true;
    m_ring.Clear();
    m_endOfStream = false;
    m_streamFrames = 0;
    m_clock.ResetStream();
    m_space.notify_all();
    return S_OK;
}

HRESULT CSoundRenderer::EndFlush() {
    std::lock_guard lock(m_lock);
    m_flushing = false;
    m_endOfStream = false;
    m_completed = false;
    m_drainedFrames = 0;
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
    {
        std::lock_guard lock(m_lock);
        const std::size_t frame = m_connected ? m_format.blockAlign : 1;
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
        m_clock.OnPulled(frames, static_cast<std::int64_t>(bytes / frame));
        // Sound of the last pull is still in the device until `latency` frames of silence
        // followed it.
        if (m_endOfStream && !m_completed && m_ring.Size() == 0) {
            if (got == 0 && m_drainedFrames >= m_latencyFrames) {
                m_completed = true;
                complete = true;
            }
            m_drainedFrames += static_cast<std::int64_t>(bytes / frame) - frames;
        }
        m_space.notify_all();
    }
    IMediaEventSink* sink = m_sink;
    if (complete && sink != nullptr) {
        sink->Notify(EC_COMPLETE, 0, 0);
    }
}

std::shared_ptr<IBaseFilter> CreateSoundRenderer() {
    return std::make_shared<CSoundRenderer>(&CreateSdlSoundOutput);
}
