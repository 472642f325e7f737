// The engine's own rules against the real graph: loading and its failure path, what a load
// reads into the item, state checks, volume and mute as the renderer hears them, seek and
// volume steps, completion and abort.
#include <gtest/gtest.h>

#include <fstream>

#include "core/WideText.h"
#include "engine/ClipInfo.h"
#include "media/MediaFacts.h"
#include "platform/graph/SoundRenderer.h"
#include "support/EngineHarness.h"

namespace {

long RendererVolume(CEngineDS& engine) {
    const auto audio = QueryInterface<IBasicAudio>(engine.Graph());
    long volume = 1;
    if (!audio || FAILED(audio->get_Volume(&volume))) {
        ADD_FAILURE() << "no basic audio";
    }
    return volume;
}

// A host whose engine's events are recorded once LoadAndWatch has loaded a clip.
class EngineTest : public testing::Test {
protected:
    // Loads `path` and starts recording the engine's events; false when the load failed.
    bool LoadAndWatch(const std::string& path) {
        if (host.Load(path) != 1) {
            return false;
        }
        log.Watch(engine, EngineEventNames());
        return true;
    }

    CPlayerHost host;
    CEngineDS& engine = host.controller.GetEngine();
    CEventLog log;
};
using EngineVolume = EngineTest;
using EngineLoad = EngineTest;
using EngineStates = EngineTest;
using EngineSeeking = EngineTest;

TEST_F(EngineVolume, ConversionToHundredthsOfDecibel) {
    EXPECT_EQ(CEngineDS::VolumeToHundredthsOfDb(100), 0);
    EXPECT_EQ(CEngineDS::VolumeToHundredthsOfDb(50), -903);
    EXPECT_EQ(CEngineDS::VolumeToHundredthsOfDb(10), -3000);
    EXPECT_EQ(CEngineDS::VolumeToHundredthsOfDb(1), -6000);
    EXPECT_EQ(CEngineDS::VolumeToHundredthsOfDb(0), -10000);
    // Levels nobody should pass stay inside the renderer's range instead of failing there.
    EXPECT_EQ(CEngineDS::VolumeToHundredthsOfDb(-7), -10000);
    EXPECT_EQ(CEngineDS::VolumeToHundredthsOfDb(250), 0);
}

TEST_F(EngineVolume, MutedVolumeIsStoredAndAppliedOnUnmute) {
    ASSERT_TRUE(LoadAndWatch(ClipWithVideoAndAudio()));
    EXPECT_EQ(RendererVolume(engine), 0);

    engine.SetMute(1);
    EXPECT_EQ(RendererVolume(engine), -10000);
    engine.SetVolume(50);
    EXPECT_EQ(engine.GetVolume(), 50);
    EXPECT_EQ(RendererVolume(engine), -10000);
    engine.SetMute(0);
    EXPECT_EQ(RendererVolume(engine), -903);
    ASSERT_EQ(log.events.size(), 3u);
    EXPECT_EQ(log.events[1].name, L"VolumeChanged");
    EXPECT_EQ(log.events[1].arg1, 50);
    EXPECT_EQ(log.events[1].arg2, 0);
    EXPECT_EQ(log.events[2].name, L"MuteChanged");
    EXPECT_EQ(log.events[2].arg1, 0);

    // The stored level goes to the next file's renderer, even while muted.
    engine.SetVolume(10);
    engine.SetMute(1);
    ASSERT_EQ(host.Load(ClipAudioOnly()), 1);
    EXPECT_EQ(RendererVolume(engine), -3000);
}

TEST_F(EngineVolume, StepsStopAtTheEnds) {
    engine.SetVolume(97);
    engine.VolumeUp();
    EXPECT_EQ(engine.GetVolume(), 100);
    engine.VolumeUp();
    EXPECT_EQ(engine.GetVolume(), 100);
    engine.SetVolume(3);
    engine.VolumeDown();
    EXPECT_EQ(engine.GetVolume(), 0);
    engine.SetVolume(40);
    engine.VolumeDown();
    EXPECT_EQ(engine.GetVolume(), 35);
}

TEST_F(EngineLoad, MissingFileFailsWithoutAGraph) {
    log.Watch(engine, EngineEventNames());
    EXPECT_EQ(host.Load("/nonexistent/qor/missing.mkv"), 0);
    EXPECT_EQ(host.item.loadFailed, 1);
    EXPECT_EQ(engine.Graph(), nullptr);
    EXPECT_EQ(engine.IsLoaded(), 0);
    ASSERT_EQ(log.Names(), (std::vector<std::wstring>{L"LoadFailed"}));
    EXPECT_EQ(log.events[0].arg1, reinterpret_cast<EventArg>(&host.item));
    EXPECT_EQ(log.events[0].arg2, reinterpret_cast<EventArg>(&engine));
    // Nothing to play: the commands answer without raising anything.
    EXPECT_TRUE(FAILED(engine.Play()));
    EXPECT_EQ(engine.GetPosition(), 0.0);
    EXPECT_EQ(engine.GetDuration(), 0.0);
    EXPECT_EQ(log.events.size(), 1u);
}

TEST_F(EngineLoad, BrokenFileFailsLeavesNothingToPlayAndASuccessfulLoadClearsTheFlag) {
    EXPECT_EQ(host.Load(ClipBroken()), 0);
    EXPECT_EQ(host.item.loadFailed, 1);
    EXPECT_EQ(host.controller.IsLoaded(), 0);
    EXPECT_EQ(engine.Graph(), nullptr);
    EXPECT_EQ(engine.GetSource(), nullptr);
    CMediaFacts facts;
    EXPECT_FALSE(engine.GetMediaFacts(facts));
    std::vector<std::wstring> subtitleFiles{L"kept"};
    std::wstring currentSubtitle = L"kept";
    EXPECT_FALSE(engine.GetSubtitleFiles(subtitleFiles, currentSubtitle));
    EXPECT_EQ(subtitleFiles, std::vector<std::wstring>{L"kept"});
    EXPECT_EQ(currentSubtitle, L"kept");
    log.Watch(engine, EngineEventNames());
    host.controller.PlayPause();
    EXPECT_TRUE(FAILED(engine.ForcePlay()));
    EXPECT_TRUE(log.events.empty());

    CClipInfo item;
    item.loadFailed = 1;
    item.path = Utf8ToWide(ClipWithVideoAndAudio());
    ASSERT_EQ(host.controller.Load(&item), 1);
    EXPECT_EQ(item.loadFailed, 0);
}

TEST_F(EngineLoad, ItemGetsSizeDurationSeekingAndFileAttributes) {
    const std::string path = ClipWithVideoAndAudio();
    ASSERT_EQ(host.Load(path), 1);
    EXPECT_EQ(host.item.videoWidth, 320);
    EXPECT_EQ(host.item.videoHeight, 240);
    EXPECT_EQ(host.item.noVideo, 0);
    EXPECT_NEAR(host.item.duration, 3.0, 0.1);
    EXPECT_EQ(host.item.canSeekAbsolute, 1);
    EXPECT_EQ(host.item.canSeekForward, 1);
    EXPECT_EQ(host.item.canSeekBackward, 1);
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    EXPECT_EQ(host.item.fileSize, static_cast<std::uint64_t>(file.tellg()));
    EXPECT_NE(host.item.creationTime, 0u);
    EXPECT_NE(host.item.lastAccessTime, 0u);
    EXPECT_EQ(host.item.title, L"");
    EXPECT_EQ(host.item.DisplayName(), L"engine_av_3s.mp4");
    EXPECT_EQ(host.controller.GetEngine().GetEngineName(), L"DirectShow Engine");
    // The media information dialog's facts describe the same file.
    CMediaFacts facts;
    ASSERT_TRUE(host.controller.GetEngine().GetMediaFacts(facts));
    EXPECT_EQ(facts.path, Utf8ToWide(path));
    EXPECT_EQ(facts.fileSize, host.item.fileSize);
    EXPECT_NEAR(facts.lengthMs, 3000, 100);
    EXPECT_EQ(facts.width, 320);
    EXPECT_EQ(facts.height, 240);
    EXPECT_TRUE(facts.hasVideo);
    EXPECT_TRUE(facts.hasAudio);
}

TEST_F(EngineLoad, TaggedFileShowsItsTitleAuthorAndCopyright) {
    ASSERT_EQ(host.Load(ClipTagged()), 1);
    EXPECT_EQ(host.item.title, L"Kiln Song");
    EXPECT_EQ(host.item.author, L"Ada Marsh");
    EXPECT_EQ(host.item.copyright, L"2024 Marsh");
    EXPECT_EQ(host.item.DisplayName(), L"Kiln Song");
}

TEST_F(EngineLoad, AudioOnlyHasNoVideoAndShrinksTheWindow) {
    engine.setGeometry(10, 10, 200, 100);
    ASSERT_EQ(host.Load(ClipAudioOnly()), 1);
    EXPECT_EQ(host.item.noVideo, 1);
    EXPECT_EQ(host.item.videoWidth, 0);
    EXPECT_EQ(engine.geometry(), QRect(0, 0, 0, 0));
    std::vector<std::shared_ptr<IBaseFilter>> filters;
    ASSERT_EQ(engine.Graph()->EnumFilters(&filters), S_OK);
    for (const auto& filter : filters) {
        EXPECT_NE(filter->Name(), L"Video Renderer");
    }
    EXPECT_EQ(filters.size(), 2u);
}

TEST_F(EngineStates, PlayTwiceRaisesOnePlayingAndPauseTwiceOnePaused) {
    ASSERT_TRUE(LoadAndWatch(ClipWithVideoAndAudio()));
    EXPECT_EQ(engine.Play(), S_OK);
    EXPECT_EQ(engine.Play(), S_FALSE);
    EXPECT_EQ(engine.IsPlayingOrPaused(), 1);
    EXPECT_EQ(engine.Pause(), S_OK);
    EXPECT_EQ(engine.Pause(), S_FALSE);
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{L"Playing", L"Paused"}));
}

