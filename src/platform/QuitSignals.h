#pragma once
// SIGTERM (logout, `kill`, `timeout`) and SIGINT (Ctrl+C in a terminal) end the program through
// its normal exit path, so the graph stops, files close and settings are written as on a window
// close; and they end it within a bounded time whatever its user-interface thread is doing.
//
// While a CQuitSignals lives, the first of either signal makes the Qt event loop of the thread
// that created it call onSignal once; what the program does then (close its windows, leave its
// event loops) is the program's own exit path, which ends with the destruction of this object.
// The handler itself only writes to a pipe and posts a semaphore, which is all a signal handler
// may safely do; a notifier on the pipe's other end brings the signal to the loop.
//
// The exit has kQuitGracePeriod from the first signal:
// - a repeated signal within it is ignored: `timeout` and a signal to the process group deliver
//   two at once, and ending by the second would lose what the exit path saves;
// - once it has passed with this object still alive (a loop that never gets to the pipe, an exit
//   path that hangs), a watchdog thread ends the process by the first signal's default action,
//   and a repeated signal after it does so at once. The parent then sees the process killed by
//   that signal; a normal exit returns from main.
//
// Threads: created, used and destroyed on the user-interface thread; created after the
// QApplication and before anything that might install handlers of its own (SDL does unless told
// not to, see SdlSoundOutput.cpp). It may be destroyed after the QApplication, so that the grace
// period covers the application's own teardown; onSignal is not called once the application has
// gone. The watchdog thread is started here, waits blocked on a semaphore (posted by the first
// signal's handler and by the destructor) with every signal blocked, and is joined by the
// destructor. One at a time per process: while one lives, another (or one made when no pipe can
// be had) installs nothing. The destructor restores the handlers it found.
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <chrono>
#include <functional>
#include <thread>

// What the exit path may take from the first signal until this object is destroyed. The program
// must be gone within 2 s of a quit signal; forcing at 1.5 s leaves half a second for the kernel
// to end a large process on a loaded machine. The player's exit (stop, save the default playlist,
// release the graph, tear down) takes a few hundred milliseconds with a short playlist even with
// both cores busy; saving 100,000 rows (11 MB, synced) takes 0.9 s on such a machine
// (bench/playlist_bench), still inside the period. A save that a force cuts short leaves the
// previous playlist file whole, since the file is written beside it and renamed over it.
inline constexpr std::chrono::milliseconds kQuitGracePeriod{1500};

class CQuitSignals : public QObject {
public:
    explicit CQuitSignals(std::function<void()> onSignal);
    ~CQuitSignals() override;
    CQuitSignals(const CQuitSignals&) = delete;
    CQuitSignals& operator=(const CQuitSignals&) = delete;

private:
    void OnReadable();

    std::function<void()> m_onSignal;
    QPointer<QSocketNotifier> m_notifier; // owned by the application, deleted by either
    bool m_installed = false;
    std::thread m_watchdog;
    bool m_signalled = false;
};
