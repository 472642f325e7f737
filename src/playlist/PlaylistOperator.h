#pragma once
// The playlist's navigation: owns the current loop mode, prepares the list before each move (a
// loop mode and an active row exist, the active row is in view), and passes the list's
// "ListItemActived" on to its own subscribers (the control center).
//
// Events raised on this subject:
//   "ListItemActived"  row index, second argument of the list's event (as received)
//   "LoopModeChanged"  pointer to the mode's name (std::wstring), pointer to the ILoopMode
// Both pointers stay valid for the life of the process.
//
// Threads: user-interface thread only.
// Ownership: the adapter is not owned; it and its subject must outlive the operator or stop
// raising to it. Loop modes are process-wide singletons.
#include "core/EventBus.h"
#include "playlist/LoopMode.h"
#include "playlist/PlaylistAdapter.h"

#include <string>

class CPlaylistOperator : public CObserver<CPlaylistOperator>, public ISubject {
public:
    CPlaylistOperator() = default;

    // Must come before anything else. Selects PLAYLISTLOOP (raising "LoopModeChanged") and, when
    // the adapter is also a subject (the skinned list is), forwards its "ListItemActived".
    void Attach(IPlaylistAdapter* adapter);

    // Unknown names select PLAYLISTONCE (see FindLoopMode). The active row does not move.
    void SetLoopMode(const std::wstring& name);
    const ILoopMode* GetLoopMode() const { return m_loopMode; }

    // Every navigation below answers 0 / false and changes nothing on an empty list (or before
    // Attach).
    int GetItemCount() const;
    // Prepares the list; false when it is empty.
    bool IsReady();
    CClipInfo* GetCurrentItem();
    // No preparation: without an active row, a mode that stays gives no item.
    CClipInfo* MoveFirst();
    CClipInfo* MoveLast();
    bool HasPrevious();
    bool HasNext();
    // Null, nothing moved, when HasPrevious / HasNext says no.
    CClipInfo* MovePrevious();
    CClipInfo* MoveNext();
    bool AreAllItemsFailed() const;
    IPlaylistAdapter* GetAdapter() const { return m_adapter; }

private:
    bool IsEmpty() const;
    // Row 0 becomes active when none is, and the active row is scrolled into view.
    void Prepare();
    void OnListItemActived(ISubject* sender, EventArg row, EventArg arg2);

    IPlaylistAdapter* m_adapter = nullptr; // not owned; null until Attach
    // A singleton; set by Attach, so never null while m_adapter is set.
    const ILoopMode* m_loopMode = nullptr;
};