TEST_F(EngineStates, ForcePlayHasNoCheckAndNoPositionTimer) {
    ASSERT_TRUE(LoadAndWatch(ClipWithVideoAndAudio()));
    EXPECT_EQ(engine.ForcePlay(), S_OK);
    EXPECT_EQ(engine.ForcePlay(), S_OK);
    PumpFor(std::chrono::milliseconds(600));
    EXPECT_EQ(log.Names(), (std::vector<std::wstring>{L"Playing", L"Playing"}));
}

TEST_F(EngineStates, PositionTimerReportsWhilePlayingRestsWhilePausedAndStopsWithStop) {
    ASSERT_TRUE(LoadAndWatch(ClipWithVideoAndAudio()));
    engine.Play();
    ASSERT_TRUE(
        PumpUntil([&] { return log.Count(L"PositionChanged") >= 3; }, std::chrono::seconds(3)));
    const CRecordedEvent& position = log.events[log.Find(L"PositionChanged")];
    EXPECT_EQ(position.arg2, 3);
    EXPECT_LE(position.arg1, 3);

    // Paused, nothing moves, so nothing is reported; play resumes the reports.
    ASSERT_EQ(engine.Pause(), S_OK);
    const int paused = log.Count(L"PositionChanged");
    PumpFor(std::chrono::milliseconds(600));
    EXPECT_EQ(log.Count(L"PositionChanged"), paused);
    ASSERT_EQ(engine.Play(), S_OK);
    EXPECT_TRUE(
        PumpUntil([&] { return log.Count(L"PositionChanged") > paused; }, std::chrono::seconds(2)));

    EXPECT_EQ(engine.Stop(), S_OK);
    EXPECT_EQ(engine.StateName(), L"Stopped");
    EXPECT_EQ(engine.IsLoaded(), 0);
    const std::size_t count = log.events.size();
    PumpFor(std::chrono::milliseconds(600));
    EXPECT_EQ(log.events.size(), count);
    EXPECT_EQ(engine.Stop(), S_FALSE);
    EXPECT_EQ(log.events.size(), count);
}

