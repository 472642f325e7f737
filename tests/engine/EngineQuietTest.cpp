// A paused or stopped engine costs no CPU: nothing is presented and the source's threads (the
// demux worker and the pins' delivery threads, found by their names) sleep instead of polling.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "support/EngineHarness.h"
#include "support/RendererTap.h"

namespace {

constexpr auto kQuietSpan = std::chrono::seconds(2);
// CPU time a sleeping thread may show over kQuietSpan: two clock ticks of the usual 100 Hz,
// the resolution of the counters read, while a 1 ms poll costs several times that.
constexpr double kSleepingMs = 20.0;

// utime + stime of a /proc stat line, in milliseconds; the name in parentheses may hold spaces.
double StatCpuMs(const std::string& stat) {
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    // After the name: state(3) ... utime(14) stime(15).
    for (int i = 3; i < 14; ++i) {
        fields >> field;
    }
    long long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string ReadFirstLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// CPU milliseconds of each thread of this process whose name starts with "qor-", by name
// (threads of one name add up).
std::map<std::string, double> SourceThreadCpuMs() {
    std::map<std::string, double> cpu;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        const std::string name = ReadFirstLine(task.path() / "comm");
        if (name.rfind("qor-", 0) == 0) {
            cpu[name] += StatCpuMs(ReadFirstLine(task.path() / "stat"));
        }
    }
    return cpu;
}

double ProcessCpuMs() {
    return StatCpuMs(ReadFirstLine("/proc/self/stat"));
}

// Runs the event loop for kQuietSpan and checks that each expected thread exists and sleeps.
void ExpectThreadsSleep(const char* state, const std::vector<std::string>& expected) {
    const auto before = SourceThreadCpuMs();
    const double processBefore = ProcessCpuMs();
    PumpFor(std::chrono::duration_cast<std::chrono::milliseconds>(kQuietSpan));
    const auto after = SourceThreadCpuMs();
    const double process = ProcessCpuMs() - processBefore;
    std::cout << state << " for 2 s: process " << process << " ms (" << process / 20.0
              << " % of a core; includes the test's own event loop)";
    for (const std::string& name : expected) {
        ASSERT_TRUE(before.count(name) && after.count(name)) << state << ": no thread " << name;
        const double used = after.at(name) - before.at(name);
        std::cout << ", " << name << " " << used << " ms";
        EXPECT_LT(used, kSleepingMs) << state << ": " << name << " is busy";
    }
    std::cout << '\n';
}

} // namespace

TEST(EngineQuietTimed, PausedAndStoppedEnginesMakeNoProgressAndTheirThreadsSleep) {
    CRendererTap tap;
    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    ASSERT_EQ(host.Load(ClipWithVideoAndAudio()), 1);
    ASSERT_TRUE(tap.Attach(engine, true, true));

    // Loaded, not playing: only the demux worker exists, waiting for its next command.
    ExpectThreadsSleep("stopped", {"qor-demux"});

    ASSERT_EQ(engine.Play(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return tap.Frames().size() >= 10; }, std::chrono::seconds(5)));
    ASSERT_EQ(engine.Pause(), S_OK);
    // The frame being presented when the pause came may still land.
    PumpFor(std::chrono::milliseconds(200));
    const std::size_t shown = tap.Frames().size();
    const double position = engine.GetPosition();

    ExpectThreadsSleep("paused", {"qor-demux", "qor-pin-video", "qor-pin-audio"});
    EXPECT_EQ(tap.Frames().size(), shown) << "frames presented while paused";
    EXPECT_EQ(engine.GetPosition(), position);

    // Still answering: playback goes on from where it paused.
    ASSERT_EQ(engine.Play(), S_OK);
    EXPECT_TRUE(
        PumpUntil([&] { return tap.Frames().size() > shown + 5; }, std::chrono::seconds(5)));
}
