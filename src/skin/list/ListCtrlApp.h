#pragma once
// The playlist's list with its behaviour: the two columns and their widths, the keys, the mouse
// events, moving the selected rows, and sorting through the playlist's shared sorter.
//
// Events raised on its subject (ListEvents.h), each after Qt's own handling of the input:
//   Enter                  "ActiveSelected"(selection mark, 0), and the list takes the focus
//   Delete                 "DeleteSelectedItems"(0, 0)
//   left double click      "LeftDblClicked"(selection mark, 0), and the list takes the focus
//   right click (release)  "RightClicked"(selection mark, top of that row in the list)
// Ctrl+Home, Ctrl+End, Ctrl+Up and Ctrl+Down move the selected rows to the top, to the bottom,
// one row up and one row down.
//
// Threads: user-interface thread only.
#include "playlist/PlaylistSort.h"
#include "skin/list/ListCtrlFocus.h"

#include <utility>

// The widths of the title and duration columns in a list client area that wide: the duration
// column is kPlaylistDurationWidth, the title the rest, less the vertical scroll bar when there
// are more rows than fit on one page.
std::pair<int, int> PlaylistColumnWidths(int clientWidth, int rowCount, int rowsPerPage);

class CListCtrlApp : public CListCtrlFocus {
    Q_OBJECT
public:
    explicit CListCtrlApp(QWidget* parent = nullptr);

    // Moves one row, with its texts, item, selection and active mark; `to` is held to the rows.
    void MoveItem(int from, int to);
    // Each selected row moves by `rows`. Moving down walks the selection from the last row and
    // stops at the first one already on the last row; moving up walks it from the first and
    // stops at the first one on row 0, so a block at an end stays put.
    void MoveSelectedDown(int rows);
    void MoveSelectedUp(int rows);
    void MoveSelectedToBottom();
    void MoveSelectedToTop();

    // Sorts the rows by the key (see CPlaylistSorter); the active item stays active at its new
    // row and the selection stays with its rows.
    void SortItems(int key);
    int GetSortKey() const { return m_sorter.GetSortKey(); }

    void ResizeColumns(int clientWidth);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CPlaylistSorter m_sorter;
};
