#pragma once
// Names of the events of the skinned playlist: those its inner list raises to the host, and those
// the host (CSkinList) raises to the main window and the playlist operator. The selection mark is
// the row that has the keyboard focus (-1 when none).
namespace ListEvents {
// The inner list (CListCtrlApp).
inline constexpr wchar_t RightClicked[] = L"RightClicked";     // selection mark, top of its row
inline constexpr wchar_t LeftDblClicked[] = L"LeftDblClicked"; // selection mark, 0
inline constexpr wchar_t ActiveSelected[] = L"ActiveSelected"; // selection mark, 0
inline constexpr wchar_t DeleteSelectedItems[] = L"DeleteSelectedItems"; // 0, 0

// The host, with the arguments of the inner list's event it answers.
inline constexpr wchar_t ListItemRightClicked[] = L"ListItemRightClicked"; // on RightClicked
// On LeftDblClicked and ActiveSelected; the playlist operator passes it on.
inline constexpr wchar_t ListItemActived[] = L"ListItemActived";
// On DeleteSelectedItems, before any row goes: a request to delete the selected rows.
inline constexpr wchar_t SelectedItemsDeleted[] = L"SelectedItemsDeleted";
} // namespace ListEvents
