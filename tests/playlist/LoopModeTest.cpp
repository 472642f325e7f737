#include "playlist/LoopMode.h"
#include "playlist/PlaylistOperator.h"
#include "playlist/PlaylistRandom.h"
#include "support/MemoryPlaylist.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Records what the operator raises.
class CEventLog : public CObserver<CEventLog> {
public:
    explicit CEventLog(ISubject& subject) {
        subject.Subscribe(this, L"ListItemActived", RegisterHandler(&CEventLog::OnActived));
        subject.Subscribe(this, L"LoopModeChanged", RegisterHandler(&CEventLog::OnModeChanged));
    }
    void OnActived(ISubject*, EventArg row, EventArg arg2) { actived.push_back({row, arg2}); }
    void OnModeChanged(ISubject*, EventArg name, EventArg mode) {
        modeNames.push_back(*reinterpret_cast<const std::wstring*>(name));
        modes.push_back(reinterpret_cast<const ILoopMode*>(mode));
    }

    std::vector<std::pair<EventArg, EventArg>> actived;
    std::vector<std::wstring> modeNames;
    std::vector<const ILoopMode*> modes;
};

class LoopModeTest : public ::testing::Test {
protected:
    void Fill(int rows) {
        for (int i = 0; i < rows; ++i) {
            items.Add(list, L"/media/clip" + std::to_wstring(i) + L".mkv");
        }
    }
    CClipInfo* Row(int index) { return list.GetItemData(index); }

    CMemoryPlaylist list;
    CTestItems items;
    CPlaylistOperator op;
    CEventLog events{op};
};

} // namespace

TEST(LoopModeRegistry, FindsEachModeByItsExactNameAndFallsBackToPlaylistOnce) {
    const wchar_t* const names[] = {L"SINGLEFILEONCE", L"SINGLEFILELOOP", L"PLAYLISTONCE",
                                    L"PLAYLISTLOOP", L"PLAYLISTSHUFFLE"};
    std::set<const ILoopMode*> distinct;
    for (const wchar_t* name : names) {
        const ILoopMode& mode = FindLoopMode(name);
        EXPECT_EQ(mode.GetName(), name);
        EXPECT_EQ(&FindLoopMode(name), &mode) << "one instance per mode";
        distinct.insert(&mode);
    }
    EXPECT_EQ(distinct.size(), 5u);
    for (const wchar_t* other : {L"playlistloop", L"", L"PLAYLISTLOOP ", L"SHUFFLE"}) {
        EXPECT_EQ(&FindLoopMode(other), &FindLoopMode(LoopModeNames::PlaylistOnce)) << other;
    }
}

TEST_F(LoopModeTest, AttachSelectsPlaylistLoopOnceAndSetLoopModeAnnouncesTheMode) {
    op.Attach(&list);
    ASSERT_EQ(events.modeNames, std::vector<std::wstring>{L"PLAYLISTLOOP"});
    EXPECT_EQ(events.modes[0], &FindLoopMode(LoopModeNames::PlaylistLoop));
    EXPECT_EQ(op.GetLoopMode(), &FindLoopMode(LoopModeNames::PlaylistLoop));

    Fill(3);
    list.SetActiveItem(2);
    op.SetLoopMode(L"playlistloop");
    EXPECT_EQ(op.GetLoopMode(), &FindLoopMode(LoopModeNames::PlaylistOnce));
    EXPECT_EQ(events.modeNames.back(), L"PLAYLISTONCE");
    EXPECT_EQ(list.GetActiveItem(), 2) << "changing the mode does not move";
}

TEST_F(LoopModeTest, ListActivationIsPassedOnWithItsArguments) {
    op.Attach(&list);
    list.Raise(L"ListItemActived", 4, 7);
    list.Raise(L"LeftDblClicked", 5, 0);
    ASSERT_EQ(events.actived.size(), 1u);
    EXPECT_EQ(events.actived[0], std::make_pair(EventArg{4}, EventArg{7}));
}

TEST_F(LoopModeTest, EmptyListOrNoAdapterAnswersNothingAndMovesNothing) {
    EXPECT_EQ(op.MoveNext(), nullptr) << "before Attach";
    EXPECT_FALSE(op.IsReady());
    op.Attach(&list);
    for (const wchar_t* mode : {L"SINGLEFILELOOP", L"PLAYLISTLOOP", L"PLAYLISTSHUFFLE"}) {
        op.SetLoopMode(mode);
        EXPECT_FALSE(op.IsReady());
        EXPECT_EQ(op.GetCurrentItem(), nullptr);
        EXPECT_EQ(op.MoveFirst(), nullptr);
        EXPECT_EQ(op.MoveLast(), nullptr);
        EXPECT_FALSE(op.HasNext());
        EXPECT_FALSE(op.HasPrevious());
        EXPECT_EQ(op.MoveNext(), nullptr);
        EXPECT_EQ(op.MovePrevious(), nullptr);
        EXPECT_EQ(list.GetActiveItem(), -1);
    }
    EXPECT_TRUE(op.AreAllItemsFailed());
    EXPECT_TRUE(list.EnsuredVisible().empty());
}

