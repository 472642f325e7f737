#pragma once
// A thread that serves one request at a time: a caller posts a command and blocks until the
// thread replies. The source filter's demux worker and every output pin's delivery thread are
// built on it.
//
// Threads: CallWorker from any thread (callers are serialised, one request in flight); GetRequest,
// CheckRequest and Reply only from the worker thread itself (inside ThreadProc).
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/graph/Result.h"

// Commands understood by the source filter's worker and by the pins' delivery threads.
enum EWorkerCommand : int { CMD_INIT = 0, CMD_PAUSE = 1, CMD_RUN = 2, CMD_STOP = 3, CMD_EXIT = 4 };

class CWorkerThread {
public:
    CWorkerThread() = default;
    // Joins the thread. A derived class must end its thread (its exit command, then Close) in its
    // own destructor, because ThreadProc uses the derived members.
    virtual ~CWorkerThread();

    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts ThreadProc on a new thread; false when a thread exists already or cannot start.
    bool Create();
    bool ThreadExists() const;

    // Posts the command and blocks until the worker replies, then returns the reply. Woken by
    // Reply, or by the thread procedure returning without a reply (then E_UNEXPECTED). Without a
    // running thread, E_FAIL at once.
    HRESULT CallWorker(int command);

    // Waits for the thread to end and releases it. Does not ask it to end.
    void Close();

protected:
    virtual void ThreadProc() = 0;

    // Blocks until a command is pending (woken by CallWorker) and returns it. The command stays
    // pending until Reply, so a later GetRequest or CheckRequest sees it again.
    int GetRequest();
    // Without waiting: true and the pending command, or false when none is pending.
    bool CheckRequest(int* command);
    // Answers the pending command and wakes its caller.
    void Reply(HRESULT result);

private:
    void Run();

    std::mutex m_callerLock; // serialises CallWorker callers; taken before m_lock
    std::mutex m_lock;
    std::condition_variable m_changed; // signalled on a new request, a reply, and thread end
    bool m_pending = false;            // guarded by m_lock
    int m_command = 0;                 // guarded by m_lock
    bool m_replied = false;            // guarded by m_lock
    HRESULT m_reply = S_OK;            // guarded by m_lock
    bool m_running = false;            // guarded by m_lock: ThreadProc has not returned yet
    std::thread m_thread;              // Create/Close/destructor, one thread at a time
};
