// The control center's commands once playback has ended, through the real engine: after the last
// clip of a loop mode that ends, and after a load that failed while a clip was loaded, a command
// loads and plays its row rather than reaching the finished clip or the released graph.
#include "core/AppFolder.h"
#include "playlist/PlaylistFile.h"
#include "support/CenterFakes.h"
#include "support/CenterHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr int kDelayMs = 100;
// The loop mode allows no move: nothing loads.
constexpr int kNoLoad = -1;

std::wstring StateName(CControlCenter& center) {
    std::wstring name;
    center.GetController().GetStateName(name);
    return name;
}

bool IsLoadEvent(const CCenterEvents::CEvent& event) {
    return event.name == L"MediaLoaded" || event.name == L"MediaLoadFailed";
}

// Nothing of a clip is left to play or abort: the next command must load.
void ExpectNothingLoaded(CControlCenter& center) {
    CPlaybackController& controller = center.GetController();
    EXPECT_EQ(controller.IsLoaded(), 0);
    EXPECT_EQ(StateName(center), L"Stopped");
}

// The first load after event number `from` is of `row`, and that row's item; a row whose file
// exists then plays.
void ExpectRowLoadsAndPlays(CCenterHost& host, std::size_t from, int row) {
    const auto& events = host.events.events;
    auto firstLoad = [&] {
        for (std::size_t i = from; i < events.size(); ++i) {
            if (IsLoadEvent(events[i])) {
                return i;
            }
        }
        return events.size();
    };
    if (row == kNoLoad) {
        PumpFor(std::chrono::milliseconds(kDelayMs) + 300ms);
        EXPECT_EQ(firstLoad(), events.size()) << "nothing may load";
        return;
    }
    ASSERT_TRUE(PumpUntil([&] { return firstLoad() < events.size(); }, 3s)) << "nothing loaded";
    const std::size_t load = firstLoad();
    EXPECT_EQ(events[load].activeRow, row);
    CClipInfo* item = host.list.GetItemData(row);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(events[load].arg1, reinterpret_cast<EventArg>(item));
    if (!fs::exists(fs::path(item->path))) {
        EXPECT_EQ(events[load].name, L"MediaLoadFailed");
        return;
    }
    ASSERT_EQ(events[load].name, L"MediaLoaded");
    const bool playing = PumpUntil(
        [&] {
            return std::any_of(events.begin() + static_cast<std::ptrdiff_t>(load), events.end(),
                               [](const auto& event) { return event.name == L"MediaPlaying"; });
        },
        3s);
    EXPECT_TRUE(playing);
    EXPECT_EQ(StateName(host.center), L"Playing");
}

// A command of the user, with the row it must load (and play, when its file exists) after the end
// under each mode and after the failed load (kNoLoad: none).
struct CCommandCase {
    const char* name;
    void (*run)(CCenterHost& host);
    int rowPlaylistOnce;
    int rowSingleFileOnce;
    int rowAfterFailure;
};

void PrintTo(const CCommandCase& command, std::ostream* out) {
    *out << command.name;
}

std::wstring WriteFilmsPlaylist(const std::wstring& folder) {
    fs::create_directories(fs::path(folder));
    const std::wstring path = folder + L"films.mpl";
    EXPECT_TRUE(WritePlaylistFile(path, {ShortClip()}));
    return path;
}

const CCommandCase kCommands[] = {
    // After the failure the active row is the missing file: Play tries it again.
    {"Play", [](CCenterHost& host) { host.center.Play(); }, 1, 1, 1},
    {"Drop", [](CCenterHost& host) { host.center.AddPaths({ShortClip()}, false); }, 0, 0, 0},
    {"OpenFiles",
     [](CCenterHost& host) {
         CAnsweringDialogs dialogs;
         dialogs.answer = {ShortClip()};
         host.center.SetDialogs(&dialogs);
         host.center.OpenFiles(true);
         host.center.SetDialogs(nullptr);
     },
     0, 0, 0},
    {"OpenPlaylist",
     [](CCenterHost& host) {
         CAnsweringDialogs dialogs;
         dialogs.answer = {WriteFilmsPlaylist(host.Folder())};
         host.center.SetDialogs(&dialogs);
         host.center.OpenPlaylists();
         host.center.SetDialogs(nullptr);
     },
     0, 0, 0},
    {"PlaylistMenu",
     [](CCenterHost& host) {
         WriteFilmsPlaylist(CAppFolder().GetPlaylistsFolder());
         host.center.ChoosePlaylistCommand(CControlCenter::kPlaylistMenuFirst + 1);
     },
     0, 0, 0},
    {"OpenDisc",
     [](CCenterHost& host) {
         const std::wstring disc = host.Folder() + L"disc/";
         fs::create_directories(fs::path(disc + L"VIDEO_TS"));
         fs::copy_file(fs::path(ShortClip()), fs::path(disc + L"VIDEO_TS/VTS_01_1.VOB"));
         CFakeDvdAccess access(disc);
         host.center.OpenDisc(access);
     },
     0, 0, 0},
    // The single-file modes have no row before or after the active one.
    {"Previous", [](CCenterHost& host) { host.center.Previous(); }, 0, kNoLoad, 0},
    {"AppendThenNext",
     [](CCenterHost& host) {
         host.center.AddPaths({ShortClip()}, true);
         host.center.Next();
     },
     2, kNoLoad, 2},
    {"First", [](CCenterHost& host) { host.center.First(); }, 0, 1, 0},
};

