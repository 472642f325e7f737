// The development player as a user runs it: started in a terminal from the clip's folder with a
// relative name, then ended by SIGTERM (logout, kill) or SIGINT (Ctrl+C) while it plays.
#include "MediaFixture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the player may take from a signal to its exit, and what it may take to start playing on
// a busy machine.
constexpr auto kExitLimit = 2s;
constexpr auto kStartLimit = 20s;
// The sound renderer names its output once SDL's audio runs, which is when SDL would take the
// signals.
constexpr char kPlayingLine[] = "playing through SDL";

std::string TenSecondClip() {
    return MakeMedia("devplayer_av_10s.mp4",
                     {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=10", "-f",
                      "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=10", "-c:v",
                      "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                      "-shortest"});
}

class CPlayerProcess {
public:
    // Runs the player in folder on the relative name, its output into a pipe. The safety limit
    // ends it should it ignore the signal.
    CPlayerProcess(const std::string& folder, const std::string& dataHome,
                   const std::string& name) {
        std::vector<std::string> variables{"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy",
                                           "XDG_DATA_HOME=" + dataHome};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with("QT_QPA_PLATFORM=") && !text.starts_with("SDL_AUDIODRIVER=") &&
                !text.starts_with("XDG_DATA_HOME=")) {
                variables.emplace_back(text);
            }
        }
        std::vector<char*> envp;
        for (std::string& variable : variables) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        std::string program = QOR_DEVPLAYER;
        std::string limitFlag = "--quit-after";
        std::string limit = "15";
        std::string file = name;
        char* argv[] = {program.data(), limitFlag.data(), limit.data(), file.data(), nullptr};

        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            // Async-signal-safe calls only between fork and exec.
            dup2(ends[1], STDOUT_FILENO);
            dup2(ends[1], STDERR_FILENO);
            if (chdir(folder.c_str()) == 0) {
                execve(argv[0], argv, envp.data());
            }
            _exit(127);
        }
        close(ends[1]);
        m_output = ends[0];
    }

    ~CPlayerProcess() {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0) {
            close(m_output);
        }
    }
    CPlayerProcess(const CPlayerProcess&) = delete;
    CPlayerProcess& operator=(const CPlayerProcess&) = delete;

    bool Started() const { return m_pid > 0 && m_output >= 0; }
    const std::string& Output() const { return m_text; }

    // Collects output until it holds the text or the deadline passes.
    bool WaitForOutput(std::string_view text, Clock::time_point deadline) {
        while (m_text.find(text) == std::string::npos) {
            if (Clock::now() >= deadline || !ReadOutput(deadline)) {
                return false;
            }
        }
        return true;
    }

    // Whether the process is still running; reaps it when it has ended.
    bool Running() {
        if (m_exited) {
            return false;
        }
        m_exited = waitpid(m_pid, &m_status, WNOHANG) == m_pid;
        return !m_exited;
    }

    // Waits for the exit, draining the output meanwhile; false when the deadline passed first.
    bool WaitForExit(Clock::time_point deadline) {
        while (Running()) {
            if (Clock::now() >= deadline) {
                return false;
            }
            ReadOutput(std::min(deadline, Clock::now() + 10ms));
        }
        return true;
    }

    pid_t Pid() const { return m_pid; }
    int Status() const { return m_status; }

private:
    // False at the end of the output.
    bool ReadOutput(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{m_output, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0) {
            return true;
        }
        char buffer[4096];
        const ssize_t length = read(m_output, buffer, sizeof buffer);
        if (length <= 0) {
            std::this_thread::sleep_for(std::min(deadline - Clock::now(), Clock::duration(10ms)));
            return length < 0 && errno == EINTR;
        }
        m_text.append(buffer, static_cast<std::size_t>(length));
        return true;
    }

    pid_t m_pid = -1;
    int m_output = -1;
    bool m_exited = false;
    int m_status = 0;
    std::string m_text;
};

} // namespace

TEST(DevPlayerTimed, SigtermAndSigintWhilePlayingEndItThroughItsNormalExit) {
    const std::string clip = TenSecondClip();
    ASSERT_FALSE(clip.empty());
    QTemporaryDir dataHome;
    ASSERT_TRUE(dataHome.isValid());
    const std::filesystem::path clipPath(clip);
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        CPlayerProcess player(clipPath.parent_path().string(), dataHome.path().toStdString(),
                              clipPath.filename().string());
        ASSERT_TRUE(player.Started());
        ASSERT_TRUE(player.WaitForOutput(kPlayingLine, Clock::now() + kStartLimit))
            << player.Output();
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(player.Running()) << player.Output();

        const auto sent = Clock::now();
        ASSERT_EQ(kill(player.Pid(), signal), 0);
        const bool exited = player.WaitForExit(sent + kExitLimit);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
        std::printf("%s: the player ended %lld ms after the signal\n", strsignal(signal),
                    static_cast<long long>(took.count()));
        ASSERT_TRUE(exited) << "still running " << took.count() << " ms after the signal";
        EXPECT_TRUE(WIFEXITED(player.Status())) << "ended by the signal itself";
        EXPECT_EQ(WEXITSTATUS(player.Status()), 0) << player.Output();
    }
}
