#pragma once
// Names of the events the skinned controls raise on their subject side. The arguments are the
// two integers named beside each.

namespace SkinEvents {
// Every CSkinCtrl; x and y are control coordinates.
inline constexpr wchar_t LeftDown[] = L"LeftDown";                   // x, y
inline constexpr wchar_t LeftUp[] = L"LeftUp";                       // x, y
inline constexpr wchar_t LeftClicked[] = L"LeftClicked";             // x, y
inline constexpr wchar_t LeftDoubleClicked[] = L"LeftDoubleClicked"; // 0, 0
inline constexpr wchar_t MouseMove[] = L"MouseMove";                 // x, y
inline constexpr wchar_t MouseDragging[] = L"MouseDragging";         // x, y
inline constexpr wchar_t MouseLeave[] = L"MouseLeave";               // 0, 0

// CSkinSlider: the value under the thumb and the thumb's travel in pixels.
inline constexpr wchar_t SliderPosChanged[] = L"SliderPosChanged"; // value, span
inline constexpr wchar_t SliderPosHovered[] = L"SliderPosHovered"; // value, span

// CSkinSizer.
inline constexpr wchar_t SkinSizerPosChanged[] = L"SkinSizerPosChanged"; // position, press x or 0
inline constexpr wchar_t SkinSizerBoxChecked[] = L"SkinSizerBoxChecked"; // checked flag, 0
} // namespace SkinEvents
