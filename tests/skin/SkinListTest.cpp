// The skinned playlist driven as the user drives it (synthetic keys and clicks) and as the
// playlist code drives it (the adapter): moving rows, sorting, the colours of the active and
// failed rows, the events it raises, and the column widths.
#include "QtTestSupport.h"

#include "playlist/PlaylistOperator.h"
#include "playlist/PlaylistSort.h"
#include "skin/list/ListEvents.h"
#include "skin/list/SkinList.h"

#include <gtest/gtest.h>

#include <QBrush>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace {

class SkinListTest : public ::testing::Test, public CTestApplicationUser {
protected:
    SkinListTest() {
        host.resize(300, 200);
        list.Create(&host, 0, 0, 300, 200);
        host.show();
    }

    // One row per title, each with its own item whose title is the row's text.
    void Fill(const std::wstring& titles) {
        for (const wchar_t title : titles) {
            auto item = std::make_unique<CClipInfo>();
            item->title = std::wstring(1, title);
            const int row = list.InsertItem(list.GetItemCount(), item->title);
            list.SetItemData(row, item.get());
            items.push_back(std::move(item));
        }
    }

    std::wstring Titles() {
        std::wstring titles;
        for (int row = 0; row < list.GetItemCount(); ++row) {
            titles += list.GetItemText(row);
            EXPECT_EQ(list.GetItemData(row)->title, list.GetItemText(row)) << "row " << row;
        }
        return titles;
    }

    std::vector<int> Selected() {
        std::vector<int> rows;
        for (int row = 0; row < list.GetItemCount(); ++row) {
            if (list.IsItemSelected(row)) {
                rows.push_back(row);
            }
        }
        return rows;
    }

    void Select(const std::vector<int>& rows) {
        QItemSelectionModel& selection = *list.List().selectionModel();
        selection.clearSelection();
        for (const int row : rows) {
            selection.select(list.List().Rows().index(row, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        if (!rows.empty()) {
            selection.setCurrentIndex(list.List().Rows().index(rows.front(), 0),
                                      QItemSelectionModel::NoUpdate);
        }
    }

    QPoint RowCentre(int row) {
        return list.List().visualRect(list.List().Rows().index(row, 0)).center();
    }

    QVariant Role(int row, Qt::ItemDataRole role) {
        return list.List().Rows().index(row, 0).data(role);
    }

    QWidget host;
    CSkinList list;
    std::vector<std::unique_ptr<CClipInfo>> items;
};

struct CMoveCase {
    const wchar_t* rows;
    std::vector<int> selected;
    int active;
    Qt::Key key;
    const wchar_t* expectedRows;
    std::vector<int> expectedSelected;
};

TEST_F(SkinListTest, CtrlKeysMoveTheSelectedRowsWithTheirSelectionAndActiveMark) {
    const CMoveCase cases[] = {
        // A block at the top cannot go higher; the walk stops at row 0 and moves nothing else.
        {L"ABCDE", {0}, 0, Qt::Key_Up, L"ABCDE", {0}},
        {L"ABCDE", {0, 2}, 2, Qt::Key_Up, L"ABCDE", {0, 2}},
        {L"ABCDE", {2, 3}, 1, Qt::Key_Up, L"ACDBE", {1, 2}},
        {L"ABCDE", {1, 2}, 2, Qt::Key_Down, L"ADBCE", {2, 3}},
        {L"ABCDE", {4}, 4, Qt::Key_Down, L"ABCDE", {4}},
        {L"ABCDEF", {1, 2}, 3, Qt::Key_End, L"ADEFBC", {4, 5}},
        {L"ABCDEF", {3, 4}, 3, Qt::Key_Home, L"DEABCF", {0, 1}},
        // Rows apart keep their distance: the last selected row reaches the bottom.
        {L"ABCDEF", {1, 3}, 0, Qt::Key_End, L"ACEBFD", {3, 5}},
    };
    for (const CMoveCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.rows) + L" -> " + c.expectedRows));
        list.DeleteAllItems();
        items.clear();
        Fill(c.rows);
        Select(c.selected);
        list.SetActiveItem(c.active);
        const CClipInfo* const activeItem = list.GetItemData(c.active);

        QTest::keyClick(&list.List(), c.key, Qt::ControlModifier);

        EXPECT_EQ(Titles(), c.expectedRows);
        EXPECT_EQ(Selected(), c.expectedSelected);
        // The active mark belongs to the item being played, wherever its row went.
        EXPECT_EQ(list.GetItemData(list.GetActiveItem()), activeItem);
    }
}

