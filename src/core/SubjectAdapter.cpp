#include "core/SubjectAdapter.h"

CSubjectAdapter::~CSubjectAdapter() = default;

void CSubjectAdapter::AddObserver(IBroadcastReceiver* receiver) {
    m_receivers.insert(receiver);
}

void CSubjectAdapter::RemoveObserver(IBroadcastReceiver* receiver) {
    m_receivers.erase(receiver);
}

void CSubjectAdapter::Broadcast(const std::wstring& eventName, int value) {
    // Receivers may change the set from inside their call, so no iterator is kept across it: the
    // next receiver is looked up afresh after each call.
    for (auto it = m_receivers.begin(); it != m_receivers.end();) {
        IBroadcastReceiver* const receiver = *it;
        receiver->OnBroadcast(this, eventName, value);
        it = m_receivers.upper_bound(receiver);
    }
}

void CSubjectPlaybackTick::GetName(std::wstring& name) const {
    name = L"PLAYBACKTICK";
}

CSubjectPlaybackTick& PlaybackTickSubject() {
    static CSubjectPlaybackTick subject;
    return subject;
}
