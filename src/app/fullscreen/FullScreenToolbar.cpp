#include "app/fullscreen/FullScreenToolbar.h"

#include <algorithm>
#include <string>

#include "app/TimeLabelText.h"
#include "app/main/MainWndRules.h"
#include "engine/ClipInfo.h"
#include "engine/EngineEvents.h"
#include "engine/MediaEvents.h"
#include "playlist/ControlCenter.h"
#include "skin/SkinCtrl.h"
#include "skin/SkinEvents.h"

namespace {

// The range of the volume slider, the controller's 0..100.
constexpr int kVolumeRange = 100;

std::int64_t WholeSeconds(double seconds) {
    return static_cast<std::int64_t>(seconds);
}

} // namespace

CFullScreenToolbar::CFullScreenToolbar(CControlCenter& center, QWidget& mainWindow,
                                       IFullScreenView& view)
    : m_center(center), m_controller(center.GetController()), m_mainWindow(mainWindow),
      m_view(view) {
    m_hoverHold.setSingleShot(true);
    // Precise, so the hold never ends before its time (a coarse timer may fire 5 % early).
    m_hoverHold.setTimerType(Qt::PreciseTimer);
    m_hoverHold.setInterval(kHoverHoldMs);
    QObject::connect(&m_hoverHold, &QTimer::timeout, &m_postTarget, [this] { OnHoverHoldEnded(); });
}

CFullScreenToolbar::~CFullScreenToolbar() {
    Destroy();
}

void CFullScreenToolbar::Create() {
    if (IsShown()) {
        return;
    }
    m_window = new CToolbarWindow(&m_mainWindow);
    QObject::connect(m_window, &CToolbarWindow::WheelTurned, &m_postTarget,
                     [this](int delta) { OnWheel(delta); });
    SelectView(m_view.IsPlaylistViewShown());
    m_window->PlaceOnScreen(); // sized, so the sliders can place their thumbs
    SubscribeEverything();
    ReadCurrentState();
}

void CFullScreenToolbar::Destroy() {
    m_hoverHold.stop();
    m_hoverShown = false;
    // Also when the main window has already deleted the bar with itself.
    m_center.Unsubscribe(this);
    m_controller.Unsubscribe(this);
    if (!IsShown()) {
        return;
    }
    for (CSkinCtrl* control : m_window->Children()) {
        control->Unsubscribe(this);
    }
    CToolbarWindow* window = m_window.data();
    m_window.clear();
    QObject::disconnect(window, nullptr, &m_postTarget, nullptr);
    window->hide();
    // From the event loop: Destroy may run while one of the bar's controls is raising an event.
    window->deleteLater();
}

void CFullScreenToolbar::SubscribeEverything() {
    const auto clicked = [this](CSkinCtrl& control, auto handler) {
        control.Subscribe(this, SkinEvents::LeftClicked, RegisterHandler(handler));
    };
    CToolbarWindow& bar = *m_window;
    clicked(bar.Play(), &CFullScreenToolbar::OnPlayClicked);
    clicked(bar.Stop(), &CFullScreenToolbar::OnStopClicked);
    clicked(bar.Previous(), &CFullScreenToolbar::OnPreviousClicked);
    clicked(bar.Next(), &CFullScreenToolbar::OnNextClicked);
    clicked(bar.OpenFiles(), &CFullScreenToolbar::OnOpenFilesClicked);
    clicked(bar.Mute(), &CFullScreenToolbar::OnMuteClicked);
    clicked(bar.VideoView(), &CFullScreenToolbar::OnVideoViewClicked);
    clicked(bar.PlaylistView(), &CFullScreenToolbar::OnPlaylistViewClicked);
    bar.Seek().Subscribe(this, SkinEvents::SliderPosChanged,
                         RegisterHandler(&CFullScreenToolbar::OnSeekChanged));
    bar.Seek().Subscribe(this, SkinEvents::SliderPosHovered,
                         RegisterHandler(&CFullScreenToolbar::OnSeekHovered));
    bar.Volume().Subscribe(this, SkinEvents::SliderPosChanged,
                           RegisterHandler(&CFullScreenToolbar::OnVolumeChanged));

    const struct {
        const wchar_t* name;
        void (CFullScreenToolbar::*handler)(ISubject*, EventArg, EventArg);
    } media[] = {
        {MediaEvents::Loaded, &CFullScreenToolbar::OnMediaLoaded},
        {MediaEvents::Playing, &CFullScreenToolbar::OnMediaPlaying},
        {MediaEvents::Paused, &CFullScreenToolbar::OnMediaPaused},
        {MediaEvents::Stopped, &CFullScreenToolbar::OnMediaStopped},
        {MediaEvents::Completed, &CFullScreenToolbar::OnMediaEnded},
        {MediaEvents::Aborted, &CFullScreenToolbar::OnMediaEnded},
        {MediaEvents::LoadFailed, &CFullScreenToolbar::OnMediaEnded},
        {MediaEvents::PositionChanged, &CFullScreenToolbar::OnMediaPositionChanged},
    };
    for (const auto& [name, handler] : media) {
        m_center.Subscribe(this, name, RegisterHandler(handler));
    }
    m_controller.Subscribe(this, MediaEvents::VolumeChanged,
                           RegisterHandler(&CFullScreenToolbar::OnControllerVolumeChanged));
    m_controller.Subscribe(this, MediaEvents::MuteChanged,
                           RegisterHandler(&CFullScreenToolbar::OnControllerMuteChanged));
}

