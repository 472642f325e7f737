#include "skin/list/SkinList.h"

#include "skin/list/ListEvents.h"

#include <iterator>

CSkinList::CSkinList() : m_list(new CListCtrlApp(this)) {}

CSkinList::~CSkinList() {
    m_list->Unsubscribe(this);
}

bool CSkinList::Create(QWidget* parent, int x, int y, int width, int height) {
    CSkinCtrl::Create(parent, x, y, width, height, nullptr, -1, -1, -1, -1);
    m_list->setGeometry(rect());
    m_list->show();
    m_list->Subscribe(this, ListEvents::RightClicked, RegisterHandler(&CSkinList::OnRightClicked));
    m_list->Subscribe(this, ListEvents::LeftDblClicked, RegisterHandler(&CSkinList::OnActivated));
    m_list->Subscribe(this, ListEvents::ActiveSelected, RegisterHandler(&CSkinList::OnActivated));
    m_list->Subscribe(this, ListEvents::DeleteSelectedItems,
                      RegisterHandler(&CSkinList::OnDeleteSelected));
    ResizeColumns();
    return true;
}

int CSkinList::GetItemCount() {
    return m_list->Rows().Count();
}

void CSkinList::SetActiveItem(int index) {
    m_list->SetActiveItem(index);
}

int CSkinList::GetActiveItem() {
    return m_list->GetActiveItem();
}

void CSkinList::EnsureVisible(int index) {
    m_list->EnsureRowVisible(index);
}

std::wstring CSkinList::GetItemText(int index) {
    return m_list->Rows().Text(index, CPlaylistModel::kTitleColumn);
}

CClipInfo* CSkinList::GetItemData(int index) {
    return m_list->Rows().Item(index);
}

int CSkinList::InsertItem(int index, const std::wstring& text) {
    return m_list->Rows().Insert(index, text);
}

void CSkinList::SetItemText(int index, int column, const std::wstring& text) {
    m_list->Rows().SetText(index, column, text);
}

void CSkinList::SetItemData(int index, CClipInfo* item) {
    m_list->Rows().SetItem(index, item);
}

void CSkinList::DeleteItem(int index) {
    m_list->Rows().Remove(index, index);
}

void CSkinList::DeleteAllItems() {
    m_list->Rows().RemoveAll();
}

bool CSkinList::IsItemSelected(int index) {
    return m_list->IsRowSelected(index);
}

bool CSkinList::CanDeleteItem(int /*index*/) {
    return true;
}

void CSkinList::DeleteSelectedItems() {
    // The same rows as removing the first selected one until none is, a run of adjacent rows
    // at a time, from the end so that earlier runs keep their indices.
    const std::vector<int> selected = m_list->SelectedRows();
    auto end = selected.rbegin();
    while (end != selected.rend()) {
        auto first = end;
        while (std::next(first) != selected.rend() && *std::next(first) == *first - 1) {
            ++first;
        }
        m_list->Rows().Remove(*first, *end);
        end = std::next(first);
    }
}

bool CSkinList::AreAllItemsFailed() {
    for (const CClipInfo* item : m_list->Rows().Items()) {
        if (item != nullptr && item->loadFailed == 0) {
            return false;
        }
    }
    return true;
}

void CSkinList::SortItems(int key) {
    m_list->SortItems(key);
}

int CSkinList::GetSortKey() {
    return m_list->GetSortKey();
}

void CSkinList::ResizeColumns() {
    m_list->ResizeColumns();
}

void CSkinList::resizeEvent(QResizeEvent* event) {
    CSkinCtrl::resizeEvent(event);
    m_list->setGeometry(rect()); // the list fits its columns to its new viewport
}

void CSkinList::OnRightClicked(ISubject* /*sender*/, EventArg arg1, EventArg arg2) {
    Raise(ListEvents::ListItemRightClicked, arg1, arg2);
}

void CSkinList::OnActivated(ISubject* /*sender*/, EventArg arg1, EventArg arg2) {
    Raise(ListEvents::ListItemActived, arg1, arg2);
}

void CSkinList::OnDeleteSelected(ISubject* /*sender*/, EventArg arg1, EventArg arg2) {
    Raise(ListEvents::SelectedItemsDeleted, arg1, arg2);
}
