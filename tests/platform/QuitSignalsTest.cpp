// The quit signals as a program receives them from outside: the signals are sent to a child
// program (QuitSignalsChild.cpp) whose exit path takes a chosen time, and its end is timed.
#include "platform/QuitSignals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestFiles.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Start-up of the child under a sanitizer on a loaded machine.
constexpr auto kReadyTimeout = std::chrono::seconds(20);
// The end must come within this of the first signal, whichever way.
constexpr auto kQuitLimit = std::chrono::seconds(2);
constexpr auto kPollInterval = milliseconds(2);

struct CSentSignal {
    int number;
    milliseconds after; // after the previous one (the first: after "ready")
};

struct CChildEnd {
    int status = -1;
    milliseconds sinceFirstSignal{-1};
    std::string output;
};

// Starts the child, sends the signals once it is ready and waits for its end.
CChildEnd RunChild(const std::vector<std::string>& arguments,
                   const std::vector<CSentSignal>& signals) {
    const CScratchFolder folder("quit_signals");
    const std::string output = folder.Root() + "out";
    std::vector<std::string> words{QOR_QUIT_SIGNALS_CHILD};
    words.insert(words.end(), arguments.begin(), arguments.end());
    CChildProcess child;
    CChildEnd end;
    if (!child.StartWritingTo(output, words)) {
        ADD_FAILURE() << "cannot start " << words[0];
        return end;
    }
    const auto readyDeadline = Clock::now() + kReadyTimeout;
    while (ReadFile(output).find("ready") == std::string::npos && Clock::now() < readyDeadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
    EXPECT_NE(ReadFile(output).find("ready"), std::string::npos);

    Clock::time_point first;
    for (std::size_t i = 0; i < signals.size(); ++i) {
        std::this_thread::sleep_for(signals[i].after);
        if (i == 0) {
            first = Clock::now();
        }
        child.Signal(signals[i].number);
    }
    // Waits past the limit, so that a late end is measured rather than cut off.
    end.status =
        child.Wait(std::chrono::duration_cast<milliseconds>(first + 2 * kQuitLimit - Clock::now()));
    end.sinceFirstSignal = std::chrono::duration_cast<milliseconds>(Clock::now() - first);
    end.output = ReadFile(output);
    return end;
}

} // namespace

// A repeated signal within the grace period never cuts the exit path short; an exit that does
// not finish within it (a user-interface thread that never returns to its loop, an exit path
// that hangs) is forced by the first signal's default action, still within 2 s.
TEST(QuitSignalsTimed, EndNormallyWithinTheGracePeriodOrByForceAfterIt) {
    const milliseconds grace = kQuitGracePeriod;
    struct CCase {
        const char* what;
        std::vector<std::string> arguments;
        std::vector<CSentSignal> signals;
        bool normalEnd; // exit 0 after "saved"; otherwise killed by the first signal
        milliseconds atLeast;
        milliseconds below;
    };
    const CCase cases[] = {
        {"two SIGTERMs 10 ms apart, as timeout sends them, and a 300 ms exit",
         {"exit", "300"},
         {{SIGTERM, milliseconds(0)}, {SIGTERM, milliseconds(10)}},
         true,
         milliseconds(300),
         grace},
        {"two SIGINTs 10 ms apart and a 300 ms exit",
         {"exit", "300"},
         {{SIGINT, milliseconds(0)}, {SIGINT, milliseconds(10)}},
         true,
         milliseconds(300),
         grace},
        {"a SIGTERM, a SIGINT 500 ms later and an 800 ms exit",
         {"exit", "800"},
         {{SIGTERM, milliseconds(0)}, {SIGINT, milliseconds(500)}},
         true,
         milliseconds(800),
         grace},
        {"a SIGTERM to a user-interface thread that never returns to its loop",
         {"busy"},
         {{SIGTERM, milliseconds(0)}},
         false,
         grace,
         kQuitLimit},
        {"two SIGINTs 300 ms apart and an exit that hangs",
         {"exit", "5000"},
         {{SIGINT, milliseconds(0)}, {SIGINT, milliseconds(300)}},
         false,
         grace,
         kQuitLimit},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.what);
        const CChildEnd end = RunChild(c.arguments, c.signals);
        std::printf("%s: ended after %lld ms\n", c.what,
                    static_cast<long long>(end.sinceFirstSignal.count()));
        if (c.normalEnd) {
            EXPECT_TRUE(WIFEXITED(end.status) && WEXITSTATUS(end.status) == 0) << end.status;
            EXPECT_NE(end.output.find("saved"), std::string::npos);
        } else {
            EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == c.signals[0].number)
                << end.status;
            EXPECT_EQ(end.output.find("saved"), std::string::npos);
        }
        EXPECT_GE(end.sinceFirstSignal, c.atLeast);
        EXPECT_LT(end.sinceFirstSignal, c.below);
    }
}
