// SDL2 audio output. SDL picks PipeWire, PulseAudio or ALSA as it finds them; when no device
// opens, the audio subsystem is restarted on SDL's dummy driver, which also consumes at real
// time, so playback and its clock go on without sound.
#include <SDL.h>

#include <mutex>

#include "platform/PlatformLog.h"
#include "platform/graph/SoundOutput.h"

namespace {

// About 20 ms per pull at 48 kHz: short enough for a smooth clock, long enough not to starve.
constexpr int kChunkFrames = 1024;

// The audio subsystem is process-wide: every output of the process shares it.
std::mutex g_sdlLock;
int g_openDevices = 0;         // guarded by g_sdlLock
bool g_onDummy = false;        // guarded by g_sdlLock
bool g_fallbackLogged = false; // guarded by g_sdlLock

class CSdlSoundOutput : public ISoundOutput {
public:
    ~CSdlSoundOutput() override { Close(); }

    bool Open(int rate, int channels, PullFn pull) override {
        Close();
        if (rate <= 0 || channels <= 0 || channels > 2 || !pull) {
            return false;
        }
        m_pull = std::move(pull);
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels);
        want.samples = kChunkFrames;
        want.callback = &CSdlSoundOutput::Callback;
        want.userdata = this;

        std::lock_guard lock(g_sdlLock);
        // Starting the audio subsystem starts SDL's events too, which by default take SIGINT and
        // SIGTERM for an SDL quit event that nobody here reads: the signals would be swallowed.
        // The program handles them itself (platform/QuitSignals.h).
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            PlatformLog(PLATFORM_LOG_INFO, "CSdlSoundOutput::Open",
                        std::string("SDL audio unavailable: ") + SDL_GetError());
        }
        if (SDL_WasInit(SDL_INIT_AUDIO) != 0) {
            m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &m_have, 0);
        }
        if (m_device == 0 && !g_onDummy && g_openDevices == 0) {
            const std::string why = SDL_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            // Overriding: a driver named in the environment would otherwise win again.
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
            g_onDummy = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
            if (g_onDummy) {
                m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &m_have, 0);
            }
            if (!g_fallbackLogged) {
                g_fallbackLogged = true;
                PlatformLog(PLATFORM_LOG_ERROR, "CSdlSoundOutput::Open",
                            "no sound device (" + why +
                                "); playing silently on SDL's dummy driver");
            }
        }
        if (m_device == 0) {
            m_pull = nullptr;
            return false;
        }
        ++g_openDevices;
        return true;
    }

    void Start() override {
        if (m_device != 0) {
            SDL_PauseAudioDevice(m_device, 0);
        }
    }

    // SDL changes the pause flag under the device lock, which the callback also holds.
    void Pause() override {
        if (m_device != 0) {
            SDL_PauseAudioDevice(m_device, 1);
        }
    }

    void Close() override {
        if (m_device == 0) {
            return;
        }
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
        m_pull = nullptr;
        std::lock_guard lock(g_sdlLock);
        --g_openDevices;
    }

    int LatencyFrames() const override { return m_device != 0 ? m_have.samples : 0; }
    int ChunkFrames() const override { return m_device != 0 ? m_have.samples : kChunkFrames; }

    std::string Describe() const override {
        const char* driver = SDL_GetCurrentAudioDriver();
        return std::string("SDL ") + (driver ? driver : "(none)") + ", " +
               std::to_string(m_have.freq) + " Hz, " + std::to_string(m_have.channels) +
               " channels, " + std::to_string(m_have.samples) + " frames per pull";
    }

private:
    static void Callback(void* user, Uint8* stream, int length) {
        auto* self = static_cast<CSdlSoundOutput*>(user);
        self->m_pull(stream, static_cast<std::size_t>(length));
    }

    SDL_AudioDeviceID m_device = 0; // controlling thread only
    SDL_AudioSpec m_have{};         // written by Open before the device runs
    PullFn m_pull;                  // written only while the device is closed
};

} // namespace

std::unique_ptr<ISoundOutput> CreateSdlSoundOutput() {
    return std::make_unique<CSdlSoundOutput>();
}
