#include "playlist/PlaylistSort.h"
#include "playlist/PlaylistRandom.h"
#include "support/MemoryPlaylist.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>

#include "core/WideText.h"

namespace {

class PlaylistSortTest : public ::testing::Test {
protected:
    // Rows titled by the names given, in that order.
    void Fill(std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) {
            items.Add(list, std::wstring(L"/m/") + name);
        }
    }
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> names;
        for (int i = 0; i < list.GetItemCount(); ++i) {
            names.push_back(list.GetItemData(i)->DisplayName());
        }
        return names;
    }
    using Names_t = std::vector<std::wstring>;

    CMemoryPlaylist list;
    CTestItems items;
};

} // namespace

TEST_F(PlaylistSortTest, SameKeyAgainReversesAndAnotherKeyStartsAscending) {
    Fill({L"b", L"c", L"a"});
    items.items[0]->fileSize = 30;
    items.items[1]->fileSize = 10;
    items.items[2]->fileSize = 20;
    EXPECT_EQ(list.GetSortKey(), 0);

    list.SortItems(kSortByTitle);
    EXPECT_EQ(Names(), (Names_t{L"a", L"b", L"c"}));
    EXPECT_EQ(list.GetSortKey(), kSortByTitle);
    list.SortItems(kSortByTitle);
    EXPECT_EQ(Names(), (Names_t{L"c", L"b", L"a"}));
    list.SortItems(kSortByFileSize);
    EXPECT_EQ(Names(), (Names_t{L"c", L"a", L"b"}));
    list.SortItems(kSortByTitle);
    EXPECT_EQ(Names(), (Names_t{L"a", L"b", L"c"})) << "back to ascending after another key";
}

TEST_F(PlaylistSortTest, ActiveItemStaysActiveAtItsNewRowAndRowTextsMoveWithIt) {
    Fill({L"c", L"a", L"b"});
    list.SetItemText(0, 1, L"3m");
    list.SetItemSelected(0, true);
    list.SetActiveItem(0);
    CClipInfo* const active = list.GetItemData(0);
    list.SortItems(kSortByTitle);
    EXPECT_EQ(list.GetActiveItem(), 2);
    EXPECT_EQ(list.GetItemData(2), active);
    EXPECT_EQ(list.GetItemText(2), L"c");
    EXPECT_EQ(list.GetColumnText(2, 1), L"3m");
    EXPECT_TRUE(list.IsItemSelected(2));
    EXPECT_FALSE(list.IsItemSelected(0));
}

TEST_F(PlaylistSortTest, WithoutAnActiveItemNoneBecomesActive) {
    Fill({L"b", L"a"});
    list.SortItems(kSortByTitle);
    EXPECT_EQ(list.GetActiveItem(), -1);
    list.SetActiveItem(5); // left past the end by deletions: no item is active
    list.SortItems(kSortByTitle);
    EXPECT_EQ(list.GetActiveItem(), -1);
}

TEST_F(PlaylistSortTest, EmptyListKeepsTheLastKey) {
    list.SortItems(kSortByTitle);
    EXPECT_EQ(list.GetSortKey(), 0);
    Fill({L"a"});
    list.SortItems(kSortByFileSize);
    list.DeleteAllItems();
    list.SortItems(kSortByTitle);
    EXPECT_EQ(list.GetSortKey(), kSortByFileSize);
}

TEST_F(PlaylistSortTest, TitleIsOrdinalCaseSensitiveAndFallsBackToTheFileName) {
    Fill({L"b.mkv", L"B.mkv", L"a.mkv", L"x.avi"});
    items.items[3]->title = L"Zed"; // the title wins over the file name "x.avi"
    list.SortItems(kSortByTitle);
    EXPECT_EQ(Names(), (Names_t{L"B.mkv", L"Zed", L"a.mkv", L"b.mkv"}));
}

