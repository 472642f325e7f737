#pragma once
// Records what the renderers of an engine's graph present, through their test hooks: each video
// frame with its sample start, the clock time it was shown at, the wall time the hook ran and
// whether it was a bright frame; each beep onset heard from the sound renderer in clock time.
#include <chrono>
#include <mutex>
#include <vector>

#include "engine/EngineDS.h"

struct CShownFrame {
    REFERENCE_TIME sampleStart;
    REFERENCE_TIME shownAt;
    std::chrono::steady_clock::time_point wall;
    bool bright; // the centre pixel is near white
};

class CRendererTap {
public:
    // Attaches to the renderers of the engine's current graph, which must be stopped. False when
    // a renderer the file needs is missing. The renderers call the tap until their graph is
    // released, so the tap must outlive the engine (declare it first).
    bool Attach(CEngineDS& engine, bool wantVideo, bool wantSound);

    std::vector<CShownFrame> Frames();
    // Clock times of the shown frames that start a bright run.
    std::vector<REFERENCE_TIME> FlashTimes();
    // Clock times at which a tone starts after at least kQuietBeforeBeep of silence.
    std::vector<REFERENCE_TIME> BeepTimes();
    // For each flash after the first `flashes`, the distance to its nearest beep after the first
    // `beeps`; empty without a beep to compare.
    std::vector<REFERENCE_TIME> Skews(std::size_t flashes, std::size_t beeps);

private:
    void OnFrame(REFERENCE_TIME start, REFERENCE_TIME shownAt, int width, int height,
                 const std::uint8_t* bgr);
    void OnChunk(REFERENCE_TIME heardAt, const std::uint8_t* pcm, std::size_t bytes);

    std::mutex m_lock;
    std::vector<CShownFrame> m_frames;   // guarded by m_lock
    std::vector<REFERENCE_TIME> m_beeps; // guarded by m_lock
    long m_quietFrames = 0;              // guarded by m_lock: silent sample frames in a row
    int m_rate = 0;                      // set by Attach
    int m_channels = 0;
};
