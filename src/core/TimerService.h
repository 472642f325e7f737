#pragma once

// Periodic calls on the user-interface thread, identified by a numeric timer id from
// core/TimerIds.h (the engine's position timer, the control center's navigation delay). The ids
// of the main window's own timers must not be used here.
//
// Threading: the user-interface thread (the thread of the QCoreApplication) alone starts, stops
// and receives; calls run from its event loop between other events. Nothing is locked.
//
// Ownership: the service owns one QTimer per running id and never owns a client. A client calls
// StopTimer for each of its ids before it is destroyed.

// Receiver of timer calls.
class ITimerClient {
public:
    // Called once per expiry with the id it was started under. It may call StartTimer and
    // StopTimer for any id, its own included.
    virtual void OnTimer(int timerId) = 0;

protected:
    ~ITimerClient() = default; // the service never deletes a client
};

// Starts the timer, or restarts it when the id is running: one timer remains, with the new period
// and client, counting from now. A call that comes late is not made up; periods under 10 ms run
// at 10 ms. Returns timerId, or -1 with a log line when there is no QCoreApplication or the caller
// is not on its thread (no timer could run there).
int StartTimer(int timerId, int periodMs, ITimerClient* client);

// Stops the timer; no call for it follows, even if it was already due. Returns 0, or -1 when the
// id is not running or, with a log line, when called off the user-interface thread; then nothing
// happens.
int StopTimer(int timerId);
