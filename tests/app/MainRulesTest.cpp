// The main window's pure rules and its menu models, without a window.
#include <gtest/gtest.h>

#include "app/main/MainMenus.h"
#include "app/main/MainWndRules.h"
#include "engine/EngineEvents.h"

namespace {

// One line per item: "caption id", then "(o)" for a checked radio, "[x]" for a checked item,
// "-" when grayed; submenu items indented under their caption; "---" for a separator.
void Flatten(const std::vector<CMenuItem>& items, const std::wstring& indent,
             std::vector<std::wstring>& out) {
    for (const CMenuItem& item : items) {
        if (item.IsSeparator()) {
            out.push_back(indent + L"---");
            continue;
        }
        std::wstring line = indent + item.caption;
        if (item.id != 0) {
            line += L" " + std::to_wstring(item.id);
        }
        if (item.checked) {
            line += item.radio ? L" (o)" : L" [x]";
        }
        if (!item.enabled) {
            line += L" -";
        }
        out.push_back(line);
        Flatten(item.submenu, indent + L"  ", out);
    }
}

std::vector<std::wstring> Flat(const std::vector<CMenuItem>& items) {
    std::vector<std::wstring> out;
    Flatten(items, L"", out);
    return out;
}

CMenuState StartState() {
    CMenuState state;
    state.aspectId = 16600;
    state.windowSizeId = 16700;
    state.loopMode = L"PLAYLISTLOOP";
    return state;
}

} // namespace

TEST(MainRules, WindowGeometry) {
    EXPECT_EQ(DefaultWindowRect({1920, 1080}), QRect(480, 270, 960, 540));
    EXPECT_EQ(DefaultWindowRect({1366, 767}), QRect(341, 192, 683, 383));
    EXPECT_EQ(MinTrackSize({1920, 1080}), QSize(480, 270));

    // The layout example: a 1000-pixel client with the playlist 158 wide.
    const CPlaylistLayout layout = PlaylistLayout(158);
    const QSize client(1000, 600);
    EXPECT_EQ(LayoutChildRect(layout.screen, client), QRect(5, 25, 827, 535));
    EXPECT_EQ(LayoutChildRect(layout.splitter, client), QRect(832, 25, 10, 535));
    EXPECT_EQ(LayoutChildRect(layout.playlist, client), QRect(842, 45, 153, 514));
    EXPECT_EQ(LayoutChildRect(layout.openPlaylist, client), QRect(842, 25, 20, 20));
    // Collapsed: the screen reaches the right border less the splitter.
    EXPECT_EQ(LayoutChildRect(PlaylistLayout(5).screen, client).right() + 1, 985);

    // Fitting the window: it grows by what the screen lacks; no size, no change.
    EXPECT_EQ(FitWindowSize({1000, 600}, {827, 535}, {640, 480}), QSize(813, 545));
    EXPECT_EQ(FitWindowSize({1000, 600}, {827, 535}, {0, 480}), std::nullopt);
}

TEST(MainRules, SplitterRelease) {
    const QSize client(1000, 600);
    const int screenWidth = 827;
    constexpr int kStored = 200; // the width stored before the drag
    const struct {
        int position, pressX;
        bool ctrl;
        bool boxBefore;
        int layoutWidth;
        std::optional<QSize> resizeClient;
        bool boxChecked;
        int storedWidth;
    } cases[] = {
        {500, 5, false, false, 495, std::nullopt, false, 495},
        // Grabbed on the bar's leftmost pixel: an ordinary drop all the same.
        {500, 0, false, false, 500, std::nullopt, false, 500},
        {500, 0, false, true, 500, std::nullopt, false, 500},
        // Dropped left of the minimum: the splitter reports the minimum without a press x.
        {300, 0, false, false, 700, std::nullopt, true, 158},
        // Dropped past the right limit: the playlist collapses.
        {995, 0, false, false, 5, std::nullopt, true, 158},
        // Ctrl: the window grows or shrinks instead, the playlist keeps its width, and nothing
        // stored changes, so the next click on the box returns to the same width.
        {600, 5, true, false, 0, QSize(763, 600), false, kStored},
        {300, 0, true, true, 0, QSize(463, 600), true, kStored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.position << " grabbed at " << c.pressX << (c.ctrl ? " with Ctrl" : ""));
        const CSplitterRelease release = ReleaseSplitter(client, screenWidth, c.position, c.pressX,
                                                         c.ctrl, kStored, c.boxBefore);
        EXPECT_EQ(release.layoutWidth, c.layoutWidth);
        EXPECT_EQ(release.resizeClient, c.resizeClient);
        EXPECT_EQ(release.boxChecked, c.boxChecked);
        EXPECT_EQ(release.storedWidth, c.storedWidth);
    }
}

