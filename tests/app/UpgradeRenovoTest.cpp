#include "app/upgrade/InstallerDigest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"

namespace fs = std::filesystem;

namespace {

std::string DigestOf(const fs::path& path) {
    const int file = open(path.c_str(), O_RDONLY);
    const std::string digest = InstallerDigestOf(file).value_or("");
    close(file);
    return digest;
}

// A temporary folder holding the Installer folder with Renovo's copy in it, as the player leaves
// it, and an installer that notes its start in a log.
class UpgradeRenovoTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root / "Installer");
        fs::copy_file(QOR_RENOVO_PROGRAM, Renovo());
    }

    fs::path Renovo() const { return m_root / "Installer" / "Renovo"; }
    fs::path Log() const { return m_root / "order"; }
    std::string InstallerText(const std::string& words) const {
        return "#!/bin/sh\necho \"" + words + " $#\" >> '" + Log().string() + "'\n";
    }
    void WriteInstaller(const fs::path& path, const std::string& words) const {
        std::ofstream(path) << InstallerText(words);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    }

    CScratchFolder m_folder{"qor renovo"};
    const fs::path m_root = m_folder.Root();
};

// A stand-in player starts Renovo the way the upgrade check does, lingers, notes its exit and
// ends; the installer, not executable when downloaded, notes its start. Renovo must run it, and
// only after the player has gone.
TEST_F(UpgradeRenovoTest, RunsTheInstallerOnlyAfterThePlayerHasExited) {
    const fs::path log = Log();
    const fs::path installer = m_root / "Installer" / "qor_9.0.0.exe";
    WriteInstaller(installer, "installer ran");

    // Everything the stand-in player needs is made before the fork: it only calls the system.
    std::string program = Renovo().string();
    std::string argument = installer.string();
    std::string digest = DigestOf(installer);
    char* argv[] = {program.data(), argument.data(), digest.data(), nullptr};
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        variables.emplace_back(*variable);
    }
    variables.emplace_back();
    std::vector<char*> environment;
    for (std::string& variable : variables) {
        environment.push_back(variable.data());
    }
    environment.push_back(nullptr);
    const std::string exitLine = "player exits\n";
    const std::string logPath = log.string();

    const pid_t player = fork();
    ASSERT_GE(player, 0);
    if (player == 0) {
        char pidVariable[64];
        std::snprintf(pidVariable, sizeof(pidVariable), "QOR_PLAYER_PID=%d", getpid());
        environment[environment.size() - 2] = pidVariable;
        pid_t renovo = 0;
        if (posix_spawn(&renovo, argv[0], nullptr, nullptr, argv, environment.data()) != 0) {
            _exit(1);
        }
        usleep(400 * 1000);
        const int file = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const bool written =
            write(file, exitLine.data(), exitLine.size()) == static_cast<ssize_t>(exitLine.size());
        _exit(written ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(player, &status, 0), player);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadFile(log).find("installer") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    EXPECT_EQ(ReadFile(log), "player exits\ninstaller ran 0\n");
    EXPECT_NE(fs::status(installer).permissions() & fs::perms::owner_exec, fs::perms::none);
}

struct RefusalCase {
    const char* name;
    // Prepares the file and gives the path and digest Renovo is started with.
    std::function<std::pair<fs::path, std::string>()> arrange;
};

// Renovo starts nothing but the file the player verified, in the Installer folder; each refusal
// says why and leaves the file as it was, not executable. Started by hand (no player to wait
// for) and without a display, so a refusal ends at once with its line on standard error.
TEST_F(UpgradeRenovoTest, RefusesAnythingButTheVerifiedFileInTheInstallerFolder) {
    const fs::path installer = m_root / "Installer" / "qor_9.0.0.exe";
    const fs::path outside = m_root / "qor_9.0.0.exe";
    const RefusalCase cases[] = {
        {"another digest",
         [&] {
             WriteInstaller(installer, "installer ran");
             return std::pair(installer, std::string(64, 'a'));
         }},
        {"outside the Installer folder",
         [&] {
             WriteInstaller(outside, "outsider ran");
             return std::pair(outside, DigestOf(outside));
         }},
        {"outside through ..",
         [&] {
             WriteInstaller(outside, "outsider ran");
             return std::pair(m_root / "Installer" / ".." / "qor_9.0.0.exe", DigestOf(outside));
         }},
        {"swapped after verification",
         [&] {
             WriteInstaller(installer, "installer ran");
             const std::string verified = DigestOf(installer);
             WriteInstaller(installer, "swapped ran");
             return std::pair(installer, verified);
         }},
        {"swapped for a link to the verified bytes",
         [&] {
             WriteInstaller(outside, "linked ran");
             fs::create_symlink(outside, installer);
             return std::pair(installer, DigestOf(outside));
         }},
    };
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string text = *variable;
        if (!text.starts_with("DISPLAY=") && !text.starts_with("WAYLAND_DISPLAY=") &&
            !text.starts_with("QOR_PLAYER_PID=")) {
            environment.push_back(text);
        }
    }
    std::vector<char*> environmentPointers;
    for (std::string& variable : environment) {
        environmentPointers.push_back(variable.data());
    }
    environmentPointers.push_back(nullptr);
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(installer);
        fs::remove(outside);
        auto [path, digest] = c.arrange();
        const fs::path errors = m_root / "errors";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string program = Renovo().string();
        std::string argument = path.string();
        char* argv[] = {program.data(), argument.data(), digest.data(), nullptr};
        pid_t renovo = 0;
        ASSERT_EQ(
            posix_spawn(&renovo, argv[0], &actions, nullptr, argv, environmentPointers.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ASSERT_EQ(waitpid(renovo, &status, 0), renovo);

        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
        EXPECT_TRUE(ReadFile(errors).starts_with("Renovo: ")) << ReadFile(errors);
        EXPECT_EQ(ReadFile(Log()), "");
        for (const fs::path& file : {installer, outside}) {
            std::error_code error;
            const auto permissions = fs::status(file, error).permissions();
            EXPECT_TRUE(error || (permissions & fs::perms::owner_exec) == fs::perms::none);
        }
    }
}

} // namespace
