#include "skin/list/ListCtrlApp.h"

#include "playlist/PlaylistAdapter.h"
#include "skin/list/ListEvents.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

CListCtrlApp::CListCtrlApp(QWidget* parent) : CListCtrlFocus(parent) {}

void CListCtrlApp::MoveItem(int from, int to) {
    to = std::clamp(to, 0, std::max(Rows().Count() - 1, 0));
    Rows().Move(from, to);
}

void CListCtrlApp::MoveSelectedDown(int rows) {
    const std::vector<int> selected = SelectedRows();
    const int last = Rows().Count() - 1;
    for (auto row = selected.rbegin(); row != selected.rend() && *row < last; ++row) {
        MoveItem(*row, *row + rows);
    }
}

void CListCtrlApp::MoveSelectedUp(int rows) {
    const std::vector<int> selected = SelectedRows();
    for (auto row = selected.begin(); row != selected.end() && *row > 0; ++row) {
        MoveItem(*row, *row - rows);
    }
}

void CListCtrlApp::MoveSelectedToBottom() {
    const std::vector<int> selected = SelectedRows();
    if (!selected.empty()) {
        MoveSelectedDown(Rows().Count() - selected.back() - 1);
    }
}

void CListCtrlApp::MoveSelectedToTop() {
    const std::vector<int> selected = SelectedRows();
    if (!selected.empty()) {
        MoveSelectedUp(selected.front());
    }
}

void CListCtrlApp::SortItems(int key) {
    const CPlaylistSorter::CResult result = m_sorter.Sort(key, Rows().Items(), Rows().Active());
    if (result.order.empty()) {
        return;
    }
    Rows().Reorder(result.order);
    Rows().SetActive(result.activeRow);
}

void CListCtrlApp::ResizeColumns() {
    const int title = viewport()->width() - kPlaylistDurationWidth;
    horizontalHeader()->resizeSection(CPlaylistModel::kTitleColumn, std::max(title, 0));
    horizontalHeader()->resizeSection(CPlaylistModel::kDurationColumn, kPlaylistDurationWidth);
}

void CListCtrlApp::resizeEvent(QResizeEvent* event) {
    CListCtrlFocus::resizeEvent(event);
    ResizeColumns();
}

void CListCtrlApp::keyPressEvent(QKeyEvent* event) {
    CListCtrlFocus::keyPressEvent(event);
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Raise(ListEvents::ActiveSelected, SelectionMark(), 0);
        setFocus();
        event->accept();
        break;
    case Qt::Key_Delete:
        Raise(ListEvents::DeleteSelectedItems, 0, 0);
        event->accept();
        break;
    case Qt::Key_End:
        if (control) {
            MoveSelectedToBottom();
        }
        break;
    case Qt::Key_Home:
        if (control) {
            MoveSelectedToTop();
        }
        break;
    case Qt::Key_Up:
        if (control) {
            MoveSelectedUp(1);
        }
        break;
    case Qt::Key_Down:
        if (control) {
            MoveSelectedDown(1);
        }
        break;
    default:
        break;
    }
}

void CListCtrlApp::mouseDoubleClickEvent(QMouseEvent* event) {
    CListCtrlFocus::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        Raise(ListEvents::LeftDblClicked, SelectionMark(), 0);
        setFocus();
    }
}

void CListCtrlApp::mouseReleaseEvent(QMouseEvent* event) {
    CListCtrlFocus::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        const int mark = SelectionMark();
        const int top = Rows().IsRow(mark) ? visualRect(Rows().index(mark, 0)).top() : 0;
        Raise(ListEvents::RightClicked, mark, top);
    }
}
