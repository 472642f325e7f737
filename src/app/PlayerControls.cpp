#include "app/PlayerControls.h"

#include "core/TimeText.h"
#include "engine/EngineEvents.h"
#include "engine/MediaEvents.h"
#include "playlist/ControlCenter.h"
#include "skin/controls/SkinCheck.h"
#include "skin/controls/SkinSlider.h"
#include "skin/controls/SkinString.h"

namespace Parts = PlayerControlParts;

CPlayerControls::CPlayerControls(CControlCenter& center)
    : m_center(center), m_controller(center.GetController()) {
    m_hoverHold.setSingleShot(true);
    // Precise, so the hold never ends before its time (a coarse timer may fire 5 % early).
    m_hoverHold.setTimerType(Qt::PreciseTimer);
    m_hoverHold.setInterval(CPlayerControlState::kHoverHoldMs);
    QObject::connect(&m_hoverHold, &QTimer::timeout, &m_hoverHold, [this] { OnHoverHoldEnded(); });

    m_state.SetVolume(m_controller.GetVolume());
    m_state.SetMute(m_controller.GetMute() != 0);
    const struct {
        ISubject* subject;
        const wchar_t* name;
        Handler handler;
    } events[] = {
        {&m_center, MediaEvents::Loaded, &CPlayerControls::OnMediaLoaded},
        {&m_center, MediaEvents::Playing, &CPlayerControls::OnMediaPlaying},
        {&m_center, MediaEvents::Paused, &CPlayerControls::OnMediaPaused},
        {&m_center, MediaEvents::Stopped, &CPlayerControls::OnMediaStopped},
        {&m_center, MediaEvents::Completed, &CPlayerControls::OnMediaEnded},
        {&m_center, MediaEvents::Aborted, &CPlayerControls::OnMediaEnded},
        {&m_center, MediaEvents::LoadFailed, &CPlayerControls::OnMediaEnded},
        {&m_center, MediaEvents::PositionChanged, &CPlayerControls::OnMediaPosition},
        {&m_controller, MediaEvents::VolumeChanged, &CPlayerControls::OnVolume},
        {&m_controller, MediaEvents::MuteChanged, &CPlayerControls::OnMute},
    };
    for (const auto& event : events) {
        event.subject->Subscribe(this, event.name, RegisterHandler(event.handler));
    }
}

CPlayerControls::~CPlayerControls() {
    m_center.Unsubscribe(this);
    m_controller.Unsubscribe(this);
}

void CPlayerControls::Publish(unsigned parts) {
    if (parts != 0) {
        Raise(kChanged, static_cast<EventArg>(parts), 0);
    }
}

void CPlayerControls::ShowHoveredTime(int seconds) {
    m_hoverHold.start();
    Publish(m_state.Hover(seconds));
}

void CPlayerControls::ReadPosition() {
    Publish(m_state.MoveTo(WholeSeconds(m_controller.GetPosition()),
                           WholeSeconds(m_controller.GetDuration())));
}

void CPlayerControls::OnHoverHoldEnded() {
    Publish(m_state.EndHoverHold());
}

void CPlayerControls::OnMediaLoaded(ISubject*, EventArg record, EventArg) {
    const auto* clip = reinterpret_cast<const CClipInfo*>(record);
    unsigned parts = m_state.Load(clip);
    if (clip != nullptr) {
        parts |= m_state.SetVolume(m_controller.GetVolume());
        parts |= m_state.SetMute(m_controller.GetMute() != 0);
    }
    Publish(parts);
}

void CPlayerControls::OnMediaPlaying(ISubject*, EventArg, EventArg) {
    Publish(m_state.SetPlayState(EPlayState::Playing));
}

void CPlayerControls::OnMediaPaused(ISubject*, EventArg, EventArg) {
    Publish(m_state.SetPlayState(EPlayState::Paused));
}

void CPlayerControls::OnMediaStopped(ISubject*, EventArg, EventArg) {
    Publish(m_state.Stop(m_controller.IsLoaded() != 0));
}

void CPlayerControls::OnMediaEnded(ISubject*, EventArg, EventArg) {
    Publish(m_state.End());
}

void CPlayerControls::OnMediaPosition(ISubject*, EventArg position, EventArg duration) {
    // The engine's whole seconds, already within int.
    Publish(m_state.MoveTo(static_cast<int>(position), static_cast<int>(duration)));
}

void CPlayerControls::OnVolume(ISubject*, EventArg volume, EventArg) {
    Publish(m_state.SetVolume(static_cast<int>(volume)));
}

void CPlayerControls::OnMute(ISubject*, EventArg flag, EventArg) {
    Publish(m_state.SetMute(flag != 0));
}

void ShowPlayerControls(const CPlayerControlState& state, unsigned parts,
                        const CPlayerControlWidgets& controls) {
    if ((parts & Parts::Play) != 0) {
        controls.play.SetPlayState(state.PlayState());
        controls.play.SetTooltipText(state.PlayTooltip());
        controls.play.update();
    }
    if ((parts & Parts::Seek) != 0) {
        controls.seek.setEnabled(state.IsSeekable());
        controls.seek.SetRange(state.Duration());
        controls.seek.SetPos(state.Position());
        controls.seek.update();
    }
    if ((parts & Parts::Time) != 0) {
        // Shown before the text is set: a hidden label does not redraw.
        controls.time.Show(state.IsTimeShown());
        controls.time.SetText(state.TimeText());
        controls.time.update();
    }
    if ((parts & Parts::Volume) != 0) {
        controls.volume.SetPos(state.Volume());
        controls.volume.update();
    }
    if ((parts & Parts::Mute) != 0) {
        controls.mute.SetCheck(state.IsMuted());
        controls.mute.update();
    }
}
