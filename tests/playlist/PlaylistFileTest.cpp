#include "playlist/PlaylistFile.h"

#include "core/WideText.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

class PlaylistFileTest : public ::testing::Test {
protected:
    std::string Folder() const { return m_folder.Root(); }
    std::wstring PathOf(const std::string& name) const { return Utf8ToWide(Folder() + name); }

    void Put(const std::string& name, const std::string& bytes) const {
        m_folder.Write(name, bytes);
    }
    std::string Get(const std::string& name) const { return ReadFile(Folder() + name); }
    std::vector<std::wstring> Read(const std::string& name, bool* opened = nullptr) const {
        std::vector<std::wstring> lines;
        const bool ok = ReadPlaylistFile(PathOf(name),
                                         [&](const std::wstring& line) { lines.push_back(line); });
        if (opened != nullptr) {
            *opened = ok;
        }
        return lines;
    }
    std::size_t EntriesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(Folder()), {}));
    }

    CScratchFolder m_folder{"playlist"};
};

using Lines = std::vector<std::wstring>;

// ASCII text as UTF-16LE, spelled out byte by byte.
std::string Ascii16(const std::string& text) {
    std::string bytes;
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

} // namespace

TEST_F(PlaylistFileTest, TwoRowsAreWrittenByteForByte) {
    ASSERT_TRUE(WritePlaylistFile(PathOf("two.mpl"), {L"C:\\a.avi", L"D:\\b c.mkv"}));
    const std::string expected = std::string("\xFF\xFE") + Ascii16("C:\\a.avi") +
                                 std::string("\x0D\0\x0A\0", 4) + Ascii16("D:\\b c.mkv") +
                                 std::string("\x0D\0\x0A\0", 4);
    EXPECT_EQ(Get("two.mpl"), expected);
    EXPECT_EQ(Read("two.mpl"), (Lines{L"C:\\a.avi", L"D:\\b c.mkv"}));
}

TEST_F(PlaylistFileTest, EmptyPlaylistIsAZeroLengthFileAndReadsAsNoRows) {
    Put("list.mpl", "old content");
    ASSERT_TRUE(WritePlaylistFile(PathOf("list.mpl"), {}));
    EXPECT_EQ(Get("list.mpl"), "");
    bool opened = false;
    EXPECT_TRUE(Read("list.mpl", &opened).empty());
    EXPECT_TRUE(opened);
    Put("mark.mpl", "\xFF\xFE");
    EXPECT_TRUE(Read("mark.mpl").empty());
    EXPECT_EQ(EntriesInFolder(), 2u) << "no temporary file left behind";
}

TEST_F(PlaylistFileTest, PathsBeyondTheBasicPlaneSurviveAWriteAndARead) {
    const Lines paths = {L"/music/\U0001F3B5 Song.mp3", L"/v/\u00E9t\u00E9 \u6771\u4EAC.mkv", L"",
                         L"/x/trailing space "};
    ASSERT_TRUE(WritePlaylistFile(PathOf("wide.mpl"), paths));
    EXPECT_EQ(Read("wide.mpl"), paths);
    // U+1F3B5 is stored as the surrogate pair D83C DFB5.
    EXPECT_NE(Get("wide.mpl").find("\x3C\xD8\xB5\xDF"), std::string::npos);
}

TEST_F(PlaylistFileTest, LineEndsAreReadAsThePlaylistFormatSays) {
    Put("lf.mpl", "/a.avi\n/b.avi\n\n/c.avi");
    EXPECT_EQ(Read("lf.mpl"), (Lines{L"/a.avi", L"/b.avi", L"", L"/c.avi"}));
    Put("crlf.mpl", "/a.avi\r\n/b.avi\r\n");
    EXPECT_EQ(Read("crlf.mpl"), (Lines{L"/a.avi", L"/b.avi"}));
    Put("crcrlf.mpl", std::string("\xFF\xFE") + Ascii16("/a\r\r\n/b\r\r\n"));
    EXPECT_EQ(Read("crcrlf.mpl"), (Lines{L"/a\r", L"/b\r"})) << "only one CR is removed";
    Put("nolf.mpl", std::string("\xFF\xFE") + Ascii16("/a\r\n/last"));
    EXPECT_EQ(Read("nolf.mpl"), (Lines{L"/a", L"/last"}));
    // 8-bit text that is not UTF-8 is read in a legacy code page.
    Put("legacy.mpl", "/m\xFAsica/caf\xE9 cr\xE8me br\xFBl\xE9\x65.mp3\n");
    EXPECT_EQ(Read("legacy.mpl"),
              (Lines{L"/m\u00FAsica/caf\u00E9 cr\u00E8me br\u00FBl\u00E9\u0065.mp3"}));
}

TEST_F(PlaylistFileTest, MissingFileIsReportedAndRandomBytesLoadWithoutHarm) {
    bool opened = true;
    EXPECT_TRUE(Read("absent.mpl", &opened).empty());
    EXPECT_FALSE(opened);

    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        std::string bytes(random() % 4096, '\0');
        for (char& byte : bytes) {
            byte = static_cast<char>(random());
        }
        if (round % 2 == 0) {
            bytes.insert(0, "\xFF\xFE"); // half of them as wide text, odd lengths included
        }
        Put("noise.mpl", bytes);
        opened = false;
        const Lines lines = Read("noise.mpl", &opened);
        EXPECT_TRUE(opened);
        for (const std::wstring& line : lines) {
            ASSERT_EQ(line.find(L'\n'), std::wstring::npos);
        }
    }
}

TEST_F(PlaylistFileTest, FailedWriteLeavesTheOldPlaylistIntact) {
    const Lines old = {L"/keep/one.avi", L"/keep/two.avi"};
    ASSERT_TRUE(WritePlaylistFile(PathOf("keep.mpl"), old));
    const std::string before = Get("keep.mpl");
    const Lines large(2000, L"/a/rather/long/path/to/some/media/file/that/takes/room.mkv");

    // A full disk: the process may write only a few bytes into any file.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WritePlaylistFile(PathOf("keep.mpl"), large);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(Get("keep.mpl"), before);
    EXPECT_EQ(EntriesInFolder(), 1u) << "the partial file is removed";

    // A folder that cannot be written to (root may write anyway; then only the first half ran).
    fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec);
    const bool probeWritten = std::ofstream(Folder() + "probe").good();
    if (!probeWritten) {
        EXPECT_FALSE(WritePlaylistFile(PathOf("keep.mpl"), large));
        EXPECT_EQ(Get("keep.mpl"), before);
    }
    fs::permissions(Folder(), fs::perms::owner_all);
    EXPECT_FALSE(WritePlaylistFile(PathOf("no/such/folder.mpl"), old));
}

TEST_F(PlaylistFileTest, RewriteKeepsALinkAndTheFilePermissions) {
    ASSERT_TRUE(WritePlaylistFile(PathOf("real.mpl"), {L"/old"}));
    fs::permissions(Folder() + "real.mpl", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(Folder() + "real.mpl", Folder() + "link.mpl");
    ASSERT_TRUE(WritePlaylistFile(PathOf("link.mpl"), {L"/new"}));
    EXPECT_TRUE(fs::is_symlink(Folder() + "link.mpl"));
    EXPECT_EQ(Read("real.mpl"), (Lines{L"/new"}));
    EXPECT_EQ(fs::status(Folder() + "real.mpl").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}
