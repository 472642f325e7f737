#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/graph/FilterGraph.h"
#include "support/GraphTestFilters.h"

using namespace std::chrono_literals;

namespace {

// The engine's order of building: the graph and its default clock first, then the source and
// the renderers; the audio pin (pin 0) to the sound renderer, pin 1 to the video renderer.
class FilterGraphTest : public ::testing::Test {
protected:
    void Build(int pins = 2, bool firstIsPrimary = true, bool soundHasClock = true) {
        graph = CreateFilterGraph();
        ASSERT_TRUE(graph);
        control = QueryInterface<IMediaControl>(graph);
        seeking = QueryInterface<IMediaSeeking>(graph);
        events = QueryInterface<IMediaEventEx>(graph);
        ASSERT_TRUE(control && seeking && events);
        EXPECT_EQ(graph->SetDefaultSyncSource(), S_OK);
        source = std::make_shared<CFakeSource>(&log, pins, firstIsPrimary);
        video = std::make_shared<CFakeVideoRenderer>("Video", &log);
        sound =
            std::make_shared<CFakeSoundRenderer>("Audio", &log, soundHasClock ? &clock : nullptr);
        ASSERT_EQ(graph->AddFilter(source, L""), S_OK);
        ASSERT_EQ(graph->AddFilter(video, L"Video Renderer"), S_OK);
        ASSERT_EQ(graph->AddFilter(sound, L"Audio Renderer"), S_OK);
        ASSERT_EQ(graph->Connect(source->Pins[0], sound->InputPin(0)), S_OK);
        if (pins > 1) {
            ASSERT_EQ(graph->Connect(source->Pins[1], video->InputPin(0)), S_OK);
        }
        log.Take();
    }

    // Every event queued now, oldest first.
    std::vector<long> Drain() {
        std::vector<long> codes;
        long code;
        std::intptr_t p1, p2;
        while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
            codes.push_back(code);
        }
        return codes;
    }

    REFERENCE_TIME Position() {
        REFERENCE_TIME position = -1;
        EXPECT_EQ(seeking->GetCurrentPosition(&position), S_OK);
        return position;
    }

    HRESULT SeekTo(REFERENCE_TIME t, std::uint32_t flags = SEEKING_ABSOLUTE_POSITIONING) {
        return seeking->SetPositions(&t, flags, nullptr, SEEKING_NO_POSITIONING);
    }

    CStateLog log;
    CManualClock clock;
    std::shared_ptr<CFakeSource> source;
    std::shared_ptr<CFakeVideoRenderer> video;
    std::shared_ptr<CFakeSoundRenderer> sound;
    std::shared_ptr<IGraphBuilder> graph;
    std::shared_ptr<IMediaControl> control;
    std::shared_ptr<IMediaSeeking> seeking;
    std::shared_ptr<IMediaEventEx> events;
};

TEST_F(FilterGraphTest, BuilderKeepsFiltersInOrderAndRefusesWhatItCannotHold) {
    Build();
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    ASSERT_EQ(graph->EnumFilters(&filters), S_OK);
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0], source);
    EXPECT_EQ(filters[1], video);
    EXPECT_EQ(filters[2], sound);
    EXPECT_EQ(video->Name(), L"Video Renderer");
    EXPECT_EQ(graph->EnumFilters(nullptr), E_POINTER);

    EXPECT_EQ(graph->AddFilter(video, L"again"), E_INVALIDARG);
    EXPECT_EQ(graph->AddFilter(nullptr, L"none"), E_POINTER);
    // A renderer outside the graph could be released while a pin still delivers into it.
    CFakeRenderer stranger("Stranger", &log);
    EXPECT_EQ(graph->Connect(source->Pins[0], stranger.InputPin(0)), E_INVALIDARG);
    EXPECT_EQ(graph->Connect(nullptr, video->InputPin(0)), E_POINTER);

    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(graph->AddFilter(std::make_shared<CFakeRenderer>("Late", &log), L"Late"),
              E_UNEXPECTED);

    EXPECT_TRUE(QueryInterface<IBasicAudio>(graph));
    EXPECT_TRUE(QueryInterface<IBasicVideo>(graph));
    EXPECT_TRUE(QueryInterface<IVideoWindow>(graph));
    auto step = QueryInterface<IVideoFrameStep>(graph);
    ASSERT_TRUE(step);
    EXPECT_EQ(step->Step(1), E_NOTIMPL);
}

