#include "playlist/ClipShiftState.h"

#include "playlist/ControlCenter.h"

const CClipShiftStateJump& CClipShiftStateJump::Instance() {
    static const auto* const instance = new CClipShiftStateJump;
    return *instance;
}

bool CClipShiftStateJump::Shift(CControlCenter& center) const {
    CPlaylistOperator& playlist = center.GetPlaylist();
    if (!playlist.IsReady()) {
        return false;
    }
    center.LoadAndPlay(playlist.GetCurrentItem());
    return true;
}

const CClipShiftStateFinished& CClipShiftStateFinished::Instance() {
    static const auto* const instance = new CClipShiftStateFinished;
    return *instance;
}

bool CClipShiftStateFinished::Shift(CControlCenter& center) const {
    CPlaylistOperator& playlist = center.GetPlaylist();
    if (!playlist.HasNext() || playlist.AreAllItemsFailed()) {
        center.GetController().Stop();
        return false;
    }
    center.LoadAndPlay(playlist.MoveNext());
    return true;
}
