#include "platform/graph/WorkerThread.h"

#include <pthread.h>

namespace {
// The longest thread name the system keeps, without its terminating zero.
constexpr std::size_t kThreadNameMax = 15;
} // namespace

CWorkerThread::~CWorkerThread() {
    Close();
}

bool CWorkerThread::Create(const std::string& name) {
    std::lock_guard caller(m_callerLock);
    if (m_thread.joinable()) {
        return false;
    }
    m_name = name.substr(0, kThreadNameMax);
    {
        std::lock_guard lock(m_lock);
        m_running = true;
        m_pending = false;
        m_replied = false;
    }
    try {
        m_thread = std::thread(&CWorkerThread::Run, this);
    } catch (const std::system_error&) {
        std::lock_guard lock(m_lock);
        m_running = false;
        return false;
    }
    return true;
}

bool CWorkerThread::ThreadExists() const {
    return m_thread.joinable();
}

void CWorkerThread::Run() {
    if (!m_name.empty()) {
        pthread_setname_np(pthread_self(), m_name.c_str());
    }
    ThreadProc();
    std::lock_guard lock(m_lock);
    m_running = false;
    // A caller still waiting would otherwise never be answered.
    if (m_pending) {
        m_pending = false;
        m_replied = true;
        m_reply = E_UNEXPECTED;
    }
    m_changed.notify_all();
}

HRESULT CWorkerThread::CallWorker(int command) {
    std::lock_guard caller(m_callerLock);
    std::unique_lock lock(m_lock);
    if (!m_running) {
        return E_FAIL;
    }
    m_command = command;
    m_pending = true;
    m_replied = false;
    m_changed.notify_all();
    // Unlocked, so that the hook may wake a wait that looks at the request (CheckRequest).
    lock.unlock();
    OnRequestPosted();
    lock.lock();
    m_changed.wait(lock, [this] { return m_replied; });
    m_replied = false;
    return m_reply;
}

void CWorkerThread::Close() {
    std::lock_guard caller(m_callerLock);
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

int CWorkerThread::GetRequest() {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_pending; });
    return m_command;
}

bool CWorkerThread::CheckRequest(int* command) {
    std::lock_guard lock(m_lock);
    if (!m_pending) {
        return false;
    }
    if (command != nullptr) {
        *command = m_command;
    }
    return true;
}

void CWorkerThread::Reply(HRESULT result) {
    std::lock_guard lock(m_lock);
    if (!m_pending) {
        return;
    }
    m_pending = false;
    m_reply = result;
    m_replied = true;
    m_changed.notify_all();
}

void CWorkerThread::ThreadProc() {
    int command;
    while ((command = GetRequest()) != CMD_INIT) {
        OnWorkerNote(EWorkerNote::NotInit, command);
        Reply(E_UNEXPECTED);
    }
    OnWorkerNote(EWorkerNote::Initialising, command);
    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnWorkerNote(EWorkerNote::CreateFailed, hr);
        OnThreadDestroy();
        Reply(hr);
        return;
    }
    Reply(S_OK);

    do {
        command = GetRequest();
        switch (command) {
        case CMD_PAUSE:
        case CMD_RUN: {
            // Asked before the answer: the caller holds what WorkWanted may look at still.
            const bool work = WorkWanted();
            Reply(S_OK);
            if (work) {
                OnThreadStartPlay();
                DoWork();
            }
            break;
        }
        case CMD_STOP:
        case CMD_EXIT:
            Reply(S_OK);
            break;
        default:
            OnWorkerNote(EWorkerNote::UnknownCommand, command);
            Reply(E_NOTIMPL);
            break;
        }
    } while (command != CMD_EXIT);

    hr = OnThreadDestroy();
    if (FAILED(hr)) {
        OnWorkerNote(EWorkerNote::DestroyFailed, hr);
    }
}

bool CWorkerThread::StopRequestedWhileWorking() {
    int command;
    if (!CheckRequest(&command)) {
        return false;
    }
    if (command == CMD_STOP || command == CMD_EXIT) {
        return true;
    }
    if (command == CMD_PAUSE || command == CMD_RUN) {
        Reply(S_OK);
    } else {
        OnWorkerNote(EWorkerNote::UnexpectedCommand, command);
        Reply(E_UNEXPECTED);
    }
    return false;
}
