#pragma once
// The list part of the skinned playlist: a table view over CPlaylistModel without headers, full
// rows selected (several at once), grid lines, tips with the whole text, fixed row heights (which
// keeps a list of 100,000 rows as quick as a short one), drawn on the list background with the
// active row and failed items in their colours. It is also the subject on which the playlist's
// list events are raised (by CListCtrlApp).
//
// Threads: user-interface thread only.
// Ownership: owns its model; item records are the control center's.
#include "core/EventBus.h"
#include "skin/list/PlaylistModel.h"

#include <QTableView>

#include <vector>

class CListCtrlFocus : public QTableView, public ISubject {
    Q_OBJECT
public:
    explicit CListCtrlFocus(QWidget* parent = nullptr);

    CPlaylistModel& Rows() { return m_rows; }
    const CPlaylistModel& Rows() const { return m_rows; }

    int GetActiveItem() const { return m_rows.Active(); }
    void SetActiveItem(int row) { m_rows.SetActive(row); }

    // The row with the keyboard focus; -1 when none.
    int SelectionMark() const;
    bool IsRowSelected(int row) const;
    // Selected rows in ascending order.
    std::vector<int> SelectedRows() const;
    // Scrolls the whole row into view; nothing for an index that is not a row.
    void EnsureRowVisible(int row);

private:
    CPlaylistModel m_rows;
};
