#include "core/EventRelay.h"

CEventRelay::~CEventRelay() {
    Disconnect();
}

void CEventRelay::Connect(ISubject& source, ISubject& target,
                          std::span<const CEventRelayEntry> table) {
    Disconnect();
    m_source = &source;
    m_target = &target;
    for (const CEventRelayEntry& entry : table) {
        m_targetNames.emplace_back(entry.to);
        source.Subscribe(this, entry.from, static_cast<int>(m_targetNames.size() - 1));
    }
}

void CEventRelay::Disconnect() {
    if (m_source != nullptr) {
        m_source->Unsubscribe(this);
    }
    m_source = nullptr;
    m_target = nullptr;
    m_targetNames.clear();
}

void CEventRelay::Notify(ISubject* /*sender*/, std::wstring /*eventName*/, int handlerId,
                         EventArg arg1, EventArg arg2) {
    if (m_target == nullptr || handlerId < 0 ||
        static_cast<std::size_t>(handlerId) >= m_targetNames.size()) {
        return;
    }
    // Copied: a handler on the target may reconnect this relay and so clear the table.
    ISubject* const target = m_target;
    const std::wstring name = m_targetNames[static_cast<std::size_t>(handlerId)];
    target->Raise(name, arg1, arg2);
}
