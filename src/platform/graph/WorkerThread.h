#pragma once
// A thread that serves one request at a time: a caller posts a command and blocks until the
// thread replies. The source filter's demux worker and every output pin's delivery thread are
// built on it, both with the command loop of the default ThreadProc: they differ only in their
// work (DoWork), their thread hooks and their log lines (OnWorkerNote).
//
// Threads: CallWorker from any thread (callers are serialised, one request in flight); GetRequest,
// CheckRequest, Reply and every hook but OnRequestPosted only from the worker thread itself
// (inside ThreadProc).
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/graph/Result.h"

// Commands understood by the source filter's worker and by the pins' delivery threads.
enum EWorkerCommand : int { CMD_INIT = 0, CMD_PAUSE = 1, CMD_RUN = 2, CMD_STOP = 3, CMD_EXIT = 4 };

// What the command loop tells a derived worker about, so that it can log it in its own words.
enum class EWorkerNote {
    NotInit,           // value: a command that came before CMD_INIT (answered E_UNEXPECTED)
    Initialising,      // value: CMD_INIT
    CreateFailed,      // value: OnThreadCreate's result (the thread ends)
    UnknownCommand,    // value: the command (answered E_NOTIMPL)
    UnexpectedCommand, // value: a command other than pause, run, stop or exit during DoWork
    DestroyFailed      // value: OnThreadDestroy's result
};

class CWorkerThread {
public:
    CWorkerThread() = default;
    // Joins the thread. A derived class must end its thread (its exit command, then Close) in its
    // own destructor, because ThreadProc uses the derived members.
    virtual ~CWorkerThread();

    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts ThreadProc on a new thread, named `name` (cut to the system's 15 bytes) where tools
    // and tests see it (/proc/<pid>/task/<tid>/comm); false when a thread exists already or
    // cannot start.
    bool Create(const std::string& name = {});
    bool ThreadExists() const;

    // Posts the command, calls OnRequestPosted, and blocks until the worker replies, then returns
    // the reply. Woken by Reply, or by the thread procedure returning without a reply (then
    // E_UNEXPECTED). Without a running thread, E_FAIL at once.
    HRESULT CallWorker(int command);

    // Waits for the thread to end and releases it. Does not ask it to end.
    void Close();

protected:
    // The command loop: answers every command before CMD_INIT with E_UNEXPECTED; on CMD_INIT runs
    // OnThreadCreate and answers with its result (a failure ends the thread, after
    // OnThreadDestroy); then until CMD_EXIT answers stop and exit with S_OK, unknown commands with
    // E_NOTIMPL, and pause and run with S_OK, after which, when WorkWanted, it runs
    // OnThreadStartPlay and DoWork. OnThreadDestroy last.
    virtual void ThreadProc();
    virtual HRESULT OnThreadCreate() { return S_OK; }
    virtual HRESULT OnThreadDestroy() { return S_OK; }
    virtual HRESULT OnThreadStartPlay() { return S_OK; }
    // Asked, before the answer, on each pause or run: false answers it without working.
    virtual bool WorkWanted() { return true; }
    // Works until its work is done or StopRequestedWhileWorking says to stop. Every wait in it must
    // be woken by the commands that end it: by CallWorker's own wake-up (GetRequest) or through
    // OnRequestPosted. The default has no work.
    virtual HRESULT DoWork() { return S_OK; }
    virtual void OnWorkerNote(EWorkerNote, int) {}
    // Called by CallWorker on the caller's thread right after it posts a command, holding none of
    // this class's locks but the callers' one: a worker that waits on something of its own while
    // it works wakes that wait here, so that it answers at once.
    virtual void OnRequestPosted() {}

    // For DoWork, between its steps and inside its waits (it takes only the request lock): answers
    // a pending pause or run (S_OK) or another unexpected command (E_UNEXPECTED, noted) and
    // returns false; true, leaving it pending for the command loop to answer, when stop or exit
    // is pending. False without a pending command.
    bool StopRequestedWhileWorking();

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
    std::string m_name;                // written by Create before the thread starts
};