TEST_F(LoopModeTest, OneRowPlaylistOnceHasNeitherNextNorPreviousWhileLoopStaysOnIt) {
    Fill(1);
    op.Attach(&list);
    op.SetLoopMode(L"PLAYLISTONCE");
    EXPECT_FALSE(op.HasNext());
    EXPECT_FALSE(op.HasPrevious());
    EXPECT_EQ(op.MoveNext(), nullptr);
    EXPECT_EQ(list.GetActiveItem(), 0) << "preparation made the row active";

    op.SetLoopMode(L"PLAYLISTLOOP");
    EXPECT_EQ(op.MoveNext(), Row(0));
    EXPECT_EQ(op.MovePrevious(), Row(0));
}

TEST_F(LoopModeTest, PlaylistOnceWalksToTheEndAndStops) {
    Fill(3);
    op.Attach(&list);
    op.SetLoopMode(L"PLAYLISTONCE");
    EXPECT_EQ(op.MoveNext(), Row(1)) << "no active row: row 0 first, then the move";
    EXPECT_EQ(op.MoveNext(), Row(2));
    EXPECT_FALSE(op.HasNext());
    EXPECT_EQ(op.MoveNext(), nullptr);
    EXPECT_EQ(list.GetActiveItem(), 2);
    EXPECT_EQ(op.MovePrevious(), Row(1));
    EXPECT_EQ(op.MoveFirst(), Row(0));
    EXPECT_FALSE(op.HasPrevious());
    EXPECT_EQ(op.MoveLast(), Row(2));
}

TEST_F(LoopModeTest, PlaylistLoopWrapsBothWaysAndScrollsToEachNewRow) {
    Fill(3);
    op.Attach(&list);
    list.SetActiveItem(2);
    EXPECT_EQ(op.MoveNext(), Row(0));
    EXPECT_EQ(op.MovePrevious(), Row(2));
    EXPECT_EQ(op.MoveFirst(), Row(0));
    EXPECT_EQ(op.MoveLast(), Row(2));
    // Each move: the preparation scrolls to the old row, the mode to the new one (First and Last
    // have no preparation).
    EXPECT_EQ(list.EnsuredVisible(), (std::vector<int>{2, 0, 0, 2, 0, 2}));
}

TEST_F(LoopModeTest, SingleFileModesStayAndOnlyTheLoopHasANext) {
    Fill(3);
    op.Attach(&list);
    list.SetActiveItem(1);
    op.SetLoopMode(L"SINGLEFILELOOP");
    EXPECT_EQ(op.MoveNext(), Row(1));
    EXPECT_EQ(op.MovePrevious(), Row(1));
    EXPECT_EQ(op.MoveFirst(), Row(1));
    EXPECT_EQ(op.MoveLast(), Row(1));

    op.SetLoopMode(L"SINGLEFILEONCE");
    EXPECT_FALSE(op.HasNext());
    EXPECT_FALSE(op.HasPrevious());
    EXPECT_EQ(op.MoveNext(), nullptr);
    EXPECT_EQ(op.GetCurrentItem(), Row(1));
    EXPECT_EQ(list.GetActiveItem(), 1);
}

TEST_F(LoopModeTest, MoveFirstWithoutActiveRowDoesNotPrepare) {
    Fill(3);
    op.Attach(&list);
    op.SetLoopMode(L"SINGLEFILEONCE");
    EXPECT_EQ(op.MoveFirst(), nullptr);
    EXPECT_EQ(list.GetActiveItem(), -1);
    op.SetLoopMode(L"PLAYLISTSHUFFLE");
    EXPECT_EQ(op.MoveLast(), nullptr);
    EXPECT_EQ(list.GetActiveItem(), -1);
    EXPECT_TRUE(list.EnsuredVisible().empty());
}

TEST_F(LoopModeTest, ShuffleReachesEveryRowOfALongListAndRepeatsWithTheSameSeed) {
    constexpr int kRows = 40000; // more than a 15-bit random value can reach
    Fill(kRows);
    op.Attach(&list);
    op.SetLoopMode(L"PLAYLISTSHUFFLE");
    SeedPlaylistRandom(7);
    std::vector<int> walk;
    bool beyond15Bits = false;
    for (int i = 0; i < 200; ++i) {
        ASSERT_NE(op.MoveNext(), nullptr);
        walk.push_back(list.GetActiveItem());
        beyond15Bits = beyond15Bits || walk.back() >= 32768;
    }
    EXPECT_TRUE(beyond15Bits);
    EXPECT_GT(std::set<int>(walk.begin(), walk.end()).size(), 150u);

    SeedPlaylistRandom(7);
    for (int expected : walk) {
        op.MovePrevious();
        ASSERT_EQ(list.GetActiveItem(), expected) << "Previous is just another pick";
    }
}

TEST_F(LoopModeTest, ActiveIndexLeftPastTheEndGivesNoCurrentItem) {
    Fill(3);
    op.Attach(&list);
    list.SetActiveItem(2);
    list.DeleteItem(2);
    list.DeleteItem(1);
    EXPECT_EQ(list.GetActiveItem(), 2) << "removing rows keeps the stored index";
    EXPECT_TRUE(op.IsReady());
    EXPECT_EQ(op.GetCurrentItem(), nullptr);
    EXPECT_EQ(op.MoveNext(), Row(0)) << "the loop wraps from beyond the end";
}
