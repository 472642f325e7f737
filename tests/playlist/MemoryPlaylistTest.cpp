#include "support/MemoryPlaylist.h"

#include <gtest/gtest.h>

TEST(MemoryPlaylist, DeletingRowsKeepsTheActiveIndexAndRemovesOnlySelectedRows) {
    CMemoryPlaylist list;
    CTestItems items;
    for (const wchar_t* name : {L"/a", L"/b", L"/c", L"/d"}) {
        items.Add(list, name);
    }
    list.SetActiveItem(3);
    list.SetItemSelected(0, true);
    list.SetItemSelected(2, true);
    list.DeleteSelectedItems();
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(0), L"b");
    EXPECT_EQ(list.GetItemText(1), L"d");
    EXPECT_EQ(list.GetActiveItem(), 3);
    EXPECT_EQ(list.GetItemData(3), nullptr);
    EXPECT_EQ(list.GetItemData(-1), nullptr);

    EXPECT_EQ(list.InsertItem(9, L"end"), 2) << "past the end appends";
    EXPECT_EQ(list.InsertItem(-1, L"none"), -1);
    EXPECT_EQ(list.GetItemCount(), 3);
}

TEST(MemoryPlaylist, AllFailedSkipsRowsWithoutItems) {
    CMemoryPlaylist list;
    CTestItems items;
    EXPECT_TRUE(list.AreAllItemsFailed()) << "an empty list";
    CClipInfo& a = items.Add(list, L"/a");
    list.InsertItem(1, L"no item");
    EXPECT_FALSE(list.AreAllItemsFailed());
    a.loadFailed = 1;
    EXPECT_TRUE(list.AreAllItemsFailed());
    items.Add(list, L"/b");
    EXPECT_FALSE(list.AreAllItemsFailed());
}

TEST(MemoryPlaylist, TitleColumnMakesRoomForTheScrollBarOnlyWhenRowsOverflow) {
    CMemoryPlaylist list;
    CTestItems items;
    list.SetViewport(300, 2);
    items.Add(list, L"/a");
    items.Add(list, L"/b");
    list.ResizeColumns();
    EXPECT_EQ(list.GetColumnWidth(0), 260);
    EXPECT_EQ(list.GetColumnWidth(1), 40);
    items.Add(list, L"/c");
    list.ResizeColumns();
    EXPECT_EQ(list.GetColumnWidth(0), 242);
}