TEST_F(FilterGraphTest, RenderersChangeStateBeforeTheSourceAndAStopFreesAHeldDelivery) {
    Build();
    video->pin.Hold(true); // a paused renderer keeps the first sample
    ASSERT_EQ(control->Pause(), S_OK);
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"Video:Pause", "Audio:Pause", "Source:Pause"}));
    ASSERT_TRUE(video->pin.WaitInReceive());
    EFilterState state;
    ASSERT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, EFilterState::Paused);

    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"Video:Run", "Audio:Run", "Source:Run"}));
    EXPECT_EQ(video->runStart.load(), source->GetStartTime());
    EXPECT_EQ(sound->runStart.load(), source->GetStartTime());

    auto stopped = std::async(std::launch::async, [&] { return control->Stop(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "stop hangs on a held sample";
    EXPECT_EQ(stopped.get(), S_OK);
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"Video:Stop", "Audio:Stop", "Source:Stop"}));
    EXPECT_EQ(source->GetState(), EFilterState::Stopped);
    ASSERT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, EFilterState::Stopped);
}

TEST_F(FilterGraphTest, AFilterThatCannotRunLeavesTheWholeGraphStopped) {
    Build();
    video->runResult = E_FAIL;
    EXPECT_EQ(control->Run(), E_FAIL);
    EFilterState state;
    ASSERT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, EFilterState::Stopped);
    EXPECT_EQ(sound->GetState(), EFilterState::Stopped);
    EXPECT_EQ(source->GetState(), EFilterState::Stopped);
}

TEST_F(FilterGraphTest, TheSoundRendererClockIsChosenEvenWhenAddedAfterTheDefaultWasAsked) {
    Build();
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(video->clock.load(), &clock);
    EXPECT_EQ(sound->clock.load(), &clock);
    EXPECT_EQ(source->GetSyncSource(), &clock);
}

TEST_F(FilterGraphTest, WithoutARendererClockEveryFilterSharesASteadySystemClock) {
    Build(2, true, false);
    ASSERT_EQ(control->Run(), S_OK);
    IReferenceClock* system = video->clock.load();
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(sound->clock.load(), system);
    EXPECT_EQ(source->GetSyncSource(), system);
    const REFERENCE_TIME before = system->GetTime();
    std::this_thread::sleep_for(20ms);
    EXPECT_GE(system->GetTime() - before, 20 * UNITS / 1000);
}

TEST_F(FilterGraphTest, StreamTimeRunsWithTheClockStandsStillWhilePausedAndContinuesOnRun) {
    Build();
    EXPECT_EQ(Position(), 0);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(Position(), 0) << "before stream time 0 the position is not negative";
    clock.now += 2 * UNITS;
    EXPECT_EQ(Position(), clock.now - video->runStart);
    EXPECT_GT(Position(), 2 * UNITS - UNITS / 10);

    ASSERT_EQ(control->Pause(), S_OK);
    const REFERENCE_TIME paused = Position();
    clock.now += 5 * UNITS;
    EXPECT_EQ(Position(), paused);

    ASSERT_EQ(control->Run(), S_OK);
    clock.now += UNITS;
    EXPECT_LE(Position(), paused + UNITS);
    EXPECT_GT(Position(), paused + UNITS - UNITS / 20) << "the pause must not be counted";
    EXPECT_EQ(sound->runStart.load(), video->runStart.load());
}

TEST_F(FilterGraphTest, PositionNeverPassesTheDuration) {
    Build();
    source->Pins[0]->SetLength(3 * UNITS);
    ASSERT_EQ(control->Run(), S_OK);
    clock.now += 10 * UNITS;
    EXPECT_EQ(Position(), 3 * UNITS);
    REFERENCE_TIME duration = 0;
    ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 3 * UNITS);
}

