// Renovo: installs a release the player has downloaded.
//
//   Renovo <installer path>
//
// The player starts it as its own child, with QOR_PLAYER_PID set to the player's process id, and
// then closes. Renovo waits until the player has exited (its parent is no longer that process;
// a process that is not our parent is not waited for, so a start by hand does not wait), makes
// the installer executable for its owner and replaces itself with it. When the player does not
// exit in time or the installer cannot be started, a small window says so.
#include <QApplication>
#include <QMessageBox>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The player saves its playlist and releases the media graph while it closes; this is far more.
constexpr auto kPlayerExitLimit = std::chrono::seconds(60);
constexpr auto kPollPeriod = std::chrono::milliseconds(50);

int Fail(int argc, char** argv, const QString& text) {
    std::fprintf(stderr, "Renovo: %s\n", text.toLocal8Bit().constData());
    QApplication application(argc, argv);
    QMessageBox::critical(nullptr, QStringLiteral("Renovo"), text);
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: Renovo <installer path>\n");
        return EXIT_FAILURE;
    }
    const std::string installer = argv[1];
    const QString shown = QString::fromLocal8Bit(installer.c_str());
    if (!WaitForPlayerExit()) {
        return Fail(argc, argv,
                    QStringLiteral("The player is still running, so the new release was not "
                                   "installed. Close the player and run\n%1")
                        .arg(shown));
    }
    struct stat status {};
    if (stat(installer.c_str(), &status) != 0 ||
        chmod(installer.c_str(), status.st_mode | S_IXUSR) != 0) {
        const int error = errno;
        return Fail(argc, argv,
                    QStringLiteral("The installer\n%1\ncannot be made executable: %2")
                        .arg(shown, QString::fromLocal8Bit(std::strerror(error))));
    }
    char* installerArgv[] = {const_cast<char*>(installer.c_str()), nullptr};
    execv(installer.c_str(), installerArgv);
    const int error = errno;
    return Fail(argc, argv,
                QStringLiteral("The installer\n%1\ncannot be started: %2")
                    .arg(shown, QString::fromLocal8Bit(std::strerror(error))));
}
