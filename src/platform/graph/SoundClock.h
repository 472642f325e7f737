#pragma once
// The sound renderer's reference clock. While sound is being heard it follows the frames the
// device has consumed (so that video waits for the sound, not for the wall clock); when there is
// nothing to hear (before the first pull, after the queue ran dry, while stopped) it runs on
// the steady system clock. Paused, it stands still. The switch between the two never moves the
// clock backwards: when the sound is behind, the clock holds until the sound catches up.
//
// The clock jumps ahead when the device takes sound sooner than the last pull's length: a
// listener (SetJumpListener) hears of each jump beyond kJumpNotice, so that a video frame timed
// by steady time is shown when its time comes, without re-reading the clock again and again.
//
// Threads: SetState and ResetStream from the renderer's controlling thread; OnPulled and
// TellJump from the output's pull thread; GetTime and SetJumpListener from any thread. m_lock
// guards the clock; m_listenerLock the listener, and is held while it runs. Neither is taken
// while the other is held.
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/graph/ReferenceClock.h"

class CSoundClock final : public IReferenceClock {
public:
    using SteadyNow = std::function<REFERENCE_TIME()>;

    // `now` is the steady time source (tests give a fake one).
    explicit CSoundClock(SteadyNow now = nullptr);

    enum class EMode { Free, Paused, Running };
    // Running: stream time 0 is `start` on this clock. Paused freezes the clock.
    void SetState(EMode mode, REFERENCE_TIME start = 0);
    // Sets the format of the frames counted by OnPulled and the frames the device holds before
    // a pulled frame is heard.
    void SetFormat(int rate, int latencyFrames);
    // A flush: the sound stream starts again at frame 0.
    void ResetStream();
    // The device took `asked` frames, of which the first `data` were sound (the rest silence).
    // True when the clock jumped ahead by more than kJumpNotice: the caller then calls TellJump,
    // holding no lock the listener may take.
    bool OnPulled(std::int64_t data, std::int64_t asked);
    void TellJump();
    // The clock time at which frame `frame` of the current stream is heard.
    REFERENCE_TIME TimeOfFrame(std::int64_t frame) const;

    REFERENCE_TIME GetTime() override;
    void SetJumpListener(std::function<void()> listener) override;

private:
    REFERENCE_TIME Advance(REFERENCE_TIME now); // with m_lock held
    REFERENCE_TIME FramesToTime(std::int64_t frames) const;

    const SteadyNow m_now;
    mutable std::mutex m_lock;
    EMode m_mode = EMode::Free;      // guarded by m_lock
    REFERENCE_TIME m_start = 0;      // guarded by m_lock
    REFERENCE_TIME m_last = 0;       // guarded by m_lock: the last time handed out
    REFERENCE_TIME m_lastSteady = 0; // guarded by m_lock: steady time of m_last
    int m_rate = 0;                  // guarded by m_lock
    int m_latencyFrames = 0;         // guarded by m_lock
    std::int64_t m_streamFrames = 0; // guarded by m_lock: sound frames pulled since the flush
    std::int64_t m_lastPull = 0;     // guarded by m_lock: sound frames of the last pull
    REFERENCE_TIME m_pullSteady = 0; // guarded by m_lock: steady time of the last pull
    bool m_starved = true;           // guarded by m_lock: the last pull found no sound
    std::mutex m_listenerLock;
    std::function<void()> m_listener; // guarded by m_listenerLock
};