TEST(MainRules, WheelCountsWholeNotches) {
    const struct {
        int volume, remainder, delta;
        int expectedVolume, expectedRemainder;
    } cases[] = {
        {98, 0, 120, 100, 0}, // clamped, not 103
        {3, 0, -120, 0, 0},    {50, 0, 240, 60, 0},    {50, 0, 60, 50, 60}, {50, 60, 60, 55, 0},
        {50, 0, -15, 50, -15}, {50, -105, -15, 45, 0}, {50, 0, 0, 50, 0}, // a sideways scroll
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume * 1000 + c.delta);
        const CWheelNotches wheel = AccumulateWheel(c.remainder, c.delta);
        EXPECT_EQ(WheelVolume(c.volume, wheel.notches, 0, 100), c.expectedVolume);
        EXPECT_EQ(wheel.remainder, c.expectedRemainder);
    }
}

TEST(MainRules, FullScreenPointerAndCursor) {
    // A 1080-line screen: the last two lines make the toolbar; above the band it goes.
    const struct {
        int y;
        bool shown;
        EToolbarChange change;
    } pointer[] = {
        {1079, false, EToolbarChange::Create}, {1078, false, EToolbarChange::Create},
        {1078, true, EToolbarChange::None},    {1077, false, EToolbarChange::None},
        {1040, true, EToolbarChange::None},    {1030, true, EToolbarChange::None},
        {1029, true, EToolbarChange::Destroy}, {10, false, EToolbarChange::None},
    };
    for (const auto& p : pointer) {
        SCOPED_TRACE(p.y);
        EXPECT_EQ(ToolbarOnPointer(p.y, 1080, p.shown), p.change);
    }

    // Only a Wayland compositor keeps the windows' places to itself.
    for (const char* name : {"wayland", "wayland-egl", "wayland-xcomposite-glx"}) {
        EXPECT_TRUE(WindowSystemPlacesWindows(name)) << name;
    }
    for (const char* name : {"xcb", "offscreen", "minimal", "vnc", ""}) {
        EXPECT_FALSE(WindowSystemPlacesWindows(name)) << name;
    }

    EXPECT_EQ(CursorOnTimer(true, false, 3001, false), ECursorChange::Hide);
    EXPECT_EQ(CursorOnTimer(true, false, 3001, true), ECursorChange::Show);
    EXPECT_EQ(CursorOnTimer(true, false, 3000, false), ECursorChange::None);
    // A menu or dialog open: the pointer stays, however long it rests, and comes back if hidden.
    EXPECT_EQ(CursorOnTimer(true, true, 9000, false), ECursorChange::Show);
    EXPECT_EQ(CursorOnTimer(true, true, 0, false), ECursorChange::Show);
    EXPECT_EQ(CursorOnTimer(false, false, 9000, false), ECursorChange::None);
    EXPECT_EQ(CursorOnTimer(false, true, 9000, false), ECursorChange::None);

    // The views: the video alone, or beside a playlist of the stored width, within limits.
    const QSize screen(1920, 1080);
    EXPECT_EQ(FullScreenLayout(screen, false, 300).screen, QRect(0, 0, 1920, 1080));
    EXPECT_TRUE(FullScreenLayout(screen, false, 300).playlist.isEmpty());
    const struct {
        QSize client;
        int stored;
        int playlistLeft;
    } views[] = {
        {screen, 300, 1620},
        {screen, 5, 1920 - 158}, // collapsed in the normal window: the default width
        {screen, 1500, 960},     // at most half the screen
        {QSize(200, 100), 158, 100},
    };
    for (const auto& v : views) {
        SCOPED_TRACE(v.stored);
        const CFullScreenLayout layout = FullScreenLayout(v.client, true, v.stored);
        EXPECT_EQ(layout.screen, QRect(0, 0, v.playlistLeft, v.client.height()));
        EXPECT_EQ(layout.playlist,
                  QRect(v.playlistLeft, 0, v.client.width() - v.playlistLeft, v.client.height()));
    }
}

