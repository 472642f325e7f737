// The sound renderer through SDL into a PulseAudio server of the test's own: a 1 kHz tone goes
// in, the null sink's monitor is recorded, and the recording's strongest frequency must be the
// tone's. The server runs with its own runtime folder, so it needs no session; as root it warns
// but runs when told not to exit on its own (--disallow-exit, --exit-idle-time=-1) and to skip
// its pid file (--use-pid-file=no), and clients need anonymous access to its socket.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>

#include "ChildProcess.h"
#include "platform/graph/SoundRenderer.h"
#include "support/RenderTestSupport.h"

// The PulseAudio client library keeps a few allocations for the life of the process; the leak
// checker of sanitizer builds is told to ignore them, and only them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpulse.so\n";
}

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kRate = 48000;
constexpr double kTone = 1000.0;
constexpr double kPi = 3.14159265358979323846;

std::vector<std::uint8_t> Tone(int frames, int firstFrame) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * 4);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(firstFrame + i) / kRate;
        const auto v =
            static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * kPi * kTone * t)));
        std::memcpy(&bytes[i * 4], &v, 2);
        std::memcpy(&bytes[i * 4 + 2], &v, 2);
    }
    return bytes;
}

// Power of one frequency in the samples (Goertzel).
double PowerAt(const std::vector<double>& x, double frequency) {
    const double k = 2 * std::cos(2 * kPi * frequency / kRate);
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s = v + k * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// A PulseAudio server with one null sink, on a socket in `folder`.
class CPulseServer {
public:
    explicit CPulseServer(const fs::path& folder) : m_folder(folder) {
        fs::remove_all(folder);
        fs::create_directories(folder / "run");
        fs::create_directories(folder / "home");
        fs::permissions(folder / "run", fs::perms::owner_all, fs::perm_options::replace);
        m_socket = (folder / "run" / "native").string();
    }
    std::string Server() const { return "unix:" + m_socket; }
    std::map<std::string, std::string> Environment() const {
        return {{"XDG_RUNTIME_DIR", (m_folder / "run").string()},
                {"HOME", (m_folder / "home").string()},
                {"PULSE_SERVER", Server()}};
    }
    // False when the server did not come up within a few seconds.
    bool Start() {
        if (!m_server.Start(
                {"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                 "--use-pid-file=no", "-n", "-L",
                 "module-null-sink sink_name=qortest rate=48000 channels=2", "-L",
                 "module-native-protocol-unix socket=" + m_socket + " auth-anonymous=1"},
                Environment(), false)) {
            return false;
        }
        for (int i = 0; i < 100; ++i) {
            if (!m_server.Running()) {
                return false;
            }
            CChildProcess info;
            if (fs::exists(m_socket) && info.Start({"pactl", "info"}, Environment(), true) &&
                !info.Finish(true).empty()) {
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

private:
    fs::path m_folder;
    std::string m_socket;
    CChildProcess m_server;
};

TEST(PulseSoundTimed, AToneThroughTheRendererIsRecordedAtItsFrequency) {
    CPulseServer server(fs::path(QOR_TEST_WORK_DIR) / ("pulse-" + std::to_string(getpid())));
    if (!server.Start()) {
        GTEST_SKIP() << "pulseaudio could not start here (is the pulseaudio package installed?)";
    }
    for (const auto& [name, value] : server.Environment()) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);

    CChildProcess recorder;
    ASSERT_TRUE(recorder.Start({"parec", "--server=" + server.Server(), "-d", "qortest.monitor",
                                "--format=s16le", "--rate=48000", "--channels=1", "--raw"},
                               server.Environment(), true));

    CEventRecorder events;
    CSoundRenderer renderer{&CreateSdlSoundOutput};
    renderer.SetEventSink(&events);
    ASSERT_EQ(renderer.ReceiveConnection(nullptr, PcmType(kRate, 2)), S_OK);
    ASSERT_EQ(renderer.Pause(), S_OK);
    EXPECT_NE(renderer.OutputName().find("pulseaudio"), std::string::npos) << renderer.OutputName();
    ASSERT_EQ(renderer.Run(renderer.Clock()->GetTime()), S_OK);
    CTestSamples samples(kRate * 4);
    constexpr int kChunk = kRate / 4;
    for (int first = 0; first < kRate * 3 / 2; first += kChunk) {
        CSamplePtr sample = samples.Make(Tone(kChunk, first));
        ASSERT_EQ(renderer.Receive(*sample), S_OK);
    }
    ASSERT_EQ(renderer.EndOfStream(), S_OK);
    ASSERT_TRUE(events.WaitFor(EC_COMPLETE, 1, 10s));
    std::this_thread::sleep_for(300ms);
    renderer.Stop();
    renderer.Disconnect();
    SDL_Quit(); // lets the PulseAudio client library free its connection
    const std::vector<std::uint8_t> recorded = recorder.Finish();

    // The loudest half second of the recording.
    std::vector<double> signal(recorded.size() / 2);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        std::int16_t v;
        std::memcpy(&v, &recorded[i * 2], 2);
        signal[i] = v;
    }
    const std::size_t window = kRate / 2;
    ASSERT_GT(signal.size(), window) << "the recorder got " << recorded.size() << " bytes";
    std::size_t best = 0;
    double bestEnergy = -1;
    for (std::size_t at = 0; at + window <= signal.size(); at += window / 4) {
        double energy = 0;
        for (std::size_t i = at; i < at + window; ++i) {
            energy += signal[i] * signal[i];
        }
        if (energy > bestEnergy) {
            bestEnergy = energy;
            best = at;
        }
    }
    const std::vector<double> loud(signal.begin() + static_cast<std::ptrdiff_t>(best),
                                   signal.begin() + static_cast<std::ptrdiff_t>(best + window));
    const double rms = std::sqrt(bestEnergy / window);
    ASSERT_GT(rms, 1000.0) << "nothing audible was recorded";

    double dominant = 0, strongest = -1;
    for (double f = 100; f <= 8000; f += 5) {
        const double power = PowerAt(loud, f);
        if (power > strongest) {
            strongest = power;
            dominant = f;
        }
    }
    EXPECT_NEAR(dominant, kTone, kTone * 0.02);
}

} // namespace

namespace {

TEST(PulseSoundTimed, WithoutAServerTheRendererPlaysOnSdlsDummyDriverAtRealTime) {
    const fs::path nowhere = fs::path(QOR_TEST_WORK_DIR) / "no-pulse-server";
    setenv("PULSE_SERVER", ("unix:" + (nowhere / "native").string()).c_str(), 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);

    CEventRecorder events;
    CSoundRenderer renderer{&CreateSdlSoundOutput};
    renderer.SetEventSink(&events);
    ASSERT_EQ(renderer.ReceiveConnection(nullptr, PcmType(kRate, 2)), S_OK);
    ASSERT_EQ(renderer.Pause(), S_OK);
    EXPECT_NE(renderer.OutputName().find("dummy"), std::string::npos) << renderer.OutputName();
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(renderer.Run(renderer.Clock()->GetTime()), S_OK);
    CTestSamples samples(kRate * 4);
    CSamplePtr sample = samples.Make(Tone(kRate / 2, 0));
    ASSERT_EQ(renderer.Receive(*sample), S_OK);
    ASSERT_EQ(renderer.EndOfStream(), S_OK);
    ASSERT_TRUE(events.WaitFor(EC_COMPLETE, 1, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 400ms) << "half a second of sound";
    renderer.Stop();
    renderer.Disconnect();
    SDL_Quit();
}

} // namespace
