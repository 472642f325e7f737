#include "core/FileFinder.h"
#include "core/WideText.h"

#include "TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace {

namespace fs = std::filesystem;

class FileFinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The Subtitles folder lives below the data home; keep it inside this test's folder.
        setenv("XDG_DATA_HOME", (m_root + "data").c_str(), 1);
    }

    void Touch(const std::string& relative) const {
        fs::create_directories(fs::path(m_root + relative).parent_path());
        std::ofstream(m_root + relative) << "x";
    }
    std::wstring Wide(const std::string& relative) const { return Utf8ToWide(m_root + relative); }
    std::vector<std::wstring> Paths(const std::vector<std::string>& relatives) const {
        std::vector<std::wstring> paths;
        for (const std::string& relative : relatives) {
            paths.push_back(Wide(relative));
        }
        return paths;
    }

    CScratchFolder m_folder{"finder"};
    const std::string m_root = m_folder.Root();
};

TEST(FilePatternTest, WildcardsMatchLikeUsersExpect) {
    EXPECT_TRUE(MatchFilePattern(L"movie.srt", L"movie*.srt"));
    EXPECT_TRUE(MatchFilePattern(L"MOVIE.en.SRT", L"movie*.srt"));
    EXPECT_TRUE(MatchFilePattern(L"movie2.srt", L"movie*.srt"));
    EXPECT_TRUE(MatchFilePattern(L"ÉTÉ.srt", L"été*.srt"));
    EXPECT_TRUE(MatchFilePattern(L"avseq01.dat", L"avseq??.dat"));
    EXPECT_TRUE(MatchFilePattern(L"README", L"*.*"));
    EXPECT_TRUE(MatchFilePattern(L"a.b.c", L"*.*"));

    EXPECT_FALSE(MatchFilePattern(L"movie.srt.bak", L"movie*.srt"));
    EXPECT_FALSE(MatchFilePattern(L"amovie.srt", L"movie*.srt"));
    EXPECT_FALSE(MatchFilePattern(L"avseq1.dat", L"avseq??.dat"));
    EXPECT_FALSE(MatchFilePattern(L"README", L"*.srt"));
    EXPECT_FALSE(MatchFilePattern(L"", L"?"));
}

TEST(FilePatternTest, ManyStarsOnALongNameStayFast) {
    const std::wstring name(5000, L'a');
    EXPECT_FALSE(MatchFilePattern(name, L"*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(MatchFilePattern(name + L"b", L"*a*a*a*a*a*a*a*a*b"));
}

TEST_F(FileFinderTest, SubfoldersComeFirstAndEachFolderIsSortedByName) {
    Touch("tree/b.avi");
    Touch("tree/a.avi");
    Touch("tree/sub/b.avi");
    Touch("tree/sub/deeper/c.avi");
    Touch("tree/another/x.avi");
    Touch("tree/notes.txt");

    EXPECT_EQ(FindFiles(Wide("tree"), L"*.avi", true),
              Paths({"tree/another/x.avi", "tree/sub/deeper/c.avi", "tree/sub/b.avi", "tree/a.avi",
                     "tree/b.avi"}));
    EXPECT_EQ(FindFiles(Wide("tree/"), L"*.avi", false), Paths({"tree/a.avi", "tree/b.avi"}));
    EXPECT_EQ(FindFilesByExtension(Wide("tree"), L"*").size(), 6u);
    EXPECT_EQ(FindFilesByExtension(Wide("tree"), L"txt"), Paths({"tree/notes.txt"}));
}

TEST_F(FileFinderTest, MissingFoldersAndLinkLoopsEndTheSearch) {
    EXPECT_TRUE(FindFiles(Wide("nowhere"), L"*.*", true).empty());

    Touch("loop/inner/file.avi");
    fs::create_directory_symlink(m_root + "loop", m_root + "loop/inner/back");
    fs::create_symlink(m_root + "loop/missing", m_root + "loop/dangling.avi");
    EXPECT_EQ(FindFiles(Wide("loop"), L"*.avi", true), Paths({"loop/inner/file.avi"}));
}

TEST_F(FileFinderTest, StoppedFinderFindsNothingUntilReset) {
    Touch("stop/a.avi");
    CFileFinder finder;
    std::vector<std::wstring> found;
    finder.Stop();
    finder.Find({Wide("stop"), L"*.avi", true}, found);
    EXPECT_TRUE(found.empty());
    finder.Reset();
    finder.Find({Wide("stop"), L"*.avi", true}, found);
    EXPECT_EQ(found, Paths({"stop/a.avi"}));
}

TEST_F(FileFinderTest, SubtitleSearchesRunInTheirFixedOrder) {
    Touch("media/movie.avi");
    Touch("media/movie.ass");
    Touch("media/MOVIE.en.SRT");
    Touch("media/movie2.srt");
    Touch("media/other.srt");
    Touch("media/subs/movie.srt");
    Touch("data/QOR/Subtitles/movie.ass");
    Touch("data/QOR/Subtitles/movie.srt");
    Touch("data/QOR/Subtitles/unrelated.srt");

    EXPECT_EQ(
        FindSubtitleFiles(Wide("media/movie.avi")),
        Paths({"media/subs/movie.srt", "media/MOVIE.en.SRT", "media/movie2.srt", "media/movie.ass",
               "data/QOR/Subtitles/movie.srt", "data/QOR/Subtitles/movie.ass"}));
}

} // namespace
