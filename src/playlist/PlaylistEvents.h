#pragma once
// Events of the playlist side: the list's row activation (arg1 the row), which the playlist
// operator passes on to its observers, and the operator's loop-mode change.

namespace PlaylistEvents {
inline constexpr wchar_t ListItemActived[] = L"ListItemActived";
inline constexpr wchar_t LoopModeChanged[] = L"LoopModeChanged";
} // namespace PlaylistEvents
