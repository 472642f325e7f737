#pragma once
// The events CEngineDS raises on its own subject. A state event carries (value, engine): the
// loaded or failed item for "Loaded" and "LoadFailed", the progress per cent for "Aborted" and
// "Completed", else 0.

namespace EngineEvents {
inline constexpr wchar_t Loading[] = L"Loading";
inline constexpr wchar_t Loaded[] = L"Loaded";
inline constexpr wchar_t LoadFailed[] = L"LoadFailed";
inline constexpr wchar_t Playing[] = L"Playing";
inline constexpr wchar_t Paused[] = L"Paused";
inline constexpr wchar_t Stopped[] = L"Stopped";
inline constexpr wchar_t Aborted[] = L"Aborted";
inline constexpr wchar_t Completed[] = L"Completed";
inline constexpr wchar_t UserAbort[] = L"UserAbort";
inline constexpr wchar_t ErrorAbort[] = L"ErrorAbort";
// (position, duration) in whole seconds.
inline constexpr wchar_t PositionChanged[] = L"PositionChanged";
// (volume 0..100, 0) and (mute flag, 0).
inline constexpr wchar_t VolumeChanged[] = L"VolumeChanged";
inline constexpr wchar_t MuteChanged[] = L"MuteChanged";
} // namespace EngineEvents
