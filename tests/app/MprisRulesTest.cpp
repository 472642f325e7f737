// The desktop media-player rules: the five loop modes seen and set as LoopStatus and Shuffle, and
// every value a bus client hands the player (seek offsets, positions, volumes, URIs) kept within
// bounds or refused.
#include "app/mpris/MprisRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/WideText.h"
#include "playlist/LoopMode.h"

namespace {

namespace Names = LoopModeNames;

} // namespace

TEST(MprisRules, LoopModesAsLoopStatusAndShuffleBothWays) {
    const struct {
        const wchar_t* mode;
        const char* status;
        bool shuffle;
        // The mode after writing "None", "Track", "Playlist", Shuffle on, Shuffle off.
        const wchar_t* afterNone;
        const wchar_t* afterTrack;
        const wchar_t* afterPlaylist;
        const wchar_t* afterShuffleOn;
        const wchar_t* afterShuffleOff;
    } cases[] = {
        {Names::SingleFileOnce, "None", false, Names::SingleFileOnce, Names::SingleFileLoop,
         Names::PlaylistLoop, Names::PlaylistShuffle, Names::SingleFileOnce},
        {Names::SingleFileLoop, "Track", false, Names::PlaylistOnce, Names::SingleFileLoop,
         Names::PlaylistLoop, Names::PlaylistShuffle, Names::SingleFileLoop},
        {Names::PlaylistOnce, "None", false, Names::PlaylistOnce, Names::SingleFileLoop,
         Names::PlaylistLoop, Names::PlaylistShuffle, Names::PlaylistOnce},
        {Names::PlaylistLoop, "Playlist", false, Names::PlaylistOnce, Names::SingleFileLoop,
         Names::PlaylistLoop, Names::PlaylistShuffle, Names::PlaylistLoop},
        {Names::PlaylistShuffle, "Playlist", true, Names::PlaylistOnce, Names::SingleFileLoop,
         Names::PlaylistShuffle, Names::PlaylistShuffle, Names::PlaylistLoop},
    };
    for (const auto& c : cases) {
        const std::wstring mode = c.mode;
        SCOPED_TRACE(WideToUtf8(mode));
        EXPECT_STREQ(MprisLoopOf(mode).loopStatus, c.status);
        EXPECT_EQ(MprisLoopOf(mode).shuffle, c.shuffle);
        EXPECT_EQ(LoopModeForLoopStatus(mode, QStringLiteral("None")), c.afterNone);
        EXPECT_EQ(LoopModeForLoopStatus(mode, QStringLiteral("Track")), c.afterTrack);
        EXPECT_EQ(LoopModeForLoopStatus(mode, QStringLiteral("Playlist")), c.afterPlaylist);
        EXPECT_EQ(LoopModeForShuffle(mode, true), c.afterShuffleOn);
        EXPECT_EQ(LoopModeForShuffle(mode, false), c.afterShuffleOff);
        // Every mode a write selects shows what was written.
        for (const char* status : {"None", "Track", "Playlist"}) {
            const auto chosen = LoopModeForLoopStatus(mode, QString::fromLatin1(status));
            ASSERT_TRUE(chosen.has_value());
            EXPECT_STREQ(MprisLoopOf(*chosen).loopStatus, status);
        }
        // Only the three names, exactly as written.
        for (const char* wrong : {"", "none", "PLAYLIST", "Playlist ", "Shuffle"}) {
            EXPECT_FALSE(LoopModeForLoopStatus(mode, QString::fromLatin1(wrong))) << wrong;
        }
    }
}

