#include "support/MemoryPlaylist.h"

#include <algorithm>

namespace {

// This list's vertical scroll bar, shown while the rows overflow its page.
constexpr int kScrollBarWidth = 18;

} // namespace

int CMemoryPlaylist::GetItemCount() {
    return static_cast<int>(m_rows.size());
}

void CMemoryPlaylist::SetActiveItem(int index) {
    m_active = index;
}

int CMemoryPlaylist::GetActiveItem() {
    return m_active;
}

void CMemoryPlaylist::EnsureVisible(int index) {
    m_ensuredVisible.push_back(index);
}

std::wstring CMemoryPlaylist::GetItemText(int index) {
    return GetColumnText(index, 0);
}

CClipInfo* CMemoryPlaylist::GetItemData(int index) {
    return IsRow(index) ? m_rows[index].item : nullptr;
}

int CMemoryPlaylist::InsertItem(int index, const std::wstring& text) {
    if (index < 0) {
        return -1;
    }
    index = std::min(index, GetItemCount());
    CRow row;
    row.texts[0] = text;
    m_rows.insert(m_rows.begin() + index, row);
    return index;
}

void CMemoryPlaylist::SetItemText(int index, int column, const std::wstring& text) {
    if (IsRow(index) && column >= 0 && column < kColumns) {
        m_rows[index].texts[column] = text;
    }
}

void CMemoryPlaylist::SetItemData(int index, CClipInfo* item) {
    if (IsRow(index)) {
        m_rows[index].item = item;
    }
}

void CMemoryPlaylist::DeleteItem(int index) {
    if (IsRow(index)) {
        m_rows.erase(m_rows.begin() + index);
    }
}

void CMemoryPlaylist::DeleteAllItems() {
    m_rows.clear();
}

bool CMemoryPlaylist::IsItemSelected(int index) {
    return IsRow(index) && m_rows[index].selected;
}

bool CMemoryPlaylist::CanDeleteItem(int /*index*/) {
    return true;
}

void CMemoryPlaylist::DeleteSelectedItems() {
    for (;;) {
        const auto first = std::find_if(m_rows.begin(), m_rows.end(),
                                        [](const CRow& row) { return row.selected; });
        if (first == m_rows.end()) {
            return;
        }
        m_rows.erase(first);
    }
}

bool CMemoryPlaylist::AreAllItemsFailed() {
    return std::all_of(m_rows.begin(), m_rows.end(), [](const CRow& row) {
        return row.item == nullptr || row.item->loadFailed != 0;
    });
}

void CMemoryPlaylist::SortItems(int key) {
    std::vector<const CClipInfo*> items;
    for (const CRow& row : m_rows) {
        items.push_back(row.item);
    }
    const CPlaylistSorter::CResult result = m_sorter.Sort(key, items, m_active);
    if (result.order.empty()) {
        return;
    }
    ApplyPlaylistOrder(m_rows, result.order);
    m_active = result.activeRow;
}

int CMemoryPlaylist::GetSortKey() {
    return m_sorter.GetSortKey();
}

void CMemoryPlaylist::ResizeColumns() {
    const bool scrolls = GetItemCount() > m_rowsPerPage;
    m_columnWidths[1] = kPlaylistDurationWidth;
    m_columnWidths[0] = m_clientWidth - kPlaylistDurationWidth - (scrolls ? kScrollBarWidth : 0);
}

void CMemoryPlaylist::SetItemSelected(int index, bool selected) {
    if (IsRow(index)) {
        m_rows[index].selected = selected;
    }
}

std::wstring CMemoryPlaylist::GetColumnText(int index, int column) const {
    return IsRow(index) && column >= 0 && column < kColumns ? m_rows[index].texts[column]
                                                            : std::wstring();
}

void CMemoryPlaylist::SetViewport(int clientWidth, int rowsPerPage) {
    m_clientWidth = clientWidth;
    m_rowsPerPage = rowsPerPage;
}

CClipInfo& CTestItems::Add(CMemoryPlaylist& list, const std::wstring& path) {
    items.push_back(std::make_unique<CClipInfo>());
    CClipInfo& item = *items.back();
    item.path = path;
    const int row = list.InsertItem(list.GetItemCount(), item.DisplayName());
    list.SetItemData(row, &item);
    return item;
}
