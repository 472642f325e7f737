// The control center driving the real controller and engine on short clips: navigation delay,
// loop modes at the end of a clip, drops, and runs of files that fail to load.
#include "support/CenterHost.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

std::wstring ActiveState(CControlCenter& center) {
    std::wstring name;
    center.GetController().GetStateName(name);
    return name;
}

int Loads(const CCenterEvents& events) {
    return events.Count(L"MediaLoaded") + events.Count(L"MediaLoadFailed");
}

// A filter that refuses to start, so that running its graph fails.
class CRefusingFilter : public IBaseFilter {
public:
    HRESULT Pause() override { return E_FAIL; }
    HRESULT Run(REFERENCE_TIME) override { return E_FAIL; }
    HRESULT Stop() override { return S_OK; }
    EFilterState GetState() const override { return EFilterState::Stopped; }
    void SetSyncSource(IReferenceClock*) override {}
    void SetEventSink(IMediaEventSink*) override {}
};

} // namespace

TEST(ControlCenterNavigationTimed, QuickNextPressesMoveEachTimeAndLoadOnlyTheLastRow) {
    CCenterHost host;
    for (int i = 0; i < 8; ++i) {
        host.center.AddFile(ShortClip());
    }
    const auto start = std::chrono::steady_clock::now();
    for (int press = 0; press < 5; ++press) {
        host.center.Next();
        PumpFor(40ms);
    }
    const auto lastPress = std::chrono::steady_clock::now();
    ASSERT_LT(lastPress - start, 500ms);
    // Row 0 became active on the first press, which then moved on from it.
    EXPECT_EQ(host.list.GetActiveItem(), 5);
    EXPECT_EQ(Loads(host.events), 0);

    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") > 0; }, 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - lastPress, 450ms);
    PumpFor(600ms);
    EXPECT_EQ(host.events.Rows(L"MediaLoaded"), std::vector<int>{5});
    EXPECT_EQ(Loads(host.events), 1);
}

TEST(ControlCenterNavigation, NextWhilePlayingAbortsTheClipAndPlaysTheChosenRow) {
    CCenterHost host(100);
    for (int i = 0; i < 3; ++i) {
        host.center.AddFile(ShortClip());
    }
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") == 1; }, 5s));
    host.center.Next();
    host.center.Next();
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") == 2; }, 5s));
    EXPECT_EQ(host.events.Count(L"MediaAborted"), 1);
    EXPECT_EQ(host.events.Rows(L"MediaLoaded"), (std::vector<int>{0, 2}));
    EXPECT_EQ(host.center.GetShiftState(), &CClipShiftStateFinished::Instance());
}

// The first clip loads but its graph will not run: it stays loaded, and the navigation's abort
// must still reach it, or the chosen row never loads.
TEST(ControlCenterNavigation, NextAfterAFailedPlayPlaysTheChosenRow) {
    CCenterHost host(100);
    host.center.AddFile(ShortClip());
    host.center.AddFile(ShortClip());
    CEventLog loads;
    loads.onEvent = [&](const CRecordedEvent&) {
        if (loads.events.size() == 1) {
            // Inside the load, while the graph is still stopped.
            host.center.GetController().GetEngine().Graph()->AddFilter(
                std::make_shared<CRefusingFilter>(), L"Refusing");
        }
    };
    loads.Watch(host.center, {L"MediaLoaded"});
    host.center.Play();
    PumpFor(200ms);
    ASSERT_EQ(loads.Count(L"MediaLoaded"), 1);
    EXPECT_EQ(host.events.Count(L"MediaPlaying"), 0);
    EXPECT_EQ(ActiveState(host.center), L"Loaded");

    host.center.Next();
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") == 1; }, 5s));
    EXPECT_EQ(host.events.Count(L"MediaAborted"), 1);
    EXPECT_EQ(host.events.Rows(L"MediaLoaded"), (std::vector<int>{0, 1}));
    EXPECT_EQ(ActiveState(host.center), L"Playing");
}

TEST(ControlCenterLoop, PlaylistOnceStopsAfterTheLastRowAndPlaylistLoopStartsOver) {
    {
        CCenterHost host;
        host.center.GetPlaylist().SetLoopMode(L"PLAYLISTONCE");
        host.center.AddFile(ShortClip());
        host.center.AddFile(ShortClip());
        host.center.Play();
        ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaCompleted") == 2; }, 10s));
        PumpFor(700ms);
        EXPECT_EQ(host.events.Rows(L"MediaLoaded"), (std::vector<int>{0, 1}));
        EXPECT_EQ(ActiveState(host.center), L"Stopped");
    }
    {
        CCenterHost host;
        host.center.AddFile(ShortClip());
        host.center.AddFile(ShortClip());
        host.center.Play();
        ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaLoaded") == 3; }, 10s));
        EXPECT_EQ(host.events.Rows(L"MediaLoaded"), (std::vector<int>{0, 1, 0}));
        EXPECT_EQ(host.events.Count(L"MediaCompleted"), 2);
    }
}

