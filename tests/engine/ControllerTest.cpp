// The controller's state objects and the media events it turns the engine's reports into,
// against the real engine, graph and renderers.
#include <gtest/gtest.h>

#include "engine/EngineState.h"
#include "support/EngineHarness.h"

namespace {

TEST(ControllerStates, NamesAndCommandsThatTheStateIgnores) {
    std::wstring name;
    EngineStateLoaded()->GetName(name);
    EXPECT_EQ(name, L"Loaded");
    EngineStateAborted()->GetName(name);
    EXPECT_EQ(name, L"Aborted");
    EXPECT_EQ(EngineStatePlaying(), EngineStatePlaying());

    CPlayerHost host;
    EXPECT_EQ(host.StateName(), L"Stopped");
    ASSERT_EQ(host.Load(ClipWithVideoAndAudio()), 1);
    EXPECT_EQ(host.StateName(), L"Loaded");

    CEventLog log;
    log.Watch(host.controller, MediaEventNames());
    // Stop means nothing in Loaded; the engine is not even asked.
    host.controller.Stop();
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(host.StateName(), L"Loaded");
    EXPECT_EQ(host.controller.IsLoaded(), 1);
    // Abort ends the clip in hand, as a play that failed leaves Loaded.
    host.controller.Abort();
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{L"MediaPositionChanged", L"MediaAborted"}));
    EXPECT_EQ(host.StateName(), L"Aborted");
    EXPECT_EQ(host.controller.IsLoaded(), 0);
}

TEST(ControllerStates, PlayPauseTogglesAndStopEndsInStopped) {
    CPlayerHost host;
    ASSERT_EQ(host.Load(ClipWithVideoAndAudio()), 1);
    CEventLog log;
    log.Watch(host.controller, MediaEventNames());

    host.controller.PlayPause();
    EXPECT_EQ(host.StateName(), L"Playing");
    host.controller.PlayPause();
    EXPECT_EQ(host.StateName(), L"Paused");
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{L"MediaPlaying", L"MediaPaused"}));

    host.controller.Stop();
    EXPECT_EQ(host.StateName(), L"Stopped");
    EXPECT_EQ(log.Count(L"MediaStopped"), 1);
    EXPECT_EQ(host.controller.IsLoaded(), 0);

    // In Stopped, Stop and Abort do nothing and say nothing.
    log.Clear();
    host.controller.Stop();
    host.controller.Abort();
    EXPECT_TRUE(log.events.empty());
}

TEST(ControllerStates, AbortFromPlayingRewindsAndReportsProgress) {
    CPlayerHost host;
    ASSERT_EQ(host.Load(ClipWithVideoAndAudio()), 1);
    host.controller.PlayPause();
    host.controller.SetPosition(2.0);
    CEventLog log;
    log.Watch(host.controller, MediaEventNames());

    host.controller.Abort();
    EXPECT_EQ(host.StateName(), L"Aborted");
    ASSERT_EQ(log.Names(), (std::vector<std::wstring>{L"MediaPositionChanged", L"MediaAborted"}));
    EXPECT_EQ(log.events[0].arg1, 0);
    EXPECT_EQ(log.events[0].arg2, 3);
    // Taken after the rewind.
    EXPECT_EQ(log.events[1].arg1, 0);
    EXPECT_EQ(log.events[1].arg2, reinterpret_cast<EventArg>(&host.controller.GetEngine()));

    // Aborted plays again on PlayPause.
    host.controller.PlayPause();
    EXPECT_EQ(host.StateName(), L"Playing");
}

TEST(ControllerEvents, MediaLoadedObserversSeeThePreviousState) {
    CPlayerHost host;
    ASSERT_EQ(host.Load(ClipWithVideoAndAudio()), 1);
    host.controller.PlayPause();
    ASSERT_EQ(host.StateName(), L"Playing");

    CEventLog log;
    std::wstring stateDuringLoaded;
    log.onEvent = [&](const CRecordedEvent& event) {
        if (event.name == L"MediaLoaded") {
            stateDuringLoaded = host.StateName();
        }
    };
    log.Watch(host.controller, {L"MediaLoaded"});
    ASSERT_EQ(host.Load(ClipAudioOnly()), 1);
    EXPECT_EQ(stateDuringLoaded, L"Playing");
    EXPECT_EQ(host.StateName(), L"Loaded");
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].arg1, reinterpret_cast<EventArg>(&host.item));
}

TEST(ControllerEvents, CompletionRaisesFinalPositionThenCompletedAndLeavesStopped) {
    CPlayerHost host;
    ASSERT_EQ(host.Load(ClipWithVideoAndAudio()), 1);
    CEventLog log;
    log.Watch(host.controller, MediaEventNames());
    host.controller.PlayPause();
    ASSERT_TRUE(
        PumpUntil([&] { return log.Count(L"MediaCompleted") > 0; }, std::chrono::seconds(15)));
    const int completed = log.Find(L"MediaCompleted");
    ASSERT_GE(completed, 1);
    const CRecordedEvent& last = log.events[completed - 1];
    EXPECT_EQ(last.name, L"MediaPositionChanged");
    EXPECT_EQ(last.arg1, 3);
    EXPECT_EQ(last.arg2, 3);
    EXPECT_EQ(log.events[completed].arg1, 100);
    EXPECT_EQ(host.StateName(), L"Stopped");
    // The timer stopped with the completion: no position follows.
    PumpFor(std::chrono::milliseconds(600));
    EXPECT_EQ(static_cast<int>(log.events.size()), completed + 1);

    // The engine stays "Completed": a stop reaches it from no state and would say nothing.
    EXPECT_EQ(host.controller.GetEngine().Stop(), S_FALSE);
    EXPECT_EQ(static_cast<int>(log.events.size()), completed + 1);
}

TEST(ControllerEvents, FailedLoadIsStoppedAndVolumeComesStraightThrough) {
    CPlayerHost host;
    CEventLog log;
    log.Watch(host.controller, MediaEventNames());
    EXPECT_EQ(host.Load("/nonexistent/qor/clip.mp4"), 0);
    EXPECT_EQ(host.StateName(), L"Stopped");
    ASSERT_EQ(log.Names(), (std::vector<std::wstring>{L"MediaLoadFailed"}));
    EXPECT_EQ(log.events[0].arg1, reinterpret_cast<EventArg>(&host.item));
    EXPECT_EQ(host.controller.Load(nullptr), 0);
    EXPECT_EQ(log.events.size(), 1u);

    host.controller.VolumeDown();
    host.controller.SetMute(1);
    ASSERT_EQ(log.Names(),
              (std::vector<std::wstring>{L"MediaLoadFailed", L"VolumeChanged", L"MuteChanged"}));
    EXPECT_EQ(log.events[1].arg1, 95);
    EXPECT_EQ(host.controller.GetVolume(), 95);
    EXPECT_EQ(host.controller.GetMute(), 1);
}

} // namespace
