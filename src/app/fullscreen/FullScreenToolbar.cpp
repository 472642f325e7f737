#include "app/fullscreen/FullScreenToolbar.h"

#include "app/PlayerControls.h"
#include "app/main/MainWndRules.h"
#include "playlist/ControlCenter.h"
#include "skin/SkinCtrl.h"
#include "skin/SkinEvents.h"

namespace {

// The range of the volume slider, the controller's 0..100.
constexpr int kVolumeRange = 100;

} // namespace

CFullScreenToolbar::CFullScreenToolbar(CControlCenter& center, CPlayerControls& controls,
                                       QWidget& mainWindow, IFullScreenView& view,
                                       CToolbarWindow::EPlacement placement)
    : m_center(center), m_controller(center.GetController()), m_controls(controls),
      m_mainWindow(mainWindow), m_view(view), m_placement(placement) {}

CFullScreenToolbar::~CFullScreenToolbar() {
    Destroy();
}

void CFullScreenToolbar::Create() {
    if (IsShown()) {
        return;
    }
    m_window = new CToolbarWindow(&m_mainWindow, m_placement);
    QObject::connect(m_window, &CToolbarWindow::WheelTurned, &m_postTarget,
                     [this](int delta) { OnWheel(delta); });
    SelectView(m_view.IsPlaylistViewShown());
    m_window->Place(); // sized, so the sliders can place their thumbs
    m_window->Volume().SetRange(kVolumeRange);
    m_window->TimeLabel().setEnabled(false);
    m_wheelRemainder = 0;
    SubscribeEverything();
    m_controls.Attach(Widgets());
    m_controls.ReadPosition();
    OnPlayerControlsChanged(&m_controls, PlayerControlChanges::All, 0);
}

void CFullScreenToolbar::Destroy() {
    // Also when the main window has already deleted the bar with itself.
    m_controls.Unsubscribe(this);
    if (!IsShown()) {
        return;
    }
    m_controls.Detach(Widgets());
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
    clicked(bar.OpenFiles(), &CFullScreenToolbar::OnOpenFilesClicked);
    clicked(bar.VideoView(), &CFullScreenToolbar::OnVideoViewClicked);
    clicked(bar.PlaylistView(), &CFullScreenToolbar::OnPlaylistViewClicked);
    m_controls.Subscribe(this, CPlayerControls::kChanged,
                         RegisterHandler(&CFullScreenToolbar::OnPlayerControlsChanged));
}

void CFullScreenToolbar::SelectView(bool playlist) {
    m_window->Views().Select(playlist ? &m_window->PlaylistView() : &m_window->VideoView());
    m_view.ShowPlaylistView(playlist);
    m_window->LayoutChildren();
}

CPlayerControlWidgets CFullScreenToolbar::Widgets() {
    CToolbarWindow& bar = *m_window;
    return {bar.Play(), bar.Stop(), bar.Previous(),  bar.Next(),
            bar.Mute(), bar.Seek(), bar.TimeLabel(), bar.Volume()};
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

void CFullScreenToolbar::OnOpenFilesClicked(ISubject*, EventArg, EventArg) {
    // The dialog runs its own event loop, in which the bar may be destroyed: run it after the
    // button has finished its click.
    QMetaObject::invokeMethod(
        &m_postTarget, [this] { m_center.OpenFiles(true); }, Qt::QueuedConnection);
}

void CFullScreenToolbar::OnVideoViewClicked(ISubject*, EventArg, EventArg) {
    SelectView(false);
}

void CFullScreenToolbar::OnPlaylistViewClicked(ISubject*, EventArg, EventArg) {
    SelectView(true);
}

void CFullScreenToolbar::OnPlayerControlsChanged(ISubject*, EventArg changes, EventArg) {
    if (IsShown()) {
        ShowPlayerControls(m_controls.State(), static_cast<unsigned>(changes), Widgets());
    }
}
