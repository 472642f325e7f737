#include "skin/list/ListCtrlFocus.h"

#include <QHeaderView>

#include <algorithm>

namespace {

// Room above and below the text of a row, in pixels.
constexpr int kRowPadding = 4;

} // namespace

CListCtrlFocus::CListCtrlFocus(QWidget* parent) : QTableView(parent) {
    setModel(&m_rows);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // One height for every row: the view then places rows by arithmetic instead of measuring.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    // The columns fill the viewport's width (CListCtrlApp::ResizeColumns).
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, PlaylistColours::kListBackground);
    setPalette(colours);
}

int CListCtrlFocus::SelectionMark() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool CListCtrlFocus::IsRowSelected(int row) const {
    return m_rows.IsRow(row) && selectionModel()->isSelected(m_rows.index(row, 0));
}

std::vector<int> CListCtrlFocus::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CListCtrlFocus::EnsureRowVisible(int row) {
    if (m_rows.IsRow(row)) {
        scrollTo(m_rows.index(row, 0), QAbstractItemView::EnsureVisible);
    }
}