TEST(MainRules, ScreenSaverHeldWhilePlayingOrPausedAPicture) {
    const struct {
        const wchar_t* state;
        bool video, audio, held;
    } cases[] = {
        {EngineEvents::Playing, true, true, true},     {EngineEvents::Paused, true, true, true},
        {EngineEvents::Playing, true, false, true},    {EngineEvents::Playing, false, true, false},
        {EngineEvents::Paused, false, true, false},    {EngineEvents::Playing, false, false, true},
        {EngineEvents::Stopped, true, true, false},    {EngineEvents::Loaded, true, true, false},
        {EngineEvents::Aborted, true, true, false},    {EngineEvents::Completed, true, true, false},
        {EngineEvents::LoadFailed, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.state) + (c.video ? L" video" : L"") +
                     (c.audio ? L" audio" : L""));
        EXPECT_EQ(ScreenSaverHeld(c.state, c.video, c.audio), c.held);
    }
}

TEST(MainRules, TimeLabel) {
    // Both times as clocks: the short "1m" of a playlist row would make a 10-second clip read
    // as a minute long.
    EXPECT_EQ(TimeLabelText(4, 10.0), L"00:04/00:10");
    EXPECT_EQ(TimeLabelText(0, 59.9), L"00:00/00:59");
    EXPECT_EQ(TimeLabelText(61, 61), L"01:01/01:01");
    EXPECT_EQ(TimeLabelText(3725, 5400), L"01:02:05/01:30:00");
}

TEST(MainMenus, NothingLoaded) {
    EXPECT_EQ(Flat(MainMenu(StartState())), (std::vector<std::wstring>{
                                                L"Open &File... 16300",
                                                L"Open Dis&c 16301",
                                                L"---",
                                                L"S&tay on Top 16502",
                                                L"F&ull Screen 16500",
                                                L"&Video",
                                                L"  &Default Aspect Ratio 16600 (o)",
                                                L"  4 : 3 16601",
                                                L"  16 : 9 16602",
                                                L"  &Stretch to Fit Window 16690",
                                                L"  ---",
                                                L"  Window Size &Fixed 16700 (o)",
                                                L"  Window Size Fit To &Source 16701",
                                                L"---",
                                                L"&Dubbings -",
                                                L"---",
                                                L"&Subtitle -",
                                                L"---",
                                                L"&Help",
                                                L"  About Q&OR 57664",
                                                L"  Online F&eedback 16810",
                                                L"  Online &Manual 16811",
                                                L"Media &Info 16302 -",
                                                L"---",
                                                L"&Exit 57665",
                                            }));
}

TEST(MainMenus, FullScreenOnTopAndAspect) {
    CMenuState state = StartState();
    state.fullScreen = true;
    state.stayOnTop = true;
    state.aspectId = 16602;
    state.windowSizeId = 16701;
    const std::vector<std::wstring> flat = Flat(MainMenu(state));
    const std::vector<std::wstring> head(flat.begin() + 3, flat.begin() + 13);
    EXPECT_EQ(head, (std::vector<std::wstring>{
                        L"S&tay on Top 16502 [x]",
                        L"N&ormal Window 16501",
                        L"&Video",
                        L"  &Default Aspect Ratio 16600",
                        L"  4 : 3 16601",
                        L"  16 : 9 16602 (o)",
                        L"  &Stretch to Fit Window 16690",
                        L"  ---",
                        L"  Window Size &Fixed 16700 -",
                        L"  Window Size Fit To &Source 16701 (o) -",
                    }));
}

