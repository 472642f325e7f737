#pragma once
// The media events the playback controller raises from the engine's reports, with the engine's
// two arguments; the control center re-raises them under the same names for the window.

namespace MediaEvents {
inline constexpr wchar_t Loading[] = L"MediaLoading";
inline constexpr wchar_t Loaded[] = L"MediaLoaded";
inline constexpr wchar_t LoadFailed[] = L"MediaLoadFailed";
inline constexpr wchar_t Playing[] = L"MediaPlaying";
inline constexpr wchar_t Paused[] = L"MediaPaused";
inline constexpr wchar_t Stopped[] = L"MediaStopped";
inline constexpr wchar_t Aborted[] = L"MediaAborted";
inline constexpr wchar_t Completed[] = L"MediaCompleted";
inline constexpr wchar_t PositionChanged[] = L"MediaPositionChanged";
// Raised by the controller alone, after a seek the user asked for: (position, duration).
inline constexpr wchar_t Seeked[] = L"MediaSeeked";
// Passed on under the engine's own names.
inline constexpr wchar_t VolumeChanged[] = L"VolumeChanged";
inline constexpr wchar_t MuteChanged[] = L"MuteChanged";
} // namespace MediaEvents
