#pragma once
// SIGTERM (logout, `kill`) and SIGINT (Ctrl+C in a terminal) end the program through its normal
// exit path, so the graph stops, files close and settings are written as on a window close.
//
// While a CQuitSignals lives, either signal makes the Qt event loop of the thread that created it
// call onSignal once; what the program does then (close its main window, quit the loop) is the
// program's own exit path. The handler itself only writes the signal's number to a pipe, which is
// all a signal handler may safely do; a notifier on the pipe's other end brings it to the loop.
// The first signal also restores the default actions, so that a second one ends a program whose
// exit hangs.
//
// Threads: created, used and destroyed on the user-interface thread, after the QApplication and
// before anything that might install handlers of its own (SDL does unless told not to, see
// SdlSoundOutput.cpp). One at a time per process: while one lives, another (or one made when no
// pipe can be had) installs nothing. The destructor restores the handlers it found.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

class CQuitSignals : public QObject {
public:
    explicit CQuitSignals(std::function<void()> onSignal);
    ~CQuitSignals() override;
    CQuitSignals(const CQuitSignals&) = delete;
    CQuitSignals& operator=(const CQuitSignals&) = delete;

private:
    void OnReadable();

    std::function<void()> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_signalled = false;
};
