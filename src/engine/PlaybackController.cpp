#include "engine/PlaybackController.h"

#include "core/SubjectAdapter.h"
#include "engine/EngineState.h"

CPlaybackController::~CPlaybackController() {
    m_engine.Unsubscribe(this);
    // The parent may still be alive; it must not delete the embedded engine window later.
    m_engine.setParent(nullptr);
}

int CPlaybackController::Initialise(QWidget* parent) {
    m_parent = parent;
    m_aspectRatio = L"FITSOURCE";
    if (m_engine.Create(parent) == 0) {
        return 0;
    }
    m_state = EngineStateStopped();
    const struct {
        const wchar_t* name;
        void (CPlaybackController::*handler)(ISubject*, EventArg, EventArg);
    } subscriptions[] = {
        {L"Loading", &CPlaybackController::OnLoading},
        {L"Loaded", &CPlaybackController::OnLoaded},
        {L"Playing", &CPlaybackController::OnPlaying},
        {L"Paused", &CPlaybackController::OnPaused},
        {L"Stopped", &CPlaybackController::OnStopped},
        {L"Aborted", &CPlaybackController::OnAborted},
        {L"Completed", &CPlaybackController::OnCompleted},
        {L"LoadFailed", &CPlaybackController::OnLoadFailed},
        {L"PositionChanged", &CPlaybackController::OnPositionChanged},
        {L"VolumeChanged", &CPlaybackController::OnVolumeChanged},
        {L"MuteChanged", &CPlaybackController::OnMuteChanged},
    };
    for (const auto& subscription : subscriptions) {
        m_engine.Subscribe(this, subscription.name, RegisterHandler(subscription.handler));
    }
    return 1;
}

int CPlaybackController::Shutdown() {
    m_engine.ReleaseGraph();
    m_engine.hide();
    m_engine.setParent(nullptr);
    return 1;
}

int CPlaybackController::Load(CClipInfo* item) {
    if (m_engine.Load(item) == 0) {
        return 0;
    }
    m_state = EngineStateLoaded();
    return 1;
}

void CPlaybackController::PlayPause() {
    if (m_state != nullptr) {
        m_state->PlayPause(m_engine);
    }
}

void CPlaybackController::Stop() {
    if (m_state != nullptr) {
        m_state->Stop(m_engine);
    }
}

void CPlaybackController::Abort() {
    if (m_state != nullptr) {
        m_state->Abort(m_engine);
    }
}

void CPlaybackController::GetStateName(std::wstring& name) const {
    if (m_state != nullptr) {
        m_state->GetName(name);
    } else {
        name.clear();
    }
}

void CPlaybackController::OnTimer(int) {
    PlaybackTickSubject().Broadcast(L"TICK", static_cast<int>(GetPosition()));
}

void CPlaybackController::OnLoading(ISubject*, EventArg arg1, EventArg arg2) {
    Raise(L"MediaLoading", arg1, arg2);
}

void CPlaybackController::OnLoaded(ISubject*, EventArg arg1, EventArg arg2) {
    Raise(L"MediaLoaded", arg1, arg2);
}

void CPlaybackController::OnPlaying(ISubject*, EventArg arg1, EventArg arg2) {
    m_state = EngineStatePlaying();
    Raise(L"MediaPlaying", arg1, arg2);
}

void CPlaybackController::OnPaused(ISubject*, EventArg arg1, EventArg arg2) {
    m_state = EngineStatePaused();
    Raise(L"MediaPaused", arg1, arg2);
}

void CPlaybackController::OnStopped(ISubject*, EventArg arg1, EventArg arg2) {
    m_state = EngineStateStopped();
    Raise(L"MediaStopped", arg1, arg2);
}

void CPlaybackController::OnAborted(ISubject*, EventArg arg1, EventArg arg2) {
    m_state = EngineStateAborted();
    Raise(L"MediaAborted", arg1, arg2);
}

void CPlaybackController::OnCompleted(ISubject*, EventArg arg1, EventArg arg2) {
    m_state = EngineStateStopped();
    Raise(L"MediaCompleted", arg1, arg2);
}

void CPlaybackController::OnLoadFailed(ISubject*, EventArg arg1, EventArg arg2) {
    m_state = EngineStateStopped();
    Raise(L"MediaLoadFailed", arg1, arg2);
}

void CPlaybackController::OnPositionChanged(ISubject*, EventArg arg1, EventArg arg2) {
    Raise(L"MediaPositionChanged", arg1, arg2);
}

void CPlaybackController::OnVolumeChanged(ISubject*, EventArg arg1, EventArg arg2) {
    Raise(L"VolumeChanged", arg1, arg2);
}

void CPlaybackController::OnMuteChanged(ISubject*, EventArg arg1, EventArg arg2) {
    Raise(L"MuteChanged", arg1, arg2);
}