TEST_F(SkinListTest, SortingKeepsTheActiveItemAndSelectionAndReversesOnTheSameKey) {
    Fill(L"CAEBD");
    list.SetActiveItem(0); // C
    Select({4});           // D
    const CClipInfo* const active = list.GetItemData(0);
    const CClipInfo* const selected = list.GetItemData(4);

    list.SortItems(kSortByTitle);
    EXPECT_EQ(Titles(), L"ABCDE");
    EXPECT_EQ(list.GetSortKey(), kSortByTitle);
    EXPECT_EQ(list.GetItemData(list.GetActiveItem()), active);
    EXPECT_EQ(Role(2, Qt::BackgroundRole).value<QBrush>().color(),
              PlaylistColours::kActiveBackground);
    EXPECT_EQ(Role(0, Qt::BackgroundRole).value<QBrush>().color(),
              PlaylistColours::kListBackground);
    EXPECT_EQ(Selected(), std::vector<int>{3});
    EXPECT_EQ(list.GetItemData(3), selected);

    list.SortItems(kSortByTitle);
    EXPECT_EQ(Titles(), L"EDCBA");
    EXPECT_EQ(list.GetActiveItem(), 2);

    // A new key starts ascending again; equal sizes keep the order they had.
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->fileSize = items[i]->title == L"A" ? 2 : 1;
    }
    list.SortItems(kSortByFileSize);
    EXPECT_EQ(Titles(), L"EDCBA");
    list.SortItems(kSortByFileSize);
    EXPECT_EQ(Titles(), L"AEDCB");
    EXPECT_EQ(list.GetItemData(list.GetActiveItem()), active);
}

TEST_F(SkinListTest, ActiveAndFailedRowsTakeTheirColours) {
    struct CColourCase {
        bool active;
        bool failed;
        QColor text; // invalid: the list's own text colour
        QColor background;
    };
    const CColourCase cases[] = {
        {false, false, QColor(), PlaylistColours::kListBackground},
        {true, false, PlaylistColours::kActiveText, PlaylistColours::kActiveBackground},
        {false, true, PlaylistColours::kFailedText, PlaylistColours::kListBackground},
        {true, true, PlaylistColours::kFailedText, PlaylistColours::kActiveBackground},
    };
    Fill(L"AB");
    for (const CColourCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "active " << c.active << " failed " << c.failed);
        list.SetActiveItem(c.active ? 1 : 0);
        items[1]->loadFailed = c.failed ? 1 : 0;
        for (const int column : {0, 1}) {
            const QModelIndex cell = list.List().Rows().index(1, column);
            const QVariant text = cell.data(Qt::ForegroundRole);
            EXPECT_EQ(text.isValid() ? text.value<QBrush>().color() : QColor(), c.text);
            EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QBrush>().color(), c.background);
        }
    }
    EXPECT_EQ(list.List().palette().color(QPalette::Base), PlaylistColours::kListBackground);

    // Drawn as the roles say: the active row, an ordinary row, and the empty space below.
    list.SetActiveItem(1);
    list.List().clearSelection();
    const QImage drawn = list.List().viewport()->grab().toImage();
    const int x = RowCentre(0).x() + 100;
    EXPECT_EQ(drawn.pixelColor(x, RowCentre(1).y()), PlaylistColours::kActiveBackground);
    EXPECT_EQ(drawn.pixelColor(x, RowCentre(0).y()), PlaylistColours::kListBackground);
    EXPECT_EQ(drawn.pixelColor(x, drawn.height() - 2), PlaylistColours::kListBackground);
}

