#pragma once
// The player controls' state (PlayerControlState.h), fed once from the control center's media
// events and the controller's volume and mute events, for the main window and the full-screen
// toolbar, which only show it. A viewer subscribes to kChanged on this subject; arg1 carries the
// changed parts, and State() is read during the call. ShowPlayerControls sets a window's controls
// from it, the same way for both windows.
//
// The hover hold: ShowHoveredTime puts a hovered seek time on the label of every viewer and holds
// it there for CPlayerControlState::kHoverHoldMs after the last hover.
//
// Who calls: the main window owns it and hands it to its toolbar; user-interface thread only.
// Ownership: the center is borrowed and must outlive this object, which leaves the center and
// its controller when it goes. Viewers unsubscribe before they go.
#include <QTimer>

#include "app/PlayerControlState.h"
#include "core/EventBus.h"

class CControlCenter;
class CPlaybackController;
class CSkinButtonPlay;
class CSkinCheck;
class CSkinSlider;
class CSkinString;

class CPlayerControls : public ISubject, public CObserver<CPlayerControls> {
public:
    static constexpr wchar_t kChanged[] = L"PlayerControlsChanged";

    explicit CPlayerControls(CControlCenter& center);
    ~CPlayerControls() override;
    CPlayerControls(const CPlayerControls&) = delete;
    CPlayerControls& operator=(const CPlayerControls&) = delete;

    const CPlayerControlState& State() const { return m_state; }

    void ShowHoveredTime(int seconds);
    // Takes the position and duration from the controller at once: the engine reports them only
    // every few hundred milliseconds, and a window that appears shows the moment it appears.
    void ReadPosition();

private:
    void Publish(unsigned parts);
    void OnHoverHoldEnded();

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

// A window's controls that show the state.
struct CPlayerControlWidgets {
    CSkinButtonPlay& play;
    CSkinSlider& seek;
    CSkinString& time;
    CSkinSlider& volume;
    CSkinCheck& mute;
};

// Sets the controls of the given parts (PlayerControlParts) from the state.
void ShowPlayerControls(const CPlayerControlState& state, unsigned parts,
                        const CPlayerControlWidgets& controls);
