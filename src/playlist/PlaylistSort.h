#pragma once
// Sorting the playlist rows, shared by every list that implements IPlaylistAdapter::SortItems:
// the list hands over the item of each row and its active row, and gets back the new row order
// and the new active row. The list then moves its own rows (texts, data, selection) into that
// order, which keeps this code free of any one list's row storage.
//
// Threads: user-interface thread only (shuffling draws from the playlist random sequence).
#include "engine/ClipInfo.h"

#include <vector>

// Sort keys: the main window's command identifiers of the "Playlist Sort" menu.
constexpr int kSortByTitle = 15054;
constexpr int kSortByFileSize = 15055;
constexpr int kSortByAddTime = 15057;
constexpr int kSortByLastAccessTime = 15058;
constexpr int kSortByCreateTime = 15059;
constexpr int kSortShuffle = 15060;
constexpr int kSortByDuration = 16202;

// -1, 0 or +1 as a is before, level with or after b in ascending order of the key. Any key
// without a comparison (shuffle included) compares everything equal. A null item compares as an
// empty one.
int ComparePlaylistItems(int key, const CClipInfo* a, const CClipInfo* b);

class CPlaylistSorter {
public:
    struct CResult {
        // order[newRow] = oldRow; empty when there was nothing to sort.
        std::vector<int> order;
        // The row now holding the item that was active, -1 when no item was.
        int activeRow = -1;
    };

    // Sorting by the last key again flips the direction; another key starts ascending. Rows that
    // compare equal keep their order. Shuffle deals the rows into a random order instead, which
    // keeps every row exactly once whatever the direction. An empty list changes nothing, not
    // even the last key.
    CResult Sort(int key, const std::vector<const CClipInfo*>& items, int activeRow);

    // The key of the last sort; 0 before any.
    int GetSortKey() const { return m_lastKey; }

private:
    int m_lastKey = 0;
    bool m_ascending = true;
};

// Rearranges rows into a sorter's order: rows[newRow] becomes the old rows[order[newRow]].
template <class Row>
void ApplyPlaylistOrder(std::vector<Row>& rows, const std::vector<int>& order) {
    std::vector<Row> sorted;
    sorted.reserve(order.size());
    for (const int oldRow : order) {
        sorted.push_back(std::move(rows[static_cast<std::size_t>(oldRow)]));
    }
    rows = std::move(sorted);
}
