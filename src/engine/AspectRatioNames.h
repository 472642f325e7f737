#pragma once
// The names the video screen's aspect-ratio rules are chosen by (compared in upper case; the
// rules are in skin/screen/AspectRatio.h). The controller names the rule a new screen starts
// with, so the names live here, below the screen.
namespace AspectRatioNames {
inline constexpr wchar_t FitSource[] = L"FITSOURCE";
inline constexpr wchar_t Fit4To3[] = L"FIT4_3";
inline constexpr wchar_t Fit16To9[] = L"FIT16_9";
inline constexpr wchar_t FitDistort[] = L"FITDISTORT";
inline constexpr wchar_t FitCustom[] = L"FITCUSTOM";
} // namespace AspectRatioNames
