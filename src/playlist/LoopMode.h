#pragma once
// What comes first, last, before and after the active row: one stateless strategy per loop mode.
// Each moves the active row through the operator's adapter and returns the item of the active row
// afterwards (null when that index holds no item).
//
// Callers go through CPlaylistOperator, which prepares the list first (an active row exists) and
// asks HasPrevious/HasNext before moving. Each mode is a process-wide singleton, made on first
// use and never destroyed, so a mode pointer stays valid for the life of the process.
// Threads: user-interface thread only.
#include "engine/ClipInfo.h"

#include <string>

class CPlaylistOperator;

// The upper-case names the modes are selected by: playlist files and menus name them so.
namespace LoopModeNames {
inline constexpr wchar_t SingleFileOnce[] = L"SINGLEFILEONCE";
inline constexpr wchar_t SingleFileLoop[] = L"SINGLEFILELOOP";
inline constexpr wchar_t PlaylistOnce[] = L"PLAYLISTONCE";
inline constexpr wchar_t PlaylistLoop[] = L"PLAYLISTLOOP";
inline constexpr wchar_t PlaylistShuffle[] = L"PLAYLISTSHUFFLE";
} // namespace LoopModeNames

class ILoopMode {
public:
    // The upper-case name the mode is selected by; lives as long as the mode.
    virtual const std::wstring& GetName() const = 0;
    CClipInfo* GetCurrent(CPlaylistOperator& op) const;
    virtual CClipInfo* First(CPlaylistOperator& op) const = 0;
    virtual CClipInfo* Last(CPlaylistOperator& op) const = 0;
    virtual CClipInfo* Previous(CPlaylistOperator& op) const = 0;
    virtual CClipInfo* Next(CPlaylistOperator& op) const = 0;
    virtual bool HasPrevious(CPlaylistOperator& op) const = 0;
    // Also decides whether playback goes on after a clip finishes.
    virtual bool HasNext(CPlaylistOperator& op) const = 0;
    virtual ~ILoopMode() = default;
};

// The five modes, by name:
// - SINGLEFILEONCE plays the active row and stops: no row comes before or after it;
// - SINGLEFILELOOP plays the active row again and again: every move stays, and there always is a
//   next;
// - PLAYLISTONCE goes from the first row to the last, then stops. Previous and Next wrap around,
//   but the operator never reaches that because HasPrevious/HasNext say no at the ends;
// - PLAYLISTLOOP is PLAYLISTONCE without end, and each move scrolls the new row into view;
// - PLAYLISTSHUFFLE takes a random row for every Previous and Next (the row just played may come
//   again; there is no history); First and Last stay.
//
// The mode whose name equals the name exactly (case-sensitive); any other name, "playlistloop"
// included, gives PLAYLISTONCE.
const ILoopMode& FindLoopMode(const std::wstring& name);