TEST_F(EngineSeeking, StepsClampToTheStartAndTheEnd) {
    ASSERT_EQ(host.Load(Clip1080pKeyEachSecond()), 1);
    log.Watch(engine, {L"PositionChanged"});
    engine.Pause();

    engine.SetPosition(7.9);
    EXPECT_EQ(engine.GetPosition(), 7.0);
    engine.SeekBackward();
    EXPECT_EQ(engine.GetPosition(), 0.0);
    engine.SetPosition(35.0);
    engine.SeekForward();
    EXPECT_EQ(engine.GetPosition(), 40.0);
    ASSERT_EQ(log.events.size(), 4u);
    EXPECT_EQ(log.events[0].arg1, 7);
    EXPECT_EQ(log.events[1].arg1, 0);
    EXPECT_EQ(log.events[3].arg1, 40);
    EXPECT_EQ(log.events[3].arg2, 40);
    engine.SetPosition(21.0);
    engine.SeekBackward();
    EXPECT_EQ(engine.GetPosition(), 11.0);
}

TEST_F(EngineStates, CompletionThenAbortRewinds) {
    ASSERT_TRUE(LoadAndWatch(ClipAudioOnly()));
    engine.Play();
    ASSERT_TRUE(PumpUntil([&] { return log.Count(L"Completed") > 0; }, std::chrono::seconds(10)));
    const int completed = log.Find(L"Completed");
    EXPECT_EQ(log.events[completed - 1].name, L"PositionChanged");
    EXPECT_EQ(log.events[completed - 1].arg1, 2);
    EXPECT_EQ(log.events[completed - 1].arg2, 2);
    EXPECT_EQ(log.events[completed].arg1, 100);
    EXPECT_EQ(engine.StateName(), L"Completed");

    log.Clear();
    engine.Abort();
    ASSERT_EQ(log.Names(), (std::vector<std::wstring>{L"PositionChanged", L"Aborted"}));
    EXPECT_EQ(log.events[0].arg1, 0);
    EXPECT_EQ(log.events[0].arg2, 2);
    EXPECT_EQ(log.events[1].arg1, 0);
    EXPECT_EQ(engine.GetPosition(), 0.0);
}