std::string CaseName(const char* mode, const char* command) {
    return std::string(mode) + "_" + command;
}

class ControlCenterAfterEnd
    : public ::testing::TestWithParam<std::tuple<const wchar_t*, CCommandCase>> {};

// Two clips; the second is activated and plays to its end, where the loop mode stops.
TEST_P(ControlCenterAfterEnd, CommandPlaysItsRow) {
    const auto& [mode, command] = GetParam();
    CCenterHost host(kDelayMs);
    host.center.GetPlaylist().SetLoopMode(mode);
    host.center.AddFile(ShortClip());
    host.center.AddFile(ShortClip());
    host.list.Raise(L"ListItemActived", 1, 0);
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaCompleted") == 1; }, 5s));
    PumpFor(200ms);
    ASSERT_EQ(host.events.Rows(L"MediaLoaded"), std::vector<int>{1});
    ExpectNothingLoaded(host.center);

    const std::size_t before = host.events.events.size();
    command.run(host);
    ExpectRowLoadsAndPlays(host, before,
                           std::wstring(mode) == L"PLAYLISTONCE" ? command.rowPlaylistOnce
                                                                 : command.rowSingleFileOnce);
}

INSTANTIATE_TEST_SUITE_P(LoopModesThatEnd, ControlCenterAfterEnd,
                         ::testing::Combine(::testing::Values(L"PLAYLISTONCE", L"SINGLEFILEONCE"),
                                            ::testing::ValuesIn(kCommands)),
                         [](const auto& testInfo) {
                             const wchar_t* mode = std::get<0>(testInfo.param);
                             return CaseName(std::wstring(mode) == L"PLAYLISTONCE"
                                                 ? "PlaylistOnce"
                                                 : "SingleFileOnce",
                                             std::get<1>(testInfo.param).name);
                         });

class ControlCenterAfterFailedLoad : public ::testing::TestWithParam<CCommandCase> {};

// A clip plays, the user activates a missing file, and the single-file mode stops after the
// failure. The user then chooses PLAYLISTONCE, which lets the navigation step through the rows.
TEST_P(ControlCenterAfterFailedLoad, NothingOfTheOldClipIsLeftAndTheCommandPlaysItsRow) {
    const CCommandCase& command = GetParam();
    CCenterHost host(kDelayMs);
    host.center.GetPlaylist().SetLoopMode(L"SINGLEFILEONCE");
    host.center.AddFile(ShortClip());
    host.center.AddFile(host.MissingPath(1));
    host.center.AddFile(ShortClip());
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") == 1; }, 5s));
    host.list.Raise(L"ListItemActived", 1, 0);
    PumpFor(200ms);
    ASSERT_EQ(host.events.Rows(L"MediaLoadFailed"), std::vector<int>{1});
    ExpectNothingLoaded(host.center);
    CEngineDS& engine = host.center.GetController().GetEngine();
    EXPECT_EQ(engine.Graph(), nullptr);
    EXPECT_EQ(engine.GetSource(), nullptr);
    // Stop has nothing to stop and says nothing.
    const std::size_t before = host.events.events.size();
    host.center.Reset();
    PumpFor(50ms);
    EXPECT_EQ(host.events.events.size(), before);

    host.center.GetPlaylist().SetLoopMode(L"PLAYLISTONCE");
    command.run(host);
    ExpectRowLoadsAndPlays(host, before, command.rowAfterFailure);
}

INSTANTIATE_TEST_SUITE_P(Commands, ControlCenterAfterFailedLoad, ::testing::ValuesIn(kCommands),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