TEST(MainMenus, StreamsAndSubtitleFilesCarryWhatTheyChoose) {
    CMenuState state = StartState();
    state.loaded = true;
    state.audioStreams = {1, 2};
    state.currentAudio = 2;
    state.subtitleStreams = {3};
    state.currentSubtitle = -1;
    state.subtitleFiles = {L"/x/movie.srt", L"/subs/movie.en.ass"};
    state.currentSubtitleFile = L"/subs/movie.en.ass";
    const std::vector<CMenuItem> menu = MainMenu(state);
    const std::vector<std::wstring> flat = Flat(menu);
    const std::vector<std::wstring> middle(flat.begin() + 14, flat.end() - 8);
    EXPECT_EQ(middle, (std::vector<std::wstring>{
                          L"&Dubbings",
                          L"  Dubbing 1 16401",
                          L"  Dubbing 2 16402 (o)",
                          L"---",
                          L"&Subtitle",
                          L"  &No Internal Subtitle 16000 (o)",
                          L"  Subtitle 1 16004",
                          L"  ---",
                          L"  &No External Subtitle 16100",
                          L"  movie.srt 16101",
                          L"  movie.en.ass 16102 (o)",
                          L"  &Load External Subtitle... 16200",
                      }));
    EXPECT_EQ(flat[flat.size() - 3], L"Media &Info 16302");

    const CMenuItem& dubbing = menu[7].submenu[1];
    EXPECT_EQ(dubbing.target, EMenuTarget::AudioStream);
    EXPECT_EQ(dubbing.stream, 2);
    const CMenuItem& file = menu[9].submenu[4];
    EXPECT_EQ(file.target, EMenuTarget::ExternalSubtitle);
    EXPECT_EQ(file.path, L"/x/movie.srt");

    // One audio stream leaves nothing to choose; files alone still make a subtitle menu.
    state.audioStreams = {1};
    state.subtitleStreams.clear();
    const std::vector<std::wstring> single = Flat(MainMenu(state));
    EXPECT_EQ(single[14], L"&Dubbings -");
    EXPECT_EQ(single[17], L"&Subtitle");
    EXPECT_EQ(single[18], L"  &No External Subtitle 16100");

    // A loaded clip without any subtitle file can still be given one; nothing loaded, nothing
    // to give it to.
    state.subtitleFiles.clear();
    state.currentSubtitleFile.clear();
    const std::vector<std::wstring> bare = Flat(MainMenu(state));
    EXPECT_EQ(
        std::vector<std::wstring>(bare.begin() + 17, bare.begin() + 20),
        (std::vector<std::wstring>{L"&Subtitle", L"  &Load External Subtitle... 16200", L"---"}));
    state.subtitleStreams = {3};
    const std::vector<std::wstring> inner = Flat(MainMenu(state));
    EXPECT_EQ(std::vector<std::wstring>(inner.begin() + 17, inner.begin() + 23),
              (std::vector<std::wstring>{L"&Subtitle", L"  &No Internal Subtitle 16000 (o)",
                                         L"  Subtitle 1 16004", L"  ---",
                                         L"  &Load External Subtitle... 16200", L"---"}));
    state = StartState();
    EXPECT_EQ(Flat(MainMenu(state))[16], L"&Subtitle -");
}

TEST(MainMenus, PlaylistMenus) {
    CMenuState state = StartState();
    state.loopMode = L"SINGLEFILELOOP";
    state.sortKey = 15059;
    state.playlistFiles = {{15001, L"b", L"/p/sub/b.mpl"}, {15003, L"a", L"/p/a.mpl"}};
    const std::vector<CMenuItem> files = PlaylistFilesMenu(state);
    EXPECT_EQ(Flat(files), (std::vector<std::wstring>{
                               L"&New Playlist 15061",
                               L"&Open Playlist 16201",
                               L"&Save Playlist As... 15062",
                               L"---",
                               L"&Default Playlist 15000",
                               L"b 15001",
                               L"a 15003",
                           }));
    EXPECT_EQ(files[6].target, EMenuTarget::PlaylistFile);
    EXPECT_EQ(files[6].path, L"/p/a.mpl");

    EXPECT_EQ(Flat(PlaylistContextMenu(state)), (std::vector<std::wstring>{
                                                    L"Add &Files 15042",
                                                    L"Add &Playlists 15044",
                                                    L"Add Fol&der 15046",
                                                    L"---",
                                                    L"Delete &Selected 15047",
                                                    L"Delete &All(Clear) 15048",
                                                    L"---",
                                                    L"Single File Once 15049",
                                                    L"Single File Loop 15050 (o)",
                                                    L"Playlist Once 15051",
                                                    L"Playlist Loop 15052",
                                                    L"Playlist Shuffle 15053",
                                                    L"---",
                                                    L"Sort by &Title 15054",
                                                    L"Sort by File &Size 15055",
                                                    L"Sort by &Create Time 15059 (o)",
                                                    L"Sort by &Add Time 15057",
                                                    L"Sort by &Last Access Time 15058",
                                                    L"Sort by &Duration 16202",
                                                    L"&Shuffle 15060",
                                                    L"---",
                                                    L"Media &Info 16302 -",
                                                }));
}
