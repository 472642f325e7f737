#include "app/PlayerControls.h"

#include <initializer_list>

#include "core/TimeText.h"
#include "engine/MediaEvents.h"
#include "playlist/ControlCenter.h"
#include "skin/SkinEvents.h"
#include "skin/controls/SkinCheck.h"
#include "skin/controls/SkinSlider.h"
#include "skin/controls/SkinString.h"

namespace Changes = PlayerControlChanges;

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

void CPlayerControls::Publish(unsigned changes) {
    if (changes != 0) {
        Raise(kChanged, static_cast<EventArg>(changes), 0);
    }
}

void CPlayerControls::Attach(const CPlayerControlWidgets& controls) {
    const struct {
        ISubject* control;
        const wchar_t* name;
        Handler handler;
    } events[] = {
        {&controls.play, SkinEvents::LeftClicked, &CPlayerControls::OnPlayClicked},
        {&controls.stop, SkinEvents::LeftClicked, &CPlayerControls::OnStopClicked},
        {&controls.previous, SkinEvents::LeftClicked, &CPlayerControls::OnPreviousClicked},
        {&controls.next, SkinEvents::LeftClicked, &CPlayerControls::OnNextClicked},
        {&controls.mute, SkinEvents::LeftClicked, &CPlayerControls::OnMuteClicked},
        {&controls.seek, SkinEvents::SliderPosChanged, &CPlayerControls::OnSeekChanged},
        {&controls.seek, SkinEvents::SliderPosHovered, &CPlayerControls::OnSeekHovered},
        {&controls.volume, SkinEvents::SliderPosChanged, &CPlayerControls::OnVolumeChanged},
    };
    for (const auto& event : events) {
        event.control->Subscribe(this, event.name, RegisterHandler(event.handler));
    }
}

void CPlayerControls::Detach(const CPlayerControlWidgets& controls) {
    for (ISubject* control : std::initializer_list<ISubject*>{
             &controls.play, &controls.stop, &controls.previous, &controls.next, &controls.mute,
             &controls.seek, &controls.volume}) {
        control->Unsubscribe(this);
    }
}

void CPlayerControls::ReadPosition() {
    Publish(m_state.MoveTo(WholeSeconds(m_controller.GetPosition()),
                           WholeSeconds(m_controller.GetDuration())));
}

void CPlayerControls::OnHoverHoldEnded() {
    Publish(m_state.EndHoverHold());
}

void CPlayerControls::OnPlayClicked(ISubject*, EventArg, EventArg) {
    m_center.Play();
}

void CPlayerControls::OnStopClicked(ISubject*, EventArg, EventArg) {
    m_center.Reset();
}

void CPlayerControls::OnPreviousClicked(ISubject*, EventArg, EventArg) {
    m_center.Previous();
}

void CPlayerControls::OnNextClicked(ISubject*, EventArg, EventArg) {
    m_center.Next();
}

void CPlayerControls::OnMuteClicked(ISubject*, EventArg, EventArg) {
    m_controller.SetMute(m_controller.GetMute() == 0 ? 1 : 0);
}

void CPlayerControls::OnSeekChanged(ISubject*, EventArg value, EventArg /*span*/) {
    m_controller.SetPosition(static_cast<double>(value));
}

void CPlayerControls::OnSeekHovered(ISubject*, EventArg value, EventArg /*span*/) {
    m_hoverHold.start();
    Publish(m_state.Hover(static_cast<int>(value)));
}

void CPlayerControls::OnVolumeChanged(ISubject*, EventArg value, EventArg /*span*/) {
    m_controller.SetVolume(static_cast<int>(value));
}

void CPlayerControls::OnMediaLoaded(ISubject*, EventArg record, EventArg) {
    const auto* clip = reinterpret_cast<const CClipInfo*>(record);
    unsigned changes = m_state.Load(clip);
    if (clip != nullptr) {
        changes |= m_state.SetVolume(m_controller.GetVolume());
        changes |= m_state.SetMute(m_controller.GetMute() != 0);
    }
    Publish(changes);
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

void ShowPlayerControls(const CPlayerControlState& state, unsigned changes,
                        const CPlayerControlWidgets& controls) {
    if ((changes & Changes::Play) != 0) {
        controls.play.SetPlayState(state.PlayState());
        controls.play.SetTooltipText(state.PlayTooltip());
        controls.play.update();
    }
    if ((changes & Changes::Seek) != 0) {
        controls.seek.setEnabled(state.IsSeekable());
        controls.seek.SetRange(state.Duration());
        controls.seek.SetPos(state.Position());
        controls.seek.update();
    }
    if ((changes & Changes::Time) != 0) {
        // Shown before the text is set: a hidden label does not redraw.
        controls.time.Show(state.IsTimeShown());
        controls.time.SetText(state.TimeText());
        controls.time.update();
    }
    if ((changes & Changes::Volume) != 0) {
        controls.volume.SetPos(state.Volume());
        controls.volume.update();
    }
    if ((changes & Changes::Mute) != 0) {
        controls.mute.SetCheck(state.IsMuted());
        controls.mute.update();
    }
}
