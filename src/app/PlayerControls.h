#pragma once
// The player controls of the main window and of the full-screen toolbar, in one place. Their state
// (PlayerControlState.h) is fed once from the control center's media events and the controller's
// volume and mute events; both windows only show it. A viewer subscribes to kChanged on this
// subject; arg1 carries what changed (PlayerControlChanges), and State() is read during the call.
// ShowPlayerControls sets a window's controls from it, the same way for both windows.
//
// The input of the controls is the same in both windows too (Attach): Play, Stop, Previous and
// Next go to the center, Mute toggles the controller's mute, the seek slider seeks, the volume
// slider sets the volume, and hovering the seek slider puts the hovered time on the label of
// every viewer, held there for CPlayerControlState::kHoverHoldMs after the last hover.
//
// Who calls: the main window owns it and hands it to its toolbar; user-interface thread only.
// Ownership: the center is borrowed and must outlive this object, which leaves the center and
// its controller when it goes. Viewers unsubscribe, and windows detach their controls, before
// they go.
#include <QTimer>

#include "app/PlayerControlState.h"
#include "core/EventBus.h"

class CControlCenter;
class CPlaybackController;
class CSkinButton;
class CSkinButtonPlay;
class CSkinCheck;
class CSkinSlider;
class CSkinString;

// A window's player controls.
struct CPlayerControlWidgets {
    CSkinButtonPlay& play;
    CSkinButton& stop;
    CSkinButton& previous;
    CSkinButton& next;
    CSkinCheck& mute;
    CSkinSlider& seek;
    CSkinString& time;
    CSkinSlider& volume;
};

class CPlayerControls : public ISubject, public CObserver<CPlayerControls> {
public:
    static constexpr wchar_t kChanged[] = L"PlayerControlsChanged";

    explicit CPlayerControls(CControlCenter& center);
    ~CPlayerControls() override;
    CPlayerControls(const CPlayerControls&) = delete;
    CPlayerControls& operator=(const CPlayerControls&) = delete;

    const CPlayerControlState& State() const { return m_state; }

    // Subscribes to the controls' clicks and slider events; Detach leaves them.
    void Attach(const CPlayerControlWidgets& controls);
    void Detach(const CPlayerControlWidgets& controls);
    // Takes the position and duration from the controller at once: the engine reports them only
    // every few hundred milliseconds, and a window that appears shows the moment it appears.
    void ReadPosition();

private:
    void Publish(unsigned changes);
    void OnHoverHoldEnded();

    void OnPlayClicked(ISubject* sender, EventArg x, EventArg y);
    void OnStopClicked(ISubject* sender, EventArg x, EventArg y);
    void OnPreviousClicked(ISubject* sender, EventArg x, EventArg y);
    void OnNextClicked(ISubject* sender, EventArg x, EventArg y);
    void OnMuteClicked(ISubject* sender, EventArg x, EventArg y);
    void OnSeekChanged(ISubject* sender, EventArg value, EventArg span);
    void OnSeekHovered(ISubject* sender, EventArg value, EventArg span);
    void OnVolumeChanged(ISubject* sender, EventArg value, EventArg span);

    void OnMediaLoaded(ISubject* sender, EventArg record, EventArg unused);
    void OnMediaPlaying(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnMediaPaused(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnMediaStopped(ISubject* sender, EventArg arg1, EventArg arg2);
    // Completed, aborted, failed to load.
    void OnMediaEnded(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnMediaPosition(ISubject* sender, EventArg position, EventArg duration);
    void OnVolume(ISubject* sender, EventArg volume, EventArg unused);
    void OnMute(ISubject* sender, EventArg flag, EventArg unused);

    CControlCenter& m_center;
    CPlaybackController& m_controller; // the center's
    CPlayerControlState m_state;
    QTimer m_hoverHold; // single shot, kHoverHoldMs
};

// Sets the controls the changes name (PlayerControlChanges) from the state.
void ShowPlayerControls(const CPlayerControlState& state, unsigned changes,
                        const CPlayerControlWidgets& controls);
