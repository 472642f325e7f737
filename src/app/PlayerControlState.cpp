#include "app/PlayerControlState.h"

#include "app/TimeLabelText.h"
#include "engine/ClipInfo.h"

namespace Changes = PlayerControlChanges;

unsigned CPlayerControlState::Load(const CClipInfo* clip) {
    m_playState = EPlayState::Stopped;
    if (clip == nullptr) {
        return Changes::Play;
    }
    m_seekable = true;
    m_position = 0;
    m_duration = WholeSeconds(clip->duration);
    m_timeShown = true;
    m_timeText = TimeLabelText(0, m_duration);
    return Changes::Play | Changes::Seek | Changes::Time;
}

unsigned CPlayerControlState::SetPlayState(EPlayState state) {
    m_playState = state;
    return Changes::Play;
}

unsigned CPlayerControlState::Stop(bool loaded) {
    m_playState = EPlayState::Stopped;
    m_seekable = loaded;
    m_position = 0;
    m_timeShown = false;
    return Changes::Play | Changes::Seek | Changes::Time;
}

unsigned CPlayerControlState::End() {
    m_playState = EPlayState::Stopped;
    m_seekable = false;
    m_position = 0;
    return Changes::Play | Changes::Seek;
}

unsigned CPlayerControlState::MoveTo(int positionSeconds, int durationSeconds) {
    m_position = positionSeconds;
    m_duration = durationSeconds;
    if (m_hoverHeld) {
        return Changes::Seek;
    }
    m_timeText = TimeLabelText(m_position, m_duration);
    return Changes::Seek | Changes::Time;
}

unsigned CPlayerControlState::Hover(int seconds) {
    m_hoverHeld = true;
    m_timeText = TimeLabelText(seconds, m_duration);
    return Changes::Time;
}

unsigned CPlayerControlState::EndHoverHold() {
    // The hovered time stays until the next position replaces it.
    m_hoverHeld = false;
    return 0;
}

unsigned CPlayerControlState::SetVolume(int volume) {
    m_volume = volume;
    return Changes::Volume;
}

unsigned CPlayerControlState::SetMute(bool mute) {
    m_mute = mute;
    return Changes::Mute;
}

const wchar_t* CPlayerControlState::PlayTooltip() const {
    return m_playState == EPlayState::Playing ? L"Pause" : L"Play";
}