TEST(ControlCenterCommandLine, ExistingPathsAreAppendedAndTheLastPlaysAfterTheDelay) {
    CCenterHost host;
    host.center.AddFile(host.MissingPath(0));
    host.center.OpenCommandLine({host.MissingPath(1), ShortClip(), host.MissingPath(2)});
    host.center.OpenCommandLine({host.MissingPath(3)});
    ASSERT_EQ(host.list.GetItemCount(), 2);
    EXPECT_EQ(host.list.GetItemData(1)->path, ShortClip());
    EXPECT_EQ(host.list.GetActiveItem(), 1);
    EXPECT_EQ(host.events.Count(L"MediaLoaded"), 0); // not before the navigation delay
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") == 1; }, 5s));
    EXPECT_EQ(host.events.Rows(L"MediaLoaded"), std::vector<int>{1});
}

TEST(ControlCenterDrop, PlainDropReplacesAndPlaysCtrlDropOnlyAppends) {
    CCenterHost host;
    host.center.AddFile(host.MissingPath(0));
    host.center.AddFile(host.MissingPath(1));
    host.center.AddPaths({ShortClip(), ShortClip()}, false);
    ASSERT_EQ(host.list.GetItemCount(), 2);
    EXPECT_EQ(host.list.GetItemData(0)->path, ShortClip());
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") == 1; }, 5s));
    EXPECT_EQ(host.events.Rows(L"MediaLoaded"), std::vector<int>{0});

    const std::size_t before = host.events.events.size();
    host.center.AddPaths({host.MissingPath(2)}, true);
    PumpFor(300ms);
    EXPECT_EQ(host.list.GetItemCount(), 3);
    EXPECT_EQ(host.list.GetItemData(2)->path, host.MissingPath(2));
    EXPECT_EQ(host.list.GetActiveItem(), 0);
    EXPECT_EQ(ActiveState(host.center), L"Playing");
    EXPECT_EQ(host.events.events.size(), before);
}

TEST(ControlCenterFailures, MissingFilesAreEachTriedOnceFromTheEventLoopThenPlaybackStops) {
    CCenterHost host;
    for (int i = 0; i < 5; ++i) {
        host.center.AddFile(host.MissingPath(i));
    }
    host.center.Play();
    // The next row waits for the event loop instead of loading inside the failure.
    EXPECT_EQ(host.events.Count(L"MediaLoadFailed"), 1);
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaLoadFailed") == 5; }, 5s));
    PumpFor(300ms);
    EXPECT_EQ(host.events.Rows(L"MediaLoadFailed"), (std::vector<int>{0, 1, 2, 3, 4}));
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(host.list.GetItemData(row)->loadFailed, 1) << row;
    }
    EXPECT_EQ(ActiveState(host.center), L"Stopped");
}

TEST(ControlCenterFailures, SingleFileLoopGivesUpAfterTheSameRowFailedTwice) {
    CCenterHost host;
    host.center.GetPlaylist().SetLoopMode(L"SINGLEFILELOOP");
    host.center.AddFile(host.MissingPath(0));
    host.center.AddFile(ShortClip());
    host.center.Play();
    PumpFor(500ms);
    EXPECT_EQ(host.events.Rows(L"MediaLoadFailed"), (std::vector<int>{0, 0}));
    EXPECT_EQ(host.events.Count(L"MediaLoaded"), 0);

    // A new choice by the user gets its own two attempts.
    host.list.Raise(L"ListItemActived", 0, 0);
    PumpFor(300ms);
    EXPECT_EQ(host.events.Count(L"MediaLoadFailed"), 4);
}

TEST(ControlCenterFailures, StopDuringARunOfFailuresEndsIt) {
    CCenterHost host;
    for (int i = 0; i < 50; ++i) {
        host.center.AddFile(host.MissingPath(i));
    }
    host.center.Play();
    host.center.Reset();
    PumpFor(300ms);
    EXPECT_EQ(host.events.Count(L"MediaLoadFailed"), 1);
}

TEST(ControlCenterFailures, TenThousandMissingFilesPlayThroughToTheStop) {
    constexpr int kRows = 10000;
    CCenterHost host;
    for (int i = 0; i < kRows; ++i) {
        host.center.AddFile(host.MissingPath(i));
    }
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaLoadFailed") == kRows; }, 240s));
    PumpFor(200ms);
    EXPECT_EQ(host.events.Count(L"MediaLoadFailed"), kRows);
    EXPECT_TRUE(host.list.AreAllItemsFailed());
    EXPECT_EQ(host.list.GetActiveItem(), kRows - 1);
}
