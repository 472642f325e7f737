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
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A stand-in player starts Renovo the way the upgrade check does, lingers, notes its exit and
// ends; the installer, not executable when downloaded, notes its start. Renovo must run it, and
// only after the player has gone.
TEST(UpgradeRenovoTest, RunsTheInstallerOnlyAfterThePlayerHasExited) {
    std::string pattern = (fs::temp_directory_path() / "qor renovo XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    const fs::path log = root / "order";
    const fs::path installer = root / "qor_9.0.0.exe";
    std::ofstream(installer) << "#!/bin/sh\necho \"installer ran $#\" >> '" << log.string()
                             << "'\n";
    fs::permissions(installer, fs::perms::owner_read | fs::perms::owner_write);

    // Everything the stand-in player needs is made before the fork: it only calls the system.
    std::string program = QOR_RENOVO_PROGRAM;
    std::string argument = installer.string();
    char* argv[] = {program.data(), argument.data(), nullptr};
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
    fs::remove_all(root);
}

} // namespace
