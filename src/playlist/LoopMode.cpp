#include "playlist/LoopMode.h"

#include "playlist/PlaylistOperator.h"
#include "playlist/PlaylistRandom.h"

namespace {

// The rows before and after i, wrapping at the ends.
int PreviousRow(int i, int count) {
    return i < 1 ? count - 1 : i - 1;
}

int NextRow(int i, int count) {
    return i < count - 1 ? i + 1 : 0;
}

CClipInfo* MoveTo(CPlaylistOperator& op, int row, bool scroll) {
    IPlaylistAdapter& list = *op.GetAdapter();
    list.SetActiveItem(row);
    if (scroll) {
        list.EnsureVisible(row);
    }
    return list.GetItemData(row);
}

// Made on first use and deliberately never destroyed: a mode pointer handed out in an event must
// stay valid until the process ends.
template <class Mode> const Mode& Singleton() {
    static const Mode* const instance = new Mode;
    return *instance;
}

} // namespace

CClipInfo* ILoopMode::GetCurrent(CPlaylistOperator& op) const {
    IPlaylistAdapter& list = *op.GetAdapter();
    return list.GetItemData(list.GetActiveItem());
}

const CLoopModeSingleFileOnce& CLoopModeSingleFileOnce::Instance() {
    return Singleton<CLoopModeSingleFileOnce>();
}

const std::wstring& CLoopModeSingleFileOnce::GetName() const {
    static const std::wstring name = LoopModeNames::SingleFileOnce;
    return name;
}

const CLoopModeSingleFileLoop& CLoopModeSingleFileLoop::Instance() {
    return Singleton<CLoopModeSingleFileLoop>();
}

const std::wstring& CLoopModeSingleFileLoop::GetName() const {
    static const std::wstring name = LoopModeNames::SingleFileLoop;
    return name;
}

const CLoopModePlaylistOnce& CLoopModePlaylistOnce::Instance() {
    return Singleton<CLoopModePlaylistOnce>();
}

const std::wstring& CLoopModePlaylistOnce::GetName() const {
    static const std::wstring name = LoopModeNames::PlaylistOnce;
    return name;
}

const CLoopModePlaylistLoop& CLoopModePlaylistLoop::Instance() {
    return Singleton<CLoopModePlaylistLoop>();
}

const std::wstring& CLoopModePlaylistLoop::GetName() const {
    static const std::wstring name = LoopModeNames::PlaylistLoop;
    return name;
}

const CLoopModePlaylistShuffle& CLoopModePlaylistShuffle::Instance() {
    return Singleton<CLoopModePlaylistShuffle>();
}

const std::wstring& CLoopModePlaylistShuffle::GetName() const {
    static const std::wstring name = LoopModeNames::PlaylistShuffle;
    return name;
}

CClipInfo* CLoopModeSingleFileOnce::First(CPlaylistOperator& op) const {
    return GetCurrent(op);
}

CClipInfo* CLoopModeSingleFileOnce::Last(CPlaylistOperator& op) const {
    return GetCurrent(op);
}

CClipInfo* CLoopModeSingleFileOnce::Previous(CPlaylistOperator& op) const {
    return GetCurrent(op);
}

CClipInfo* CLoopModeSingleFileOnce::Next(CPlaylistOperator& op) const {
    return GetCurrent(op);
}

bool CLoopModeSingleFileOnce::HasPrevious(CPlaylistOperator& /*op*/) const {
    return false;
}

bool CLoopModeSingleFileOnce::HasNext(CPlaylistOperator& /*op*/) const {
    return false;
}

bool CLoopModeSingleFileLoop::HasPrevious(CPlaylistOperator& /*op*/) const {
    return true;
}

bool CLoopModeSingleFileLoop::HasNext(CPlaylistOperator& /*op*/) const {
    return true;
}

CClipInfo* CLoopModePlaylistOnce::First(CPlaylistOperator& op) const {
    return MoveTo(op, 0, false);
}

CClipInfo* CLoopModePlaylistOnce::Last(CPlaylistOperator& op) const {
    return MoveTo(op, op.GetItemCount() - 1, false);
}

CClipInfo* CLoopModePlaylistOnce::Previous(CPlaylistOperator& op) const {
    return MoveTo(op, PreviousRow(op.GetAdapter()->GetActiveItem(), op.GetItemCount()), false);
}

CClipInfo* CLoopModePlaylistOnce::Next(CPlaylistOperator& op) const {
    return MoveTo(op, NextRow(op.GetAdapter()->GetActiveItem(), op.GetItemCount()), false);
}

bool CLoopModePlaylistOnce::HasPrevious(CPlaylistOperator& op) const {
    return op.GetAdapter()->GetActiveItem() > 0;
}

bool CLoopModePlaylistOnce::HasNext(CPlaylistOperator& op) const {
    return op.GetAdapter()->GetActiveItem() < op.GetItemCount() - 1;
}

CClipInfo* CLoopModePlaylistLoop::First(CPlaylistOperator& op) const {
    return MoveTo(op, 0, true);
}

CClipInfo* CLoopModePlaylistLoop::Last(CPlaylistOperator& op) const {
    return MoveTo(op, op.GetItemCount() - 1, true);
}

CClipInfo* CLoopModePlaylistLoop::Previous(CPlaylistOperator& op) const {
    return MoveTo(op, PreviousRow(op.GetAdapter()->GetActiveItem(), op.GetItemCount()), true);
}

CClipInfo* CLoopModePlaylistLoop::Next(CPlaylistOperator& op) const {
    return MoveTo(op, NextRow(op.GetAdapter()->GetActiveItem(), op.GetItemCount()), true);
}

bool CLoopModePlaylistLoop::HasPrevious(CPlaylistOperator& /*op*/) const {
    return true;
}

bool CLoopModePlaylistLoop::HasNext(CPlaylistOperator& /*op*/) const {
    return true;
}

CClipInfo* CLoopModePlaylistShuffle::Previous(CPlaylistOperator& op) const {
    return MoveTo(op, NextPlaylistRandom(op.GetItemCount()), false);
}

CClipInfo* CLoopModePlaylistShuffle::Next(CPlaylistOperator& op) const {
    return MoveTo(op, NextPlaylistRandom(op.GetItemCount()), false);
}

const ILoopMode& FindLoopMode(const std::wstring& name) {
    const ILoopMode* const modes[] = {
        &CLoopModeSingleFileOnce::Instance(),  &CLoopModeSingleFileLoop::Instance(),
        &CLoopModePlaylistOnce::Instance(),    &CLoopModePlaylistLoop::Instance(),
        &CLoopModePlaylistShuffle::Instance(),
    };
    for (const ILoopMode* mode : modes) {
        if (mode->GetName() == name) {
            return *mode;
        }
    }
    return CLoopModePlaylistOnce::Instance();
}