void CFullScreenToolbar::ReadCurrentState() {
    CToolbarWindow& bar = *m_window;
    std::wstring state;
    m_controller.GetStateName(state);
    SetPlayLook(state == EngineEvents::Playing ? 2 : state == EngineEvents::Paused ? 1 : 0);
    bar.Mute().SetCheck(m_controller.GetMute() != 0);

    const std::int64_t duration = WholeSeconds(m_controller.GetDuration());
    const std::int64_t position = WholeSeconds(m_controller.GetPosition());
    CSkinSlider& seek = bar.Seek();
    seek.setEnabled(m_controller.IsLoaded() != 0);
    seek.SetRange(static_cast<int>(duration));
    seek.SetPos(static_cast<int>(position));
    seek.update();
    CSkinSlider& volume = bar.Volume();
    volume.SetRange(kVolumeRange);
    volume.SetPos(m_controller.GetVolume());
    volume.update();

    m_hoverShown = false;
    m_wheelRemainder = 0;
    bar.TimeLabel().setEnabled(false);
    bar.TimeLabel().Show(true);
    ShowTime(position, duration);
}

void CFullScreenToolbar::SetPlayLook(int state) {
    CSkinButtonPlay& play = m_window->Play();
    play.SetPlayState(state);
    play.SetTooltipText(state == 2 ? L"Pause" : L"Play");
}

void CFullScreenToolbar::ShowTime(std::int64_t positionSeconds, std::int64_t durationSeconds) {
    m_window->TimeLabel().SetText(TimeLabelText(positionSeconds, durationSeconds));
}

void CFullScreenToolbar::SelectView(bool playlist) {
    m_window->Views().Select(playlist ? &m_window->PlaylistView() : &m_window->VideoView());
    m_view.ShowPlaylistView(playlist);
    m_window->LayoutChildren();
}

void CFullScreenToolbar::OnWheel(int delta) {
    if (!IsShown()) {
        return;
    }
    // The main window's rule: whole notches, small deltas summed up to them.
    const CWheelNotches turn = AccumulateWheel(m_wheelRemainder, delta);
    m_wheelRemainder = turn.remainder;
    if (turn.notches == 0) {
        return;
    }
    CSkinSlider& volume = m_window->Volume();
    const int level =
        WheelVolume(volume.GetPos(), turn.notches, volume.GetRangeMin(), volume.GetRangeMax());
    volume.SetPos(level);
    volume.update();
    m_controller.SetVolume(level);
}

void CFullScreenToolbar::OnHoverHoldEnded() {
    m_hoverShown = false;
}

void CFullScreenToolbar::OnPlayClicked(ISubject*, EventArg, EventArg) {
    m_center.Play();
}

void CFullScreenToolbar::OnStopClicked(ISubject*, EventArg, EventArg) {
    m_center.Reset();
}

void CFullScreenToolbar::OnPreviousClicked(ISubject*, EventArg, EventArg) {
    m_center.Previous();
}

void CFullScreenToolbar::OnNextClicked(ISubject*, EventArg, EventArg) {
    m_center.Next();
}