TEST_F(FilterGraphTest, SeekWhileRunningPausesTheRenderersAndRestartsStreamTime) {
    Build();
    std::vector<EFilterState> during;
    source->Pins[0]->onSeek = [&] {
        during = {video->GetState(), sound->GetState(), source->GetState()};
    };
    ASSERT_EQ(control->Run(), S_OK);
    clock.now += 7 * UNITS;
    const REFERENCE_TIME oldStart = video->runStart;

    ASSERT_EQ(SeekTo(20 * UNITS), S_OK);
    EXPECT_EQ(source->Pins[0]->seekedTo.load(), 20 * UNITS);
    EXPECT_EQ(during, (std::vector<EFilterState>{EFilterState::Paused, EFilterState::Paused,
                                                 EFilterState::Running}));
    EXPECT_EQ(video->GetState(), EFilterState::Running);
    EXPECT_EQ(sound->GetState(), EFilterState::Running);
    EXPECT_GE(video->runStart.load(), clock.now.load()) << "stream time 0 is now, not before";
    EXPECT_GT(video->runStart.load(), oldStart);
    EXPECT_EQ(source->GetStartTime(), video->runStart.load());
    EXPECT_EQ(Position(), 20 * UNITS);
    clock.now += UNITS;
    EXPECT_EQ(Position(), 20 * UNITS + clock.now - video->runStart);
}

TEST_F(FilterGraphTest, SeekWhilePausedStaysPausedAndRelativeSeeksStartFromThePosition) {
    Build();
    ASSERT_EQ(control->Run(), S_OK);
    clock.now += 4 * UNITS;
    ASSERT_EQ(control->Pause(), S_OK);
    const REFERENCE_TIME here = Position();
    log.Take();

    ASSERT_EQ(SeekTo(5 * UNITS, SEEKING_RELATIVE_POSITIONING), S_OK);
    EXPECT_EQ(source->Pins[0]->seekedTo.load(), here + 5 * UNITS);
    EXPECT_TRUE(log.Take().empty()) << "a paused graph seeks without state changes";
    clock.now += 3 * UNITS;
    EXPECT_EQ(Position(), here + 5 * UNITS);

    EXPECT_EQ(SeekTo(-UNITS), E_INVALIDARG);
    EXPECT_EQ(SeekTo(-10 * UNITS, SEEKING_RELATIVE_POSITIONING), E_INVALIDARG);
    EXPECT_EQ(source->Pins[0]->seeks.load(), 1);
    EXPECT_EQ(Position(), here + 5 * UNITS);
}

TEST_F(FilterGraphTest, OnlyThePrimaryPinSeeks) {
    Build(2, false);
    ASSERT_EQ(SeekTo(9 * UNITS), S_OK);
    EXPECT_EQ(source->Pins[0]->seeks.load(), 0);
    EXPECT_EQ(source->Pins[1]->seeks.load(), 1);
    EXPECT_EQ(source->Pins[1]->seekedTo.load(), 9 * UNITS);
    EXPECT_EQ(Position(), 9 * UNITS);
}

TEST_F(FilterGraphTest, CapabilitiesAreFullPartialOrNone) {
    Build();
    std::uint32_t caps = 0;
    EXPECT_EQ(seeking->GetCapabilities(&caps), S_OK);
    EXPECT_EQ(caps, SEEKING_ALL_CAPABILITIES);

    source->Pins[0]->SetCapabilities(SEEKING_CAN_SEEK_ABSOLUTE | SEEKING_CAN_SEEK_FORWARDS);
    EXPECT_EQ(seeking->GetCapabilities(&caps), S_FALSE);
    EXPECT_EQ(caps,
              SEEKING_CAN_SEEK_ABSOLUTE | SEEKING_CAN_SEEK_FORWARDS | SEEKING_CAN_GET_CURRENT_POS);

    auto empty = QueryInterface<IMediaSeeking>(CreateFilterGraph());
    caps = 0xFFFF;
    EXPECT_TRUE(FAILED(empty->GetCapabilities(&caps)));
    EXPECT_EQ(caps, 0u);
    REFERENCE_TIME t = UNITS;
    EXPECT_TRUE(FAILED(empty->SetPositions(&t, SEEKING_ABSOLUTE_POSITIONING, nullptr, 0)));
}

