#include "platform/graph/SoundClock.h"

#include <algorithm>

namespace {

// A jump smaller than this is not told: a frame shown that much late is far below what a viewer
// sees, and a device that takes each pull a little early would otherwise wake the listener on
// every pull.
constexpr REFERENCE_TIME kJumpNotice = 2 * UNITS / 1000;

REFERENCE_TIME SystemNow() {
    static CSystemClock clock;
    return clock.GetTime();
}
} // namespace

CSoundClock::CSoundClock(SteadyNow now) : m_now(now ? std::move(now) : SteadyNow(SystemNow)) {
    m_last = m_lastSteady = m_now();
}

void CSoundClock::SetState(EMode mode, REFERENCE_TIME start) {
    std::lock_guard lock(m_lock);
    Advance(m_now());
    m_mode = mode;
    m_start = start;
}

void CSoundClock::SetFormat(int rate, int latencyFrames) {
    std::lock_guard lock(m_lock);
    m_rate = rate;
    m_latencyFrames = std::max(0, latencyFrames);
}

void CSoundClock::ResetStream() {
    std::lock_guard lock(m_lock);
    Advance(m_now());
    m_streamFrames = 0;
    m_lastPull = 0;
    m_starved = true;
}

bool CSoundClock::OnPulled(std::int64_t data, std::int64_t asked) {
    std::lock_guard lock(m_lock);
    const REFERENCE_TIME now = m_now();
    const REFERENCE_TIME before = Advance(now);
    m_streamFrames += data;
    m_lastPull = data;
    m_pullSteady = now;
    m_starved = data < asked || data == 0;
    return Advance(now) - before > kJumpNotice;
}

void CSoundClock::TellJump() {
    std::lock_guard lock(m_listenerLock);
    if (m_listener) {
        m_listener();
    }
}

void CSoundClock::SetJumpListener(std::function<void()> listener) {
    std::lock_guard lock(m_listenerLock);
    m_listener = std::move(listener);
}

REFERENCE_TIME CSoundClock::TimeOfFrame(std::int64_t frame) const {
    std::lock_guard lock(m_lock);
    return m_start + FramesToTime(frame);
}

REFERENCE_TIME CSoundClock::GetTime() {
    std::lock_guard lock(m_lock);
    return Advance(m_now());
}

REFERENCE_TIME CSoundClock::FramesToTime(std::int64_t frames) const {
    return m_rate > 0 ? frames * UNITS / m_rate : 0;
}

REFERENCE_TIME CSoundClock::Advance(REFERENCE_TIME now) {
    const REFERENCE_TIME elapsed = std::max<REFERENCE_TIME>(0, now - m_lastSteady);
    m_lastSteady = now;
    if (m_mode == EMode::Paused) {
        return m_last;
    }
    if (m_mode == EMode::Running && !m_starved && m_rate > 0) {
        // Frames before the last pull are heard after the device's latency; the last pull is
        // being heard at the device's pace since it was taken.
        const REFERENCE_TIME sincePull = std::min(now - m_pullSteady, FramesToTime(m_lastPull));
        const REFERENCE_TIME heard =
            FramesToTime(m_streamFrames - m_lastPull - m_latencyFrames) + sincePull;
        m_last = std::max(m_last, m_start + heard);
        return m_last;
    }
    m_last += elapsed;
    return m_last;
}
