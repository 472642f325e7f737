// Clips that load but end without a picture or a sound, through the real engine: each counts as
// failed, and a loop mode that would start such a clip again at once stops once nothing of a
// pass played, instead of reloading it many times a second.
#include "MediaFixture.h"
#include "core/WideText.h"
#include "playlist/PlaylistRandom.h"
#include "support/CenterHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A WebM cut right after the header of its first cluster: the probe finds a 160x120 VP8 stream
// and a duration in the headers, and the demuxer then meets the end of the file, so nothing
// after the damage can be resynchronised on either. One file per row, so that each row is an
// item of its own; written once under a temporary name, as the test processes run side by side.
std::wstring EmptyClip(int row) {
    const std::string out =
        FixtureFolder() + "center_vp8_cut_after_cluster_header_" + std::to_string(row) + ".webm";
    if (std::filesystem::exists(out)) {
        return Utf8ToWide(out);
    }
    const std::string whole =
        MakeMedia("center_vp8_160x120_2s.webm",
                  {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2", "-c:v",
                   "libvpx", "-b:v", "200k"});
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t cluster = bytes.find("\x1F\x43\xB6\x75");
    if (cluster == std::string::npos || cluster + 4 >= bytes.size()) {
        ADD_FAILURE() << "no cluster in " << whole;
        return {};
    }
    // The element size is a variable-length number whose length is told by its first byte's
    // leading zeros.
    const auto first = static_cast<unsigned char>(bytes[cluster + 4]);
    std::size_t sizeLength = 1;
    while (sizeLength < 8 && (first & (0x80u >> (sizeLength - 1))) == 0) {
        ++sizeLength;
    }
    const std::string temporary = out + ".tmp." + std::to_string(getpid());
    std::ofstream(temporary, std::ios::binary) << bytes.substr(0, cluster + 4 + sizeLength);
    std::filesystem::rename(temporary, out);
    return Utf8ToWide(out);
}

// 'E' a clip with nothing to play, 'G' the good short clip.
std::wstring ClipPath(char kind, int row) {
    return kind == 'E' ? EmptyClip(row) : ShortClip();
}

std::wstring StateName(CControlCenter& center) {
    std::wstring name;
    center.GetController().GetStateName(name);
    return name;
}

// Loads asked for each row (loaded or failed), by the active row at the time.
std::map<int, int> LoadsPerRow(const CCenterEvents& events) {
    std::map<int, int> loads;
    for (const auto& event : events.events) {
        if (event.name == L"MediaLoaded" || event.name == L"MediaLoadFailed") {
            ++loads[event.activeRow];
        }
    }
    return loads;
}

// Pumps until a whole second passes without a media event; false when that takes longer than
// the limit.
bool Settles(const CCenterEvents& events, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        const std::size_t before = events.events.size();
        PumpFor(1s);
        if (events.events.size() == before) {
            return true;
        }
    }
    return false;
}

struct CModeCase {
    const char* name;
    const wchar_t* mode;
    const char* rows;
    // Loads of each empty row at most before the player stops (a pass of the playlist, and the
    // single-file loop's one retry).
    int maxLoadsPerRow;
};

void PrintTo(const CModeCase& c, std::ostream* out) {
    *out << c.name;
}

class ControlCenterEmptyClip : public ::testing::TestWithParam<CModeCase> {};

// Only clips that present nothing: the player stops after a bounded number of loads, with every
// row it tried marked as failed.
TEST_P(ControlCenterEmptyClip, LoopStopsAfterAPassInWhichNothingPlayed) {
    const CModeCase& c = GetParam();
    SeedPlaylistRandom(7);
    CCenterHost host(100);
    host.center.GetPlaylist().SetLoopMode(c.mode);
    const std::string rows = c.rows;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        host.center.AddFile(ClipPath(rows[row], static_cast<int>(row)));
    }
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaCompleted") > 0; }, 10s));
    ASSERT_EQ(host.events.events.front().name, L"MediaLoaded")
        << "the damaged clip must load for this case to mean anything";

    ASSERT_TRUE(Settles(host.events, 15s)) << host.events.events.size() << " events and going";
    EXPECT_EQ(StateName(host.center), L"Stopped");
    EXPECT_EQ(host.center.GetController().IsLoaded(), 0);
    for (const auto& [row, loads] : LoadsPerRow(host.events)) {
        EXPECT_LE(loads, c.maxLoadsPerRow) << "row " << row;
        EXPECT_EQ(host.list.GetItemData(row)->loadFailed, 1) << "row " << row;
    }
}

const CModeCase kModeCases[] = {
    {"PlaylistLoopOneRow", L"PLAYLISTLOOP", "E", 1},
    {"PlaylistLoop", L"PLAYLISTLOOP", "EEE", 1},
    // The row is tried once more, as a row that fails to load is.
    {"SingleFileLoopOneRow", L"SINGLEFILELOOP", "E", 1},
    {"SingleFileLoopBesideAGoodClip", L"SINGLEFILELOOP", "EG", 2},
    // Random picks may repeat a row; the player stops once every row has failed.
    {"Shuffle", L"PLAYLISTSHUFFLE", "EE", 12},
    {"PlaylistOnce", L"PLAYLISTONCE", "EE", 1},
};

INSTANTIATE_TEST_SUITE_P(Modes, ControlCenterEmptyClip, ::testing::ValuesIn(kModeCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// An empty clip beside a good one in the playlist loop: every pass tries it once and marks it,
// the good clip plays each time, and a row the user picks after a single-file stop plays too.
TEST(ControlCenterEmptyClipBesideGood, GoodClipPlaysOnAndTheEmptyOneIsTriedOncePerPass) {
    CCenterHost host(100);
    host.center.AddFile(ClipPath('E', 0));
    host.center.AddFile(ClipPath('G', 1));
    host.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaCompleted") >= 5; }, 20s));
    const std::map<int, int> loads = LoadsPerRow(host.events);
    const std::vector<int> playing = host.events.Rows(L"MediaPlaying");
    const int goodPlays = static_cast<int>(std::count(playing.begin(), playing.end(), 1));
    // Three passes: empty, good, empty, good, empty (and the next good one may have begun).
    EXPECT_GE(goodPlays, 2);
    EXPECT_LE(loads.at(0), goodPlays + 1);
    EXPECT_EQ(host.list.GetItemData(0)->loadFailed, 1);
    EXPECT_EQ(host.list.GetItemData(1)->loadFailed, 0);

    // The user picks the good clip under the single-file loop: it plays again and again.
    host.center.GetPlaylist().SetLoopMode(L"SINGLEFILELOOP");
    host.list.Raise(L"ListItemActived", 1, 0);
    const std::size_t before = host.events.events.size();
    ASSERT_TRUE(PumpUntil(
        [&] {
            int played = 0;
            for (std::size_t i = before; i < host.events.events.size(); ++i) {
                played += host.events.events[i].name == L"MediaCompleted";
            }
            return played >= 2;
        },
        10s));
    EXPECT_EQ(host.events.Rows(L"MediaLoaded").back(), 1);
    EXPECT_EQ(host.list.GetItemData(1)->loadFailed, 0);
}

} // namespace