TEST(MprisRules, ClientValuesStayInBoundsAndOnlyLocalFilesOpen) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kLength = 30'000'000;
    const struct {
        std::int64_t position, offset;
        bool next;
        std::int64_t target;
    } seeks[] = {
        {10'000'000, 5'000'000, false, 15'000'000},
        {10'000'000, -20'000'000, false, 0}, // before the start: the start
        {10'000'000, 20'000'000, false, kLength},
        {10'000'000, 20'000'001, true, 0}, // past the end: the next clip
        {10'000'000, kMax, true, 0},       // the sum would overflow
        {10'000'000, kMin, false, 0},
    };
    for (const auto& s : seeks) {
        const CMprisSeek seek = MprisSeekTarget(s.position, s.offset, kLength);
        EXPECT_EQ(seek.next, s.next) << s.offset;
        EXPECT_EQ(seek.target, s.target) << s.offset;
    }

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(MprisMicroseconds(1.5), 1'500'000);
    for (const double bad : {nan, infinity, -infinity, -1.0}) {
        EXPECT_EQ(MprisMicroseconds(bad), 0) << bad;
    }
    EXPECT_GT(MprisMicroseconds(1e300), 0);
    EXPECT_EQ(VolumeFromMpris(0.5), 50);
    EXPECT_EQ(VolumeFromMpris(7.0), 100);
    EXPECT_EQ(VolumeFromMpris(-1.0), 0);
    EXPECT_EQ(VolumeFromMpris(-infinity), 0);
    EXPECT_FALSE(VolumeFromMpris(nan));
    EXPECT_EQ(MprisVolume(50), 0.5);

    const struct {
        const char* uri;
        std::optional<std::string> path; // the bytes of the file opened
    } uris[] = {
        {"file:///music/a%20b.mp4", "/music/a b.mp4"},
        {"file://localhost/music/a.mp4", "/music/a.mp4"},
        {"/music/a.mp4", "/music/a.mp4"},
        {"file:///music/caf%E9.mp4", "/music/caf\xe9.mp4"}, // a name that is not UTF-8
        {"file:///music/a/../b.mp4", "/music/a/../b.mp4"},  // the user's path, as given
        {"http://example.com/a.mp4", std::nullopt},
        {"https://127.0.0.1/a.mp4", std::nullopt},
        {"smb://server/share/a.mp4", std::nullopt},
        {"file://server/share/a.mp4", std::nullopt},
        {"file:///etc/passwd%00.mp4", std::nullopt},
        {"a.mp4", std::nullopt},
        {"", std::nullopt},
        {"file:", std::nullopt},
    };
    for (const auto& u : uris) {
        const std::optional<std::wstring> path = MprisLocalPath(QString::fromLatin1(u.uri));
        ASSERT_EQ(path.has_value(), u.path.has_value()) << u.uri;
        if (path) {
            EXPECT_EQ(PathToBytes(*path), *u.path) << u.uri;
        }
    }

    // The URL the player gives a client names the file byte for byte.
    for (const std::string bytes : {"/music/a b#?%.mp4", "/music/caf\xe9.mp4", "/a/\xff\xfe"}) {
        const std::optional<std::wstring> path = MprisLocalPath(MprisFileUrl(bytes));
        ASSERT_TRUE(path.has_value()) << bytes;
        EXPECT_EQ(PathToBytes(*path), bytes);
    }

    const struct {
        CMprisAbilityInputs in;
        CMprisAbilities out;
    } abilities[] = {
        {{0, true, true, false, false}, {false, false, false, false, false, true}},
        {{2, true, false, false, false}, {true, false, true, false, false, true}},
        {{2, false, true, true, false}, {false, true, true, true, false, true}},
        {{1, true, true, true, true}, {true, true, true, true, true, true}},
        // A clip still loaded after its rows were cleared can be played and paused.
        {{0, false, false, true, true}, {false, false, true, true, true, true}},
    };
    for (const auto& a : abilities) {
        EXPECT_EQ(MprisAbilities(a.in), a.out) << a.in.rows << a.in.loaded;
    }
    EXPECT_STREQ(MprisPlaybackStatus(EPlayState::Playing), "Playing");
    EXPECT_STREQ(MprisPlaybackStatus(EPlayState::Paused), "Paused");
    EXPECT_STREQ(MprisPlaybackStatus(EPlayState::Stopped), "Stopped");
}
