// The player: qor [FILE|FOLDER...]
// The named files and folders are appended to the playlist restored from the last run, and the
// last one plays. A second start hands its files to the running player, which appends them and
// plays the first of them, and brings its window forward.
// On the session bus the player is a desktop media player (MPRIS), for media keys and applets.
// Closing the window, SIGTERM, SIGINT and the end of the desktop session all end the program the
// same way, whatever dialog is open: playback stops and the playlist is saved as the default
// playlist.
#include <QApplication>
#include <QSessionManager>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main/MainWnd.h"
#include "app/mpris/MprisService.h"
#include "app/startup/AppQuit.h"
#include "app/startup/QorApp.h"
#include "app/upgrade/UpgradeCheck.h"
#include "core/WideText.h"
#include "platform/QuitSignals.h"

namespace {

std::unique_ptr<CMainWnd> MakeMainWindow(CControlCenter& center, ISubject& application) {
    auto window = std::make_unique<CMainWnd>(center, application);
    if (!window->CreateMainWindow()) {
        return nullptr;
    }
    // An upgrader that has started closes the player, the normal way, so it can be replaced.
    // The window outlives the check: the application's end stops it first.
    CMainWnd* closing = window.get();
    window->SetUpgradeCheck([closing] { StartUpgradeCheck([closing] { closing->close(); }); });
    return window;
}

} // namespace

int main(int argc, char** argv) {
    // Destroyed last, so that the quit signals' grace period covers the whole exit, the
    // application's teardown included; made once the application exists, and before the engine
    // starts the sound, whose library would take the signals.
    std::optional<CQuitSignals> quitSignals;
    QApplication application(argc, argv);
    CAppQuit quit;
    quitSignals.emplace([&quit] { quit.Quit(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest,
                     [&quit](QSessionManager&) { quit.Quit(); });
    CMainWnd* mainWindow = nullptr;
    CQorApp player([&mainWindow](CControlCenter& center, ISubject& subject) {
        std::unique_ptr<CMainWnd> window = MakeMainWindow(center, subject);
        mainWindow = window.get();
        return std::unique_ptr<QWidget>(std::move(window));
    });

    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        // The argument's bytes name the file, whatever they hold.
        arguments.push_back(PathFromBytes(argv[i]));
    }
    if (!player.InitInstance(arguments)) {
        return 0;
    }
    // The window's close is the exit path; before it exists there is nothing to save.
    quit.SetMainWindow(player.GetMainWindow());
    // Media keys and the desktop's player widgets; gone before the window and the center.
    const CMprisService mpris(player.GetControlCenter(), mainWindow->PlayerControls(), *mainWindow,
                              [&quit] { quit.Quit(); });
    return application.exec();
}
