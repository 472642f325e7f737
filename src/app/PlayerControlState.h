#pragma once
// What the player's controls show, kept once for the main window and the full-screen toolbar: the
// play button, the seek slider, the time label, the volume slider and the mute check. Each change
// returns what it changed (PlayerControlChanges), so that a window sets only those controls: a
// position update must not move a volume thumb the user is dragging.
//
// The hover rule: a hovered seek time takes the time label and keeps it until EndHoverHold;
// positions arriving meanwhile move only the slider. CPlayerControls ends the hold kHoverHoldMs
// after the last hover.
//
// Threads: any; plain values. Times are whole seconds.
#include <string>

#include "skin/controls/SkinCheck.h"

class CClipInfo;

namespace PlayerControlChanges {
inline constexpr unsigned Play = 1;   // the play button's look and tooltip
inline constexpr unsigned Seek = 2;   // the seek slider: enabled, range, position
inline constexpr unsigned Time = 4;   // the time label: shown, text
inline constexpr unsigned Volume = 8; // the volume slider's position
inline constexpr unsigned Mute = 16;  // the mute check
inline constexpr unsigned All = Play | Seek | Time | Volume | Mute;
} // namespace PlayerControlChanges

class CPlayerControlState {
public:
    // How long a hovered seek time stays on the time label after the last hover.
    static constexpr int kHoverHoldMs = 3000;

    // A clip was loaded: stopped, seekable from 0 over its duration, the time shown (also over a
    // held hovered time). A load that reports no clip changes only the play state.
    unsigned Load(const CClipInfo* clip);
    unsigned SetPlayState(EPlayState state);
    // Stopped: the time is hidden and the slider back at 0, usable while a clip stays loaded.
    unsigned Stop(bool loaded);
    // Completed, aborted or failed: the slider back at 0 and unusable; the time stays.
    unsigned End();
    unsigned MoveTo(int positionSeconds, int durationSeconds);
    // Shows the hovered time over the current duration and holds it.
    unsigned Hover(int seconds);
    unsigned EndHoverHold();
    unsigned SetVolume(int volume);
    unsigned SetMute(bool mute);

    EPlayState PlayState() const { return m_playState; }
    // What a click on the play button will do.
    const wchar_t* PlayTooltip() const;
    bool IsSeekable() const { return m_seekable; }
    int Position() const { return m_position; }
    int Duration() const { return m_duration; }
    bool IsTimeShown() const { return m_timeShown; }
    const std::wstring& TimeText() const { return m_timeText; }
    bool IsHoverHeld() const { return m_hoverHeld; }
    int Volume() const { return m_volume; }
    bool IsMuted() const { return m_mute; }

private:
    EPlayState m_playState = EPlayState::Stopped;
    bool m_seekable = false;
    int m_position = 0;
    int m_duration = 0;
    bool m_timeShown = false;
    std::wstring m_timeText;
    bool m_hoverHeld = false;
    int m_volume = 0;
    bool m_mute = false;
};
