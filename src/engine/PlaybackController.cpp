#include "engine/PlaybackController.h"

#include "core/SubjectAdapter.h"
#include "core/TimeText.h"
#include "engine/AspectRatioNames.h"
#include "engine/EngineState.h"
#include "engine/MediaEvents.h"

CPlaybackController::~CPlaybackController() {
    m_engine.Unsubscribe(this);
    // The parent may still be alive; it must not delete the embedded engine window later.
    m_engine.setParent(nullptr);
}

int CPlaybackController::Initialise(QWidget* parent) {
    m_parent = parent;
    m_aspectRatio = AspectRatioNames::FitSource;
    if (m_engine.Create(parent) == 0) {
        return 0;
    }
    m_state = EngineStateStopped();
    // The state follows the engine first, so that whoever hears the media event finds the
    // controller in its new state.
    const struct {
        const wchar_t* name;
        Handler handler;
    } states[] = {
        {EngineEvents::Playing, &CPlaybackController::OnPlaying},
        {EngineEvents::Paused, &CPlaybackController::OnPaused},
        {EngineEvents::Stopped, &CPlaybackController::OnStopped},
        {EngineEvents::Aborted, &CPlaybackController::OnAborted},
        {EngineEvents::Completed, &CPlaybackController::OnStopped},
        {EngineEvents::LoadFailed, &CPlaybackController::OnStopped},
    };
    for (const auto& state : states) {
        m_engine.Subscribe(this, state.name, RegisterHandler(state.handler));
    }
    static constexpr CEventRelayEntry kMediaEvents[] = {
        {EngineEvents::Loading, MediaEvents::Loading},
        {EngineEvents::Loaded, MediaEvents::Loaded},
        {EngineEvents::Playing, MediaEvents::Playing},
        {EngineEvents::Paused, MediaEvents::Paused},
        {EngineEvents::Stopped, MediaEvents::Stopped},
        {EngineEvents::Aborted, MediaEvents::Aborted},
        {EngineEvents::Completed, MediaEvents::Completed},
        {EngineEvents::LoadFailed, MediaEvents::LoadFailed},
        {EngineEvents::PositionChanged, MediaEvents::PositionChanged},
        {EngineEvents::VolumeChanged, MediaEvents::VolumeChanged},
        {EngineEvents::MuteChanged, MediaEvents::MuteChanged},
    };
    m_mediaEvents.Connect(m_engine, *this, kMediaEvents);
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

void CPlaybackController::SetPosition(double seconds) {
    m_engine.SetPosition(seconds);
    ReportSeeked();
}

void CPlaybackController::SeekBackward() {
    m_engine.SeekBackward();
    ReportSeeked();
}

void CPlaybackController::SeekForward() {
    m_engine.SeekForward();
    ReportSeeked();
}

void CPlaybackController::ReportSeeked() {
    if (m_engine.IsLoaded() != 0) {
        Raise(MediaEvents::Seeked, WholeSeconds(GetPosition()), WholeSeconds(GetDuration()));
    }
}

void CPlaybackController::OnTimer(int) {
    PlaybackTickSubject().Broadcast(L"TICK", static_cast<int>(GetPosition()));
}

void CPlaybackController::OnPlaying(ISubject*, EventArg, EventArg) {
    m_state = EngineStatePlaying();
}

void CPlaybackController::OnPaused(ISubject*, EventArg, EventArg) {
    m_state = EngineStatePaused();
}

void CPlaybackController::OnStopped(ISubject*, EventArg, EventArg) {
    m_state = EngineStateStopped();
}

void CPlaybackController::OnAborted(ISubject*, EventArg, EventArg) {
    m_state = EngineStateAborted();
}