TEST_F(FilterGraphTest, CompletionComesOnceAfterEveryRendererAndAgainOnlyAfterASeek) {
    Build();
    ASSERT_EQ(control->Run(), S_OK);
    sound->SignalEnd();
    sound->SignalEnd(); // the same renderer twice is still one renderer
    EXPECT_TRUE(Drain().empty());
    source->NotifyEvent(EC_COMPLETE, S_OK, 0); // not a renderer: does not count
    EXPECT_TRUE(Drain().empty());
    video->SignalEnd();
    EXPECT_EQ(Drain(), std::vector<long>{EC_COMPLETE});
    video->SignalEnd();
    sound->SignalEnd();
    EXPECT_TRUE(Drain().empty());

    ASSERT_EQ(SeekTo(UNITS), S_OK);
    video->SignalEnd();
    EXPECT_TRUE(Drain().empty()) << "the sound renderer has not ended since the seek";
    sound->SignalEnd();
    EXPECT_EQ(Drain(), std::vector<long>{EC_COMPLETE});
}

TEST_F(FilterGraphTest, APinsErrorAbortReachesTheEventQueue) {
    Build();
    ASSERT_EQ(control->Run(), S_OK);
    source->Pins[0]->fillResult = E_UNEXPECTED - 1;
    long code = 0;
    std::intptr_t p1 = 0, p2 = 0;
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 10000), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    EXPECT_EQ(p1, E_UNEXPECTED - 1);
}

TEST_F(FilterGraphTest, GetEventWaitsForItsTimeOutOrForTheNextEvent) {
    Build();
    long code = 0;
    std::intptr_t p1 = 0, p2 = 0;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 60), E_ABORT);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 55ms);
    EXPECT_EQ(events->GetEvent(nullptr, &p1, &p2, 0), E_POINTER);

    std::thread raiser([&] {
        std::this_thread::sleep_for(30ms);
        source->NotifyEvent(EC_USERABORT, 5, 6);
    });
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, -1), S_OK);
    raiser.join();
    EXPECT_EQ(code, EC_USERABORT);
    EXPECT_EQ(p1, 5);
    EXPECT_EQ(p2, 6);
    EXPECT_EQ(events->FreeEventParams(code, p1, p2), S_OK);
}

TEST_F(FilterGraphTest, VolumeVideoSizeAndWindowGoToTheRenderers) {
    Build();
    auto audio = QueryInterface<IBasicAudio>(graph);
    ASSERT_EQ(audio->put_Volume(-903), S_OK);
    EXPECT_EQ(sound->volume, -903);
    EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);
    EXPECT_EQ(audio->put_Volume(-10001), E_INVALIDARG);
    long volume = 0;
    ASSERT_EQ(audio->get_Volume(&volume), S_OK);
    EXPECT_EQ(volume, -903);

    long w = 0, h = 0;
    ASSERT_EQ(QueryInterface<IBasicVideo>(graph)->GetVideoSize(&w, &h), S_OK);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);

    auto window = QueryInterface<IVideoWindow>(graph);
    EXPECT_EQ(window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS), S_OK);
    EXPECT_EQ(window->SetWindowPosition(1, 2, 30, 40), S_OK);
    EXPECT_EQ(window->put_Visible(true), S_OK);
    EXPECT_EQ(video->style, WS_CHILD | WS_CLIPSIBLINGS);
    EXPECT_EQ(video->position, (std::vector<long>{1, 2, 30, 40}));
    EXPECT_TRUE(video->visible);

    auto bare = CreateFilterGraph();
    EXPECT_EQ(QueryInterface<IBasicAudio>(bare)->put_Volume(0), E_NOTIMPL);
    EXPECT_EQ(QueryInterface<IBasicVideo>(bare)->GetVideoSize(&w, &h), E_NOTIMPL);
    EXPECT_EQ(QueryInterface<IVideoWindow>(bare)->put_Visible(false), E_NOTIMPL);
}

TEST_F(FilterGraphTest, ReleasingTheGraphLeavesSurvivingFiltersStoppedAndUnhooked) {
    Build();
    ASSERT_EQ(control->Run(), S_OK);
    control.reset();
    seeking.reset();
    events.reset();
    graph.reset();
    EXPECT_EQ(source->GetState(), EFilterState::Stopped);
    EXPECT_FALSE(source->Pins[0]->IsConnected());
    EXPECT_FALSE(source->Pins[1]->IsConnected());
    EXPECT_EQ(video->sink.load(), nullptr);
    EXPECT_EQ(source->GetSyncSource(), nullptr);
    source->NotifyEvent(EC_USERABORT, 0, 0); // must go nowhere, safely
}

} // namespace
