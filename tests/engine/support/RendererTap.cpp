#include "support/RendererTap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "media/VeltoAudioStream.h"
#include "media/VeltoSource.h"
#include "platform/graph/SoundRenderer.h"
#include "platform/graph/VideoRenderer.h"

namespace {

// A sample above a quarter of full scale is tone; the beeps are at 0.8 of full scale, and the
// codec's pre-echo before them stays well below.
constexpr int kToneThreshold = 8000;
// A beep counts only after this much silence, so one beep gives one onset.
constexpr double kQuietBeforeBeepSeconds = 0.3;
// Luma 235 becomes about 235 in B, G and R; black about 16.
constexpr int kBrightThreshold = 128;

} // namespace

bool CRendererTap::Attach(CEngineDS& engine, bool wantVideo, bool wantSound) {
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    if (!engine.Graph() || FAILED(engine.Graph()->EnumFilters(&filters))) {
        return false;
    }
    bool video = false;
    bool sound = false;
    CWaveFormatEx wave;
    if (engine.GetSource() != nullptr && engine.GetSource()->AudioPin() != nullptr &&
        engine.GetSource()->AudioPin()->ConnectionMediaType().GetFormat(wave)) {
        m_rate = static_cast<int>(wave.samplesPerSec);
        m_channels = wave.channels;
    }
    for (const auto& filter : filters) {
        if (auto renderer = QueryInterface<CVideoRenderer>(filter)) {
            renderer->SetFrameHook(
                [this](REFERENCE_TIME start, REFERENCE_TIME shownAt, int w, int h,
                       const std::uint8_t* bgr) { OnFrame(start, shownAt, w, h, bgr); });
            video = true;
        }
        if (auto renderer = QueryInterface<CSoundRenderer>(filter)) {
            renderer->SetChunkHook([this](REFERENCE_TIME heardAt, const std::uint8_t* pcm,
                                          std::size_t bytes) { OnChunk(heardAt, pcm, bytes); });
            sound = true;
        }
    }
    return (video || !wantVideo) && (!wantSound || (sound && m_rate > 0 && m_channels > 0));
}

std::vector<CShownFrame> CRendererTap::Frames() {
    std::lock_guard lock(m_lock);
    return m_frames;
}

std::vector<REFERENCE_TIME> CRendererTap::FlashTimes() {
    std::lock_guard lock(m_lock);
    std::vector<REFERENCE_TIME> flashes;
    bool previousBright = false;
    for (const CShownFrame& frame : m_frames) {
        if (frame.bright && !previousBright) {
            flashes.push_back(frame.shownAt);
        }
        previousBright = frame.bright;
    }
    return flashes;
}

std::vector<REFERENCE_TIME> CRendererTap::BeepTimes() {
    std::lock_guard lock(m_lock);
    return m_beeps;
}

std::vector<REFERENCE_TIME> CRendererTap::Skews(std::size_t flashes, std::size_t beeps) {
    const std::vector<REFERENCE_TIME> flashTimes = FlashTimes();
    const std::vector<REFERENCE_TIME> beepTimes = BeepTimes();
    std::vector<REFERENCE_TIME> skews;
    if (beepTimes.size() <= beeps) {
        return skews;
    }
    for (std::size_t flash = flashes; flash < flashTimes.size(); ++flash) {
        REFERENCE_TIME nearest = std::abs(beepTimes[beeps] - flashTimes[flash]);
        for (std::size_t beep = beeps; beep < beepTimes.size(); ++beep) {
            nearest = std::min(nearest, std::abs(beepTimes[beep] - flashTimes[flash]));
        }
        skews.push_back(nearest);
    }
    return skews;
}

void CRendererTap::OnFrame(REFERENCE_TIME start, REFERENCE_TIME shownAt, int width, int height,
                           const std::uint8_t* bgr) {
    const int rows = std::abs(height);
    // The source packs its rows without padding.
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    const std::uint8_t* centre =
        bgr + static_cast<std::size_t>(rows / 2) * stride + static_cast<std::size_t>(width / 2) * 3;
    const bool bright = centre[0] > kBrightThreshold && centre[1] > kBrightThreshold &&
                        centre[2] > kBrightThreshold;
    std::lock_guard lock(m_lock);
    m_frames.push_back({start, shownAt, std::chrono::steady_clock::now(), bright});
}

void CRendererTap::OnChunk(REFERENCE_TIME heardAt, const std::uint8_t* pcm, std::size_t bytes) {
    std::lock_guard lock(m_lock);
    const std::size_t frameBytes = static_cast<std::size_t>(m_channels) * 2;
    const long quietNeeded = static_cast<long>(kQuietBeforeBeepSeconds * m_rate);
    for (std::size_t frame = 0; frame * frameBytes + frameBytes <= bytes; ++frame) {
        std::int16_t sample = 0;
        std::memcpy(&sample, pcm + frame * frameBytes, sizeof(sample));
        if (std::abs(static_cast<int>(sample)) < kToneThreshold) {
            ++m_quietFrames;
            continue;
        }
        if (m_quietFrames >= quietNeeded) {
            m_beeps.push_back(heardAt + static_cast<REFERENCE_TIME>(frame) * UNITS / m_rate);
        }
        m_quietFrames = 0;
    }
}
