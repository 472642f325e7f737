#pragma once
// The skinned playlist: a skin control that hosts the list (CListCtrlApp) over its whole client
// area and is the playlist adapter the control center and the playlist operator work through.
// It is also the subject of the playlist's list events, so the operator, which subscribes to the
// adapter's "ListItemActived", hears the user activating a row.
//
// Events raised (ListEvents.h), with the arguments the inner list raised:
//   "ListItemRightClicked"  on the list's "RightClicked"
//   "ListItemActived"       on the list's "LeftDblClicked" and "ActiveSelected"
//   "SelectedItemsDeleted"  on the list's "DeleteSelectedItems" (the Delete key), with the rows
//                           still in place: the owner deletes them as its delete command does,
//                           through the control center, which frees their records
//
// Threads: user-interface thread only.
// Ownership: the inner list is a Qt child of this control. Item records are the control
// center's: removing rows, and destroying the list, never destroys them.
#include "playlist/PlaylistAdapter.h"
#include "skin/SkinCtrl.h"
#include "skin/list/ListCtrlApp.h"

class CSkinList : public CSkinCtrl, public IPlaylistAdapter {
    Q_OBJECT
public:
    CSkinList();
    ~CSkinList() override;

    // Makes the host a child of parent (negative values edge-relative, as for every control)
    // and the list inside it. Always succeeds.
    bool Create(QWidget* parent, int x, int y, int width, int height);

    // The inner list, for the owner's focus handling and for tests.
    CListCtrlApp& List() { return *m_list; }

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

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnRightClicked(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnActivated(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnDeleteSelected(ISubject* sender, EventArg arg1, EventArg arg2);

    CListCtrlApp* m_list; // a Qt child of this control
};
