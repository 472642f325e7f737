#include "platform/graph/WorkerThread.h"

CWorkerThread::~CWorkerThread() {
    Close();
}

bool CWorkerThread::Create() {
    std::lock_guard caller(m_callerLock);
    if (m_thread.joinable()) {
        return false;
    }
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
