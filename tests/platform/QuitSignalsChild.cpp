// The program the quit-signal tests start: a Qt event loop with the quit signals installed, and
// an exit path of a chosen length.
//   quit_signals_child exit MS  on the quit signal the user-interface thread spends MS
//                               milliseconds (as the player's exit saves its playlist), prints
//                               "saved" and leaves the loop; the program returns 0
//   quit_signals_child busy     the user-interface thread never returns to its loop
// It prints "ready" once its loop runs with the signals installed.
#include "platform/QuitSignals.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::chrono::milliseconds exitTime(argc > 2 ? std::atoi(argv[2]) : 0);
    const CQuitSignals quitSignals([exitTime] {
        std::this_thread::sleep_for(exitTime);
        std::puts("saved");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(0, [&mode] {
        std::puts("ready");
        std::fflush(stdout);
        while (mode == "busy") {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    });
    return application.exec();
}
