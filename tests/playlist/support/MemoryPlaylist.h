#pragma once
// A playlist held in memory, behaving as the list control does: rows with two column texts and an
// item each, a selection, an active index stored as given, and sorting through CPlaylistSorter.
// Raises nothing by itself; tests raise the list's events on it as the list control would.
#include "core/EventBus.h"
#include "playlist/PlaylistAdapter.h"
#include "playlist/PlaylistSort.h"

#include <memory>
#include <string>
#include <vector>

class CMemoryPlaylist : public IPlaylistAdapter, public ISubject {
public:
    int GetItemCount() override;
    void SetActiveItem(int index) override;
    int GetActiveItem() override;
    void EnsureVisible(int index) override;
    std::wstring GetItemText(int index) override;
    CClipInfo* GetItemData(int index) override;
    int InsertItem(int index, const std::wstring& text) override;
    void SetItemText(int index, int column, const std::wstring& text) override;
    void SetItemData(int index, CClipInfo* item) override;
    void DeleteItem(int index) override;
    void DeleteAllItems() override;
    bool IsItemSelected(int index) override;
    bool CanDeleteItem(int index) override;
    void DeleteSelectedItems() override;
    bool AreAllItemsFailed() override;
    void SortItems(int key) override;
    int GetSortKey() override;
    void Refresh() override {}
    void ResizeColumns() override;

    // What a test sets or looks at.
    void SetItemSelected(int index, bool selected);
    std::wstring GetColumnText(int index, int column) const;
    // Rows scrolled into view, in call order.
    const std::vector<int>& EnsuredVisible() const { return m_ensuredVisible; }
    void SetViewport(int clientWidth, int rowsPerPage);
    int GetColumnWidth(int column) const { return m_columnWidths[column]; }

private:
    static constexpr int kColumns = 2;

    struct CRow {
        std::wstring texts[kColumns];
        CClipInfo* item = nullptr; // not owned
        bool selected = false;
    };

    bool IsRow(int index) const { return index >= 0 && index < static_cast<int>(m_rows.size()); }

    std::vector<CRow> m_rows;
    int m_active = -1;
    CPlaylistSorter m_sorter;
    std::vector<int> m_ensuredVisible;
    int m_clientWidth = 0;
    int m_rowsPerPage = 0;
    int m_columnWidths[kColumns] = {};
};

// Items for a test list, owned by the test; Add appends a row for each.
struct CTestItems {
    std::vector<std::unique_ptr<CClipInfo>> items;

    CClipInfo& Add(CMemoryPlaylist& list, const std::wstring& path);
};
