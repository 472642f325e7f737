#pragma once
// The rows of the skinned playlist as a table model for a view: two columns ("Title" left
// aligned, "Duration" right aligned), each row with the item record it shows, and the active row.
// The colours of the list come out through the data roles: every row on the list background,
// the active row in its own text and background colours, a failed item's text in the failure
// colour (over the active colours too). The item's failed flag is read at paint time, so a
// repaint shows a load that failed since.
//
// Views keep one persistent index per selected range; the model moves them with their rows on
// every move and reorder, so the selection follows the rows as it does in a list control.
//
// Threads: user-interface thread only.
// Ownership: item records are not owned (the control center creates and destroys them).
#include "engine/ClipInfo.h"

#include <QAbstractTableModel>
#include <QColor>

#include <array>
#include <string>
#include <vector>

namespace PlaylistColours {
inline const QColor kListBackground{225, 225, 255};
inline const QColor kFailedText{255, 60, 60};
inline const QColor kActiveText{75, 160, 20};
inline const QColor kActiveBackground{172, 255, 172};
} // namespace PlaylistColours

class CPlaylistModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 2;
    static constexpr int kTitleColumn = 0;
    static constexpr int kDurationColumn = 1;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int Count() const { return static_cast<int>(m_rows.size()); }
    bool IsRow(int row) const { return row >= 0 && row < Count(); }

    // Inserts before `row` (at the end when past it) a row with that title; returns its index,
    // -1 for a negative row.
    int Insert(int row, const std::wstring& title);
    // Empty for a cell that does not exist.
    const std::wstring& Text(int row, int column) const;
    void SetText(int row, int column, const std::wstring& text);
    CClipInfo* Item(int row) const;
    void SetItem(int row, CClipInfo* item);
    // Every row's item in row order (null where a row has none).
    std::vector<const CClipInfo*> Items() const;

    // Rows first..last inclusive. The active index is kept as it is.
    void Remove(int first, int last);
    void RemoveAll();
    // Moves one row from `from` to `to` (both rows), with its selection; the active mark stays
    // on the row's item.
    void Move(int from, int to);
    // New row i is old row order[i]; order holds every row once. The active index is left to
    // the caller, who knows where the active item went.
    void Reorder(const std::vector<int>& order);

    // Stored as given (-1 for none, may lie past the last row); repaints the rows concerned.
    void SetActive(int row);
    int Active() const { return m_active; }

private:
    struct CRow {
        std::array<std::wstring, kColumns> texts;
        CClipInfo* item = nullptr; // not owned
    };

    void RepaintRow(int row);

    std::vector<CRow> m_rows;
    int m_active = -1;
};
