// Renovo: installs a release the player has downloaded and verified.
//
//   Renovo <installer path> <digest>
//
// The player copies Renovo into its Installer folder, starts that copy as its own child with
// QOR_PLAYER_PID set to the player's process id, and then closes. Renovo waits until the player
// has exited (its parent is no longer that process; a process that is not our parent is not
// waited for, so a start by hand does not wait), then runs the installer only if it is a regular
// file directly in Renovo's own folder (the Installer folder) whose SHA-256 is still the digest
// the player verified (InstallerDigest.h): the digest is computed from the very descriptor that
// is made executable and started, so a file swapped after the player's check is never run.
// When anything is refused or fails, a line on standard error and, where a display is there, a
// small window say so.
#include "app/upgrade/InstallerDigest.h"

#include <QApplication>
#include <QMessageBox>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

extern char** environ;

namespace {

// The player saves its playlist and releases the media graph while it closes; this is far more.
constexpr auto kPlayerExitLimit = std::chrono::seconds(60);
constexpr auto kPollPeriod = std::chrono::milliseconds(50);

int Fail(int argc, char** argv, const QString& text) {
    std::fprintf(stderr, "Renovo: %s\n", text.toLocal8Bit().constData());
    // Without a display there is nobody to read a window, and Qt could not open one.
    if (std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr) {
        QApplication application(argc, argv);
        QMessageBox::critical(nullptr, QStringLiteral("Renovo"), text);
    }
    return EXIT_FAILURE;
}

bool WaitForPlayerExit() {
    const char* value = std::getenv("QOR_PLAYER_PID");
    const pid_t player = value != nullptr ? static_cast<pid_t>(std::atol(value)) : 0;
    const auto deadline = std::chrono::steady_clock::now() + kPlayerExitLimit;
    while (player > 0 && getppid() == player) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
    return true;
}

// The folder this program runs from, all links resolved: the player's Installer folder.
std::filesystem::path OwnFolder() {
    std::error_code error;
    return std::filesystem::canonical("/proc/self/exe", error).parent_path();
}

bool IsDigestText(const std::string& text) {
    return text.size() == kInstallerDigestHexLength &&
           text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || argv[1][0] == '\0' || !IsDigestText(argv[2])) {
        std::fprintf(stderr, "usage: Renovo <installer path> <sha-256 digest>\n");
        return EXIT_FAILURE;
    }
    const std::string installer = argv[1];
    const std::string expectedDigest = argv[2];
    const QString shown = QString::fromLocal8Bit(installer.c_str());
    if (!WaitForPlayerExit()) {
        return Fail(argc, argv,
                    QStringLiteral("The player is still running, so the new release was not "
                                   "installed. Close the player and start the upgrade again."));
    }
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::canonical(std::filesystem::path(installer).parent_path(), error);
    if (error || folder != OwnFolder()) {
        return Fail(argc, argv,
                    QStringLiteral("The file\n%1\nis not in the Installer folder, so it was not "
                                   "started.")
                        .arg(shown));
    }
    // Not closed on exec: a script is started through /proc/self/fd, which must stay open.
    const int file = open(installer.c_str(), O_RDONLY | O_NOFOLLOW);
    struct stat status {};
    if (file < 0 || fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        return Fail(argc, argv,
                    QStringLiteral("The installer\n%1\nis missing or not a plain file, so it was "
                                   "not started.")
                        .arg(shown));
    }
    if (InstallerDigestOf(file) != expectedDigest) {
        return Fail(argc, argv,
                    QStringLiteral("The installer\n%1\nis not the file the player verified (its "
                                   "contents have changed), so it was not started.")
                        .arg(shown));
    }
    if (fchmod(file, status.st_mode | S_IXUSR) != 0) {
        const int failure = errno;
        return Fail(argc, argv,
                    QStringLiteral("The installer\n%1\ncannot be made executable: %2")
                        .arg(shown, QString::fromLocal8Bit(std::strerror(failure))));
    }
    char* installerArgv[] = {const_cast<char*>(installer.c_str()), nullptr};
    fexecve(file, installerArgv, environ);
    const int failure = errno;
    return Fail(argc, argv,
                QStringLiteral("The installer\n%1\ncannot be started: %2")
                    .arg(shown, QString::fromLocal8Bit(std::strerror(failure))));
}
