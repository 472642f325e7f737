#pragma once
// A place that consumes interleaved signed 16-bit PCM at the device's pace: the sound renderer
// pulls from its queue whenever the output asks. Two back ends: SDL2 audio and a null output
// that consumes at real time on a thread of its own.
//
// Threads: Open, Start, Pause and Close come from one controlling thread (the renderer's state
// changes). The pull callback runs on the output's own thread (SDL's audio thread or the null
// output's thread), never after Pause or Close has returned, and never concurrently with itself.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ISoundOutput {
public:
    // Must fill exactly `bytes` bytes (silence where there is no data).
    using PullFn = std::function<void(std::uint8_t* out, std::size_t bytes)>;

    virtual ~ISoundOutput() = default;

    // Opens the output paused. False when it cannot play this format; the output stays closed.
    virtual bool Open(int rate, int channels, PullFn pull) = 0;
    virtual void Start() = 0;
    // Returns once the pull callback has finished and will not run until Start.
    virtual void Pause() = 0;
    // Idempotent; the pull callback is not called after it returns.
    virtual void Close() = 0;
    // Frames the output holds between a pull and the moment they are heard.
    virtual int LatencyFrames() const = 0;
    // Frames asked for by one pull (the device's buffer); valid while open.
    virtual int ChunkFrames() const = 0;
    virtual std::string Describe() const = 0;
};

// SDL2 audio; falls back to SDL's dummy driver (which also consumes at real time) when no real
// device opens.
std::unique_ptr<ISoundOutput> CreateSdlSoundOutput();
// Consumes at real time, pulling chunks of `chunkFrames` frames.
std::unique_ptr<ISoundOutput> CreateNullSoundOutput(int chunkFrames = 1024);