TEST_F(SkinListTest, EnterDoubleClickRightClickAndDeleteRaiseTheirEvents) {
    Fill(L"ABCDE");
    CPlaylistOperator playlist;
    playlist.Attach(&list);
    CEventLog listEvents;
    listEvents.Watch(list, {ListEvents::ListItemActived, ListEvents::ListItemRightClicked,
                            ListEvents::SelectedItemsDeleted});
    CEventLog operatorEvents;
    operatorEvents.Watch(playlist, {ListEvents::ListItemActived});

    Select({1});
    QTest::keyClick(&list.List(), Qt::Key_Return);
    QTest::mouseDClick(list.List().viewport(), Qt::LeftButton, {}, RowCentre(3));
    QTest::mouseClick(list.List().viewport(), Qt::RightButton, {}, RowCentre(2));

    ASSERT_EQ(listEvents.events.size(), 3U);
    EXPECT_EQ(listEvents.events[0].name, ListEvents::ListItemActived);
    EXPECT_EQ(listEvents.events[0].arg1, 1);
    EXPECT_EQ(listEvents.events[1].name, ListEvents::ListItemActived);
    EXPECT_EQ(listEvents.events[1].arg1, 3);
    EXPECT_EQ(listEvents.events[1].arg2, 0);
    EXPECT_EQ(listEvents.events[2].name, ListEvents::ListItemRightClicked);
    EXPECT_EQ(listEvents.events[2].arg1, 2);
    EXPECT_EQ(listEvents.events[2].arg2,
              list.List().visualRect(list.List().Rows().index(2, 0)).top());
    // The operator hears every activation through the adapter it was attached to.
    ASSERT_EQ(operatorEvents.events.size(), 2U);
    EXPECT_EQ(operatorEvents.events[0].arg1, 1);
    EXPECT_EQ(operatorEvents.events[1].arg1, 3);

    // The Delete key asks the owner, who deletes through the control center: the rows are still
    // there when it hears of it, so that their records can be freed.
    listEvents.Clear();
    list.SetActiveItem(4);
    Select({0, 2, 3});
    QTest::keyClick(&list.List(), Qt::Key_Delete);
    EXPECT_EQ(listEvents.Names(), std::vector<std::wstring>{ListEvents::SelectedItemsDeleted});
    EXPECT_EQ(Titles(), L"ABCDE");
    list.DeleteSelectedItems();
    EXPECT_EQ(Titles(), L"BE");
    EXPECT_TRUE(Selected().empty());
    // Deleting rows leaves the active index as it was, even past the last row.
    EXPECT_EQ(list.GetActiveItem(), 4);
    EXPECT_EQ(list.GetItemData(4), nullptr);
}

// The columns fill the area the rows are drawn in: inside the list's frame and beside the style's
// own scroll bar, following that bar as rows come and go and the list as it is resized.
TEST_F(SkinListTest, ColumnsFillTheViewportWithOrWithoutTheScrollBar) {
    CListCtrlApp& view = list.List();
    QHeaderView& columns = *view.horizontalHeader();
    const QScrollBar& bar = *view.verticalScrollBar();
    ASSERT_GT(view.frameWidth(), 0);
    const auto expectFilled = [&](int width) {
        EXPECT_EQ(view.viewport()->width(),
                  width - 2 * view.frameWidth() - (bar.isVisible() ? bar.width() : 0));
        EXPECT_EQ(columns.sectionSize(1), kPlaylistDurationWidth);
        EXPECT_EQ(columns.sectionSize(0) + columns.sectionSize(1), view.viewport()->width());
    };

    Fill(L"AB");
    list.ResizeColumns();
    EXPECT_FALSE(bar.isVisible());
    expectFilled(300);

    // The view shows its scroll bar only once it has laid the new rows out.
    Fill(std::wstring(30, L'x'));
    ASSERT_TRUE(PumpUntil([&] { return bar.isVisible(); }, std::chrono::seconds(2)));
    expectFilled(300);

    host.resize(400, 200);
    list.resize(400, 200);
    EXPECT_EQ(view.geometry(), QRect(0, 0, 400, 200));
    expectFilled(400);

    while (list.GetItemCount() > 2) {
        list.DeleteItem(2);
    }
    ASSERT_TRUE(PumpUntil([&] { return !bar.isVisible(); }, std::chrono::seconds(2)));
    expectFilled(400);
}

TEST_F(SkinListTest, AdapterKeepsRowsAndItemsApart) {
    EXPECT_TRUE(list.AreAllItemsFailed());
    EXPECT_EQ(list.InsertItem(-1, L"x"), -1);
    EXPECT_EQ(list.InsertItem(7, L"B"), 0);
    EXPECT_EQ(list.InsertItem(0, L"A"), 0);
    EXPECT_EQ(list.InsertItem(99, L"C"), 2);
    EXPECT_EQ(list.GetItemData(1), nullptr);
    EXPECT_TRUE(list.AreAllItemsFailed()); // rows without items are skipped

    CClipInfo failed;
    failed.loadFailed = 1;
    CClipInfo loaded;
    list.SetItemData(0, &failed);
    EXPECT_TRUE(list.AreAllItemsFailed());
    list.SetItemData(2, &loaded);
    EXPECT_FALSE(list.AreAllItemsFailed());

    list.SetItemText(2, 1, L"3:07");
    EXPECT_EQ(list.List().Rows().Text(2, 1), L"3:07");
    EXPECT_EQ(Role(2, Qt::DisplayRole).toString(), QStringLiteral("C"));
    EXPECT_EQ(list.GetItemText(5), L"");

    list.SetActiveItem(2);
    list.DeleteItem(0);
    EXPECT_EQ(list.GetActiveItem(), 2);
    EXPECT_EQ(list.GetItemText(0), L"B");
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
    list.SortItems(kSortByTitle); // nothing to sort: the key stays
    EXPECT_EQ(list.GetSortKey(), 0);
}

} // namespace
