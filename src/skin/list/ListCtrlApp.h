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

    // The duration column kPlaylistDurationWidth wide, the title column the rest of the viewport:
    // the list inside its frame, less the vertical scroll bar (of the style's width) while one
    // shows. Runs by itself whenever the viewport changes size, so the columns follow the list's
    // size and the scroll bar coming and going.
    void ResizeColumns();

protected:
    // The viewport's resize (QAbstractScrollArea passes those here).
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CPlaylistSorter m_sorter;
};
