#pragma once
// Names of the events the video screen (CSkinScreen) raises besides those of every skin
// control. Coordinates are the screen's own.
namespace ScreenEvents {
// Pointer to the new display rectangle (a CPixelRect the screen keeps), 0. Raised each time the
// rectangle is computed again, before the video window is moved there.
inline constexpr wchar_t DisplayRectChanged[] = L"DisplayRectChanged";
inline constexpr wchar_t LButtonDown[] = L"LButtonDown";     // x, y
inline constexpr wchar_t LButtonUp[] = L"LButtonUp";         // x, y
inline constexpr wchar_t LButtonDblClk[] = L"LButtonDblClk"; // x, y
inline constexpr wchar_t RButtonDown[] = L"RButtonDown";     // x, y
inline constexpr wchar_t RButtonUp[] = L"RButtonUp";         // x, y
} // namespace ScreenEvents