// The renderers' lines reach the program's log (which writes to standard output), not stderr, and
// the clip's frame counts reach the engine.
TEST_F(EngineStates, ACompletedClipLogsItsFrameCountsToTheProgramsLog) {
    ASSERT_TRUE(LoadAndWatch(ClipWithVideoAndAudio()));
    testing::internal::CaptureStdout();
    engine.Play();
    const bool completed = PumpUntil([&] { return log.Count(L"Completed") > 0; });
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(completed);

    int drawn = 0, dropped = -1;
    const auto counts = engine.FrameCounts();
    ASSERT_TRUE(counts);
    ASSERT_EQ(counts->get_FramesDrawn(&drawn), S_OK);
    ASSERT_EQ(counts->get_FramesDroppedInRenderer(&dropped), S_OK);
    EXPECT_GT(drawn, 0);
    EXPECT_NE(out.find("CSoundRenderer::Pause: playing through"), std::string::npos) << out;
    const std::string line =
        "CVideoRenderer::EndOfStream: frames presented: " + std::to_string(drawn) +
        ", dropped: " + std::to_string(dropped);
    EXPECT_NE(out.find(line), std::string::npos) << out;
}

TEST(ClipInfo, DisplayNameAndAttributesOfAMissingFile) {
    CClipInfo item;
    item.path = L"/music/Late Train.flac";
    EXPECT_EQ(item.DisplayName(), L"Late Train.flac");
    item.path = L"bare.ogg";
    EXPECT_EQ(item.DisplayName(), L"bare.ogg");
    item.title = L"Morning";
    EXPECT_EQ(item.DisplayName(), L"Morning");
    item.path = L"/nonexistent/qor/x.ogg";
    item.fileSize = 7;
    EXPECT_FALSE(item.ReadFileAttributes());
    EXPECT_EQ(item.fileSize, 7u);
}

} // namespace
