#include "platform/graph/GraphEventQueue.h"

#include <QCoreApplication>
#include <chrono>

#include "platform/graph/FilterGraph.h"

HRESULT CGraphEventQueue::SetNotifyWindow(QObject* target, int message, std::intptr_t param) {
    if (target != nullptr && !CGraphNotifyEvent::IsValidMessage(message)) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(m_lock);
    m_target = target;
    m_message = message;
    m_param = param;
    return S_OK;
}

void CGraphEventQueue::Post(const CGraphEvent& event) {
    std::lock_guard lock(m_lock);
    m_events.push_back(event);
    m_arrived.notify_all();
    if (m_target != nullptr) {
        QCoreApplication::postEvent(m_target, new CGraphNotifyEvent(m_message, m_param));
    }
}

bool CGraphEventQueue::Take(CGraphEvent* event, int timeoutMs) {
    std::unique_lock lock(m_lock);
    const auto ready = [this] { return !m_events.empty(); };
    if (timeoutMs < 0) {
        m_arrived.wait(lock, ready);
    } else if (!m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    *event = m_events.front();
    m_events.pop_front();
    return true;
}