void CFullScreenToolbar::OnOpenFilesClicked(ISubject*, EventArg, EventArg) {
    // The dialog runs its own event loop, in which the bar may be destroyed: run it after the
    // button has finished its click.
    QMetaObject::invokeMethod(
        &m_postTarget, [this] { m_center.OpenFiles(true); }, Qt::QueuedConnection);
}

void CFullScreenToolbar::OnMuteClicked(ISubject*, EventArg, EventArg) {
    m_controller.SetMute(m_controller.GetMute() == 0 ? 1 : 0);
}

void CFullScreenToolbar::OnVideoViewClicked(ISubject*, EventArg, EventArg) {
    SelectView(false);
}

void CFullScreenToolbar::OnPlaylistViewClicked(ISubject*, EventArg, EventArg) {
    SelectView(true);
}

void CFullScreenToolbar::OnSeekChanged(ISubject*, EventArg value, EventArg /*span*/) {
    m_controller.SetPosition(static_cast<double>(value));
}

void CFullScreenToolbar::OnSeekHovered(ISubject*, EventArg value, EventArg /*span*/) {
    if (!IsShown()) {
        return;
    }
    ShowTime(value, WholeSeconds(m_controller.GetDuration()));
    m_hoverShown = true;
    m_hoverHold.start();
}

void CFullScreenToolbar::OnVolumeChanged(ISubject*, EventArg value, EventArg /*span*/) {
    if (IsShown()) {
        m_controller.SetVolume(static_cast<int>(value));
    }
}

void CFullScreenToolbar::OnMediaLoaded(ISubject*, EventArg record, EventArg) {
    if (!IsShown()) {
        return;
    }
    SetPlayLook(0);
    const auto* clip = reinterpret_cast<const CClipInfo*>(record);
    if (clip == nullptr) {
        return;
    }
    CToolbarWindow& bar = *m_window;
    const std::int64_t duration = WholeSeconds(clip->duration);
    CSkinSlider& seek = bar.Seek();
    seek.setEnabled(true);
    seek.SetRange(static_cast<int>(duration));
    seek.SetPos(0);
    seek.update();
    bar.Mute().SetCheck(m_controller.GetMute() != 0);
    bar.Volume().SetPos(m_controller.GetVolume());
    bar.Volume().update();
    // Shown before the text is set: a hidden label does not redraw.
    bar.TimeLabel().Show(true);
    ShowTime(0, duration);
}

void CFullScreenToolbar::OnMediaPlaying(ISubject*, EventArg, EventArg) {
    if (IsShown()) {
        SetPlayLook(2);
    }
}

void CFullScreenToolbar::OnMediaPaused(ISubject*, EventArg, EventArg) {
    if (IsShown()) {
        SetPlayLook(1);
    }
}

void CFullScreenToolbar::OnMediaStopped(ISubject*, EventArg, EventArg) {
    if (!IsShown()) {
        return;
    }
    SetPlayLook(0);
    m_window->TimeLabel().Show(false);
    CSkinSlider& seek = m_window->Seek();
    seek.setEnabled(m_controller.IsLoaded() != 0);
    seek.SetPos(0);
    seek.update();
}

void CFullScreenToolbar::OnMediaEnded(ISubject*, EventArg, EventArg) {
    if (!IsShown()) {
        return;
    }
    SetPlayLook(0);
    CSkinSlider& seek = m_window->Seek();
    seek.setEnabled(false);
    seek.SetPos(0);
    seek.update();
}

void CFullScreenToolbar::OnMediaPositionChanged(ISubject*, EventArg position, EventArg duration) {
    if (!IsShown()) {
        return;
    }
    CSkinSlider& seek = m_window->Seek();
    seek.SetRange(static_cast<int>(duration));
    seek.SetPos(static_cast<int>(position));
    seek.update();
    if (!m_hoverShown) {
        ShowTime(position, duration);
    }
}

void CFullScreenToolbar::OnControllerVolumeChanged(ISubject*, EventArg volume, EventArg) {
    if (IsShown()) {
        m_window->Volume().SetPos(static_cast<int>(volume));
        m_window->Volume().update();
    }
}

void CFullScreenToolbar::OnControllerMuteChanged(ISubject*, EventArg flag, EventArg) {
    if (IsShown()) {
        m_window->Mute().SetCheck(flag != 0);
    }
}