TEST(PlaylistCompare, NumericKeysOneByOne) {
    CClipInfo a, b;
    // Whole 64-bit values: neither the sign bit nor the bits above 32 turn an order around.
    a.fileSize = 3000000000u;
    b.fileSize = 1000;
    EXPECT_EQ(ComparePlaylistItems(kSortByFileSize, &a, &b), 1);
    EXPECT_EQ(ComparePlaylistItems(kSortByFileSize, &b, &a), -1);
    EXPECT_EQ(ComparePlaylistItems(kSortByFileSize, &a, &a), 0);
    a.fileSize = (5ULL << 30) + 1;
    b.fileSize = (1ULL << 32) + 2;
    EXPECT_EQ(ComparePlaylistItems(kSortByFileSize, &a, &b), 1);

    a.addTime = 5;
    b.addTime = (1ULL << 32) + 1;
    EXPECT_EQ(ComparePlaylistItems(kSortByAddTime, &a, &b), -1);
    a.creationTime = 0x80000000LL;
    b.creationTime = 1;
    EXPECT_EQ(ComparePlaylistItems(kSortByCreateTime, &a, &b), 1);
    a.lastAccessTime = 0x1'0000'0002LL;
    b.lastAccessTime = 0xFFFFFFFFLL;
    EXPECT_EQ(ComparePlaylistItems(kSortByLastAccessTime, &a, &b), 1);

    // Durations count whole seconds toward zero.
    a.duration = 10.9;
    b.duration = 10.1;
    EXPECT_EQ(ComparePlaylistItems(kSortByDuration, &a, &b), 0);
    b.duration = 11.0;
    EXPECT_EQ(ComparePlaylistItems(kSortByDuration, &a, &b), -1);
    a.duration = -0.5;
    b.duration = 0.0;
    EXPECT_EQ(ComparePlaylistItems(kSortByDuration, &a, &b), 0);
    a.duration = std::numeric_limits<double>::infinity();
    b.duration = 1e300;
    EXPECT_EQ(ComparePlaylistItems(kSortByDuration, &a, &b), 0) << "both held at the top";
    a.duration = std::nan("");
    EXPECT_EQ(ComparePlaylistItems(kSortByDuration, &a, &b), -1);

    // Unknown keys and shuffle compare nothing; a missing item is an empty one.
    EXPECT_EQ(ComparePlaylistItems(12345, &a, &b), 0);
    EXPECT_EQ(ComparePlaylistItems(kSortShuffle, &a, &b), 0);
    EXPECT_EQ(ComparePlaylistItems(kSortByFileSize, nullptr, &b), -1);
}

TEST_F(PlaylistSortTest, UnknownKeyKeepsTheOrder) {
    Fill({L"c", L"a", L"b"});
    list.SortItems(0);
    list.SortItems(4711);
    EXPECT_EQ(Names(), (Names_t{L"c", L"a", L"b"}));
    EXPECT_EQ(list.GetSortKey(), 4711);
}

TEST_F(PlaylistSortTest, ShuffleKeepsEveryRowOnceAndFollowsTheSeed) {
    for (int i = 0; i < 500; ++i) {
        items.Add(list, L"/m/" + std::to_wstring(i));
    }
    const Names_t before = Names();
    list.SetActiveItem(123);
    CClipInfo* const active = list.GetItemData(123);

    SeedPlaylistRandom(99);
    list.SortItems(kSortShuffle);
    const Names_t first = Names();
    EXPECT_NE(first, before);
    EXPECT_TRUE(std::is_permutation(first.begin(), first.end(), before.begin(), before.end()));
    EXPECT_EQ(list.GetItemData(list.GetActiveItem()), active);

    SeedPlaylistRandom(99);
    CMemoryPlaylist again;
    CTestItems againItems;
    for (int i = 0; i < 500; ++i) {
        againItems.Add(again, L"/m/" + std::to_wstring(i));
    }
    again.SortItems(kSortShuffle);
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(again.GetItemData(i)->DisplayName(), first[i]) << "row " << i;
    }
}

// Real files: a sparse one just over 4 GiB against a small one, and access times a minute
// apart whose low 32 bits (as signed 100-ns counts) run the other way.
TEST_F(PlaylistSortTest, FilesOver4GiBAndTimesAMinuteApartSortByTheirWholeValues) {
    const CScratchFolder folder("sort");
    const std::string big = folder.Root() + "big.mkv";
    const std::string small = folder.Root() + "small.mkv";
    std::ofstream(big).put('x');
    std::ofstream(small).put('x');
    std::filesystem::resize_file(big, (4ULL << 30) + 10);
    std::filesystem::resize_file(small, 1000);
    // 2020-01-01 00:00:00 UTC and one minute later.
    constexpr time_t kEarlier = 1577836800;
    const auto setAccessTime = [](const std::string& path, time_t seconds) {
        const timespec times[2] = {{seconds, 0}, {0, UTIME_OMIT}};
        return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
    };
    ASSERT_TRUE(setAccessTime(small, kEarlier));
    ASSERT_TRUE(setAccessTime(big, kEarlier + 60));

    items.Add(list, PathFromBytes(big));
    items.Add(list, PathFromBytes(small));
    for (int row = 0; row < list.GetItemCount(); ++row) {
        ASSERT_TRUE(list.GetItemData(row)->ReadFileAttributes());
    }
    EXPECT_EQ(list.GetItemData(0)->fileSize, (4ULL << 30) + 10);
    list.SortItems(kSortByFileSize);
    EXPECT_EQ(Names(), (Names_t{L"small.mkv", L"big.mkv"}));
    list.SortItems(kSortByTitle);
    list.SortItems(kSortByLastAccessTime);
    EXPECT_EQ(Names(), (Names_t{L"small.mkv", L"big.mkv"}));
}
