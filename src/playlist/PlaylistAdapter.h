#pragma once
// The playlist as everyone else sees it, without knowing the list control that holds it: rows
// with one text per column and an item record per row, the selection, and the active row (the
// item that is or will be played; -1 when none). The active row is independent of the selection,
// and removing rows never changes the stored active index, so it may point past the last row;
// GetItemData of such an index is null.
//
// Implemented by the skinned playlist control and, for tests, by an in-memory list.
// Threads: user-interface thread only.
// Ownership: the rows hold item records that the caller created; deleting rows never destroys
// them, the caller (the control center) does.
#include "engine/ClipInfo.h"

#include <string>

class IPlaylistAdapter {
public:
    virtual int GetItemCount() = 0;
    // Stores the index as given (-1 clears it) and repaints.
    virtual void SetActiveItem(int index) = 0;
    virtual int GetActiveItem() = 0;
    virtual void EnsureVisible(int index) = 0;
    // Column 0's text; empty when the index is not a row.
    virtual std::wstring GetItemText(int index) = 0;
    // Null when the index is not a row or the row has no item.
    virtual CClipInfo* GetItemData(int index) = 0;
    // Inserts a row before index (at the end when index is past it); returns the row's index, -1
    // when index is negative.
    virtual int InsertItem(int index, const std::wstring& text) = 0;
    virtual void SetItemText(int index, int column, const std::wstring& text) = 0;
    virtual void SetItemData(int index, CClipInfo* item) = 0;
    virtual void DeleteItem(int index) = 0;
    virtual void DeleteAllItems() = 0;
    virtual bool IsItemSelected(int index) = 0;
    virtual bool CanDeleteItem(int index) = 0;
    // Removes the first selected row until none is selected.
    virtual void DeleteSelectedItems() = 0;
    // Whether every row that has an item failed to load; rows without one are skipped, and an
    // empty list counts as all failed.
    virtual bool AreAllItemsFailed() = 0;
    // Sorts through CPlaylistSorter; the active item stays active at its new row.
    virtual void SortItems(int key) = 0;
    // The key of the last sort; 0 before any.
    virtual int GetSortKey() = 0;
    // Called after bulk changes.
    virtual void Refresh() = 0;
    // Duration column kPlaylistDurationWidth wide, the title column the rest of the width the
    // list shows rows in (less its vertical scroll bar while the rows overflow one page).
    virtual void ResizeColumns() = 0;

    virtual ~IPlaylistAdapter() = default;
};

// Width of the "Duration" column of the two-column list ("Title", "Duration"), in pixels.
constexpr int kPlaylistDurationWidth = 40;
