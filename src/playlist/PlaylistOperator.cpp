#include "playlist/PlaylistOperator.h"

#include "playlist/PlaylistEvents.h"

void CPlaylistOperator::Attach(IPlaylistAdapter* adapter) {
    m_adapter = adapter;
    SetLoopMode(LoopModeNames::PlaylistLoop);
    if (auto* listEvents = dynamic_cast<ISubject*>(adapter)) {
        listEvents->Subscribe(this, PlaylistEvents::ListItemActived,
                              RegisterHandler(&CPlaylistOperator::OnListItemActived));
    }
}

void CPlaylistOperator::SetLoopMode(const std::wstring& name) {
    m_loopMode = &FindLoopMode(name);
    Raise(PlaylistEvents::LoopModeChanged, reinterpret_cast<EventArg>(&m_loopMode->GetName()),
          reinterpret_cast<EventArg>(m_loopMode));
}

int CPlaylistOperator::GetItemCount() const {
    return m_adapter == nullptr ? 0 : m_adapter->GetItemCount();
}

bool CPlaylistOperator::IsEmpty() const {
    return GetItemCount() <= 0;
}

void CPlaylistOperator::Prepare() {
    if (m_adapter->GetActiveItem() == -1) {
        m_adapter->SetActiveItem(0);
    }
    m_adapter->EnsureVisible(m_adapter->GetActiveItem());
}

bool CPlaylistOperator::IsReady() {
    if (IsEmpty()) {
        return false;
    }
    Prepare();
    return true;
}

CClipInfo* CPlaylistOperator::GetCurrentItem() {
    return IsReady() ? m_loopMode->GetCurrent(*this) : nullptr;
}

CClipInfo* CPlaylistOperator::MoveFirst() {
    return IsEmpty() ? nullptr : m_loopMode->First(*this);
}

CClipInfo* CPlaylistOperator::MoveLast() {
    return IsEmpty() ? nullptr : m_loopMode->Last(*this);
}

bool CPlaylistOperator::HasPrevious() {
    return IsReady() && m_loopMode->HasPrevious(*this);
}

bool CPlaylistOperator::HasNext() {
    return IsReady() && m_loopMode->HasNext(*this);
}

CClipInfo* CPlaylistOperator::MovePrevious() {
    return HasPrevious() ? m_loopMode->Previous(*this) : nullptr;
}

CClipInfo* CPlaylistOperator::MoveNext() {
    return HasNext() ? m_loopMode->Next(*this) : nullptr;
}

bool CPlaylistOperator::AreAllItemsFailed() const {
    return m_adapter == nullptr || m_adapter->AreAllItemsFailed();
}

void CPlaylistOperator::OnListItemActived(ISubject* /*sender*/, EventArg row, EventArg arg2) {
    Raise(PlaylistEvents::ListItemActived, row, arg2);
}
