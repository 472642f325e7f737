#pragma once
// Events of the application object: "AppInitial" is raised once, after the main window exists
// and before the command line is opened, so the window can restore its saved state.

namespace AppEvents {
inline constexpr wchar_t Initial[] = L"AppInitial";
} // namespace AppEvents
