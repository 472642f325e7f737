#include "core/AppFolder.h"
#include "core/PathValue.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"

#include "EnvGuard.h"
#include "TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FoldersTest : public ::testing::Test {
protected:
    std::wstring Wide(const std::string& relative) const { return Utf8ToWide(m_root + relative); }

    CScratchFolder m_folder{"folders"};
    const std::string m_root = m_folder.Root();
};

TEST_F(FoldersTest, CreateFolderPathReportsWhetherItMadeTheLastFolder) {
    EXPECT_TRUE(CreateFolderPath(Wide("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(m_root + "a/b/c"));
    EXPECT_FALSE(CreateFolderPath(Wide("a/b/c/")));
    EXPECT_TRUE(CreateFolderPath(Wide("a/b/d/")));

    std::ofstream(m_root + "file") << "x";
    EXPECT_FALSE(CreateFolderPath(Wide("file/sub/")));
    EXPECT_FALSE(fs::exists(m_root + "file/sub"));
}

TEST_F(FoldersTest, AppFolderBuildsItsTreeUnderTheDataHome) {
    const CEnvGuard dataHome("XDG_DATA_HOME", m_root + "data");
    const CAppFolder folders;
    const std::wstring root = Wide("data/QOR/");
    EXPECT_EQ(folders.GetRootFolder(), root);
    EXPECT_TRUE(fs::is_directory(WideToUtf8(root)));

    EXPECT_EQ(folders.GetSubtitlesFolder(), root + L"Subtitles/");
    EXPECT_EQ(folders.GetTempFolder(), root + L"Temp/");
    EXPECT_EQ(folders.GetPlaylistsFolder(), root + L"Playlists/");
    EXPECT_EQ(folders.GetDefaultPlaylist(), root + L"Playlists/__default.mpl");
    EXPECT_EQ(folders.GetInstallerFile(L"setup"), root + L"Temp/Installer/setup");
    for (const char* sub : {"", "Subtitles", "Temp", "Temp/Installer", "Playlists"}) {
        const fs::file_status made = fs::status(WideToUtf8(root) + sub);
        EXPECT_TRUE(fs::is_directory(made)) << sub;
        EXPECT_EQ(made.permissions(), fs::perms::owner_all) << sub;
    }
    EXPECT_FALSE(fs::exists(WideToUtf8(root) + "Playlists/__default.mpl"));

    // A folder removed while the program runs comes back at the next access.
    fs::remove_all(WideToUtf8(root));
    EXPECT_EQ(folders.GetPlaylistFile(L"mine"), root + L"Playlists/mine.mpl");
    EXPECT_TRUE(fs::is_directory(WideToUtf8(root) + "Playlists"));

    const std::wstring program = folders.GetProgramFolder();
    EXPECT_TRUE(fs::exists(WideToUtf8(program) + "core_tests"));
}

TEST_F(FoldersTest, RelativeDataHomeIsIgnored) {
    const CEnvGuard home("HOME", m_root + "home");
    const CEnvGuard dataHome("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(CAppFolder().GetRootFolder(), Wide("home/.local/share/QOR/"));
}

TEST(PathValueTest, SplitsDirectoryTitleAndExtension) {
    const CPathValue media(L"/a/b/c.d.mkv");
    EXPECT_EQ(media.Drive(), L"");
    EXPECT_EQ(media.Directory(), L"/a/b/");
    EXPECT_EQ(media.Title(), L"c.d");
    EXPECT_EQ(media.Extension(), L".mkv");
    EXPECT_EQ(media.FileName(), L"c.d.mkv");
    EXPECT_EQ(media.FullPath(), L"/a/b/c.d.mkv");

    const CPathValue bare(L"/a/README");
    EXPECT_EQ(bare.Title(), L"README");
    EXPECT_EQ(bare.Extension(), L"");

    const CPathValue hidden(L"/home/u/.x");
    EXPECT_EQ(hidden.Title(), L".x");
    EXPECT_EQ(hidden.Extension(), L"");
    EXPECT_EQ(CPathValue(L"/s/.x.srt").Title(), L".x");
    EXPECT_EQ(CPathValue(L"/a/..").FileName(), L"..");
    EXPECT_EQ(CPathValue(L"/a/..").Extension(), L"");

    const CPathValue folder(L"/a/b/");
    EXPECT_EQ(folder.Folder(), L"/a/b/");
    EXPECT_EQ(folder.FileName(), L"");
    EXPECT_EQ(CPathValue(L"clip.avi").Folder(), L"");
}

TEST_F(FoldersTest, UserFoldersComeFromTheUserDirsFile) {
    const CEnvGuard home("HOME", m_root + "home");
    const CEnvGuard config("XDG_CONFIG_HOME", m_root + "config");
    fs::create_directories(m_root + "home/My \"Music\"");
    fs::create_directories(m_root + "desk");
    fs::create_directories(m_root + "config");
    std::ofstream(m_root + "config/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                    << "XDG_DESKTOP_DIR=\"" << m_root << "desk\"\n"
                                                    << "XDG_MUSIC_DIR=\"$HOME/My \\\"Music\\\"\"\n"
                                                    << "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n";

    EXPECT_EQ(CPathValue(SpecialFolder::Desktop).FullPath(), Wide("desk/"));
    EXPECT_EQ(CPathValue(SpecialFolder::MyMusic).FullPath(), Wide("home/My \"Music\"/"));
    EXPECT_EQ(CPathValue(SpecialFolder::Personal).FullPath(), L"") << "the folder does not exist";
    EXPECT_EQ(CPathValue(SpecialFolder::Favorites).FullPath(), L"");

    fs::remove(m_root + "config/user-dirs.dirs");
    EXPECT_EQ(CPathValue(SpecialFolder::Desktop).FullPath(), L"");
}

TEST_F(FoldersTest, TemporaryNamesAreFreshFilesInTheTempFolder) {
    const CEnvGuard tmpdir("TMPDIR", m_root + "tmp");
    EXPECT_EQ(CPathValue(SpecialFolder::TempFolder).FullPath(), L"/tmp/")
        << "a TMPDIR that does not exist is not used";
    fs::create_directories(m_root + "tmp");
    EXPECT_EQ(CPathValue(SpecialFolder::TempFolder).FullPath(), Wide("tmp/"));

    const CPathValue first(SpecialFolder::UniqueTempFile);
    const CPathValue second(SpecialFolder::UniqueTempFile);
    EXPECT_EQ(first.Folder(), Wide("tmp/"));
    EXPECT_TRUE(first.FileName().starts_with(L"~"));
    EXPECT_TRUE(first.Exists());
    EXPECT_TRUE(second.Exists());
    EXPECT_NE(first.FullPath(), second.FullPath());
}

// The user is in "link", a link to "real"; the shell says so in $PWD.
TEST_F(FoldersTest, RelativePathsAreJoinedToTheCurrentFolderAsTheUserReachedIt) {
    fs::create_directories(m_root + "real");
    fs::create_directory_symlink(m_root + "real", m_root + "link");
    const fs::path before = fs::current_path();
    ASSERT_EQ(chdir((m_root + "link").c_str()), 0);
    struct CBackHome {
        fs::path folder;
        ~CBackHome() { fs::current_path(folder); }
    } backHome{before};

    const CEnvGuard pwd("PWD", m_root + "link");
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"clip.mp4", Wide("link/clip.mp4")},
        {L"./a//b/./c.srt", Wide("link/a/b/c.srt")},
        {L"../real/x", Wide("link/../real/x")}, // ".." is the file system's to resolve
        {L".", Wide("link/")},
        {L"caf\xDCE9", Wide("link/caf") + L"\xDCE9"},
        {L"/m/./a.mp4", L"/m/./a.mp4"},
        {L"", L""},
    };
    for (const auto& [given, absolute] : cases) {
        EXPECT_EQ(AbsolutePath(given), absolute) << WideToUtf8(given);
    }
    // A $PWD naming another folder, or with a dot part, is stale: the kernel's folder counts.
    const std::wstring physical = PathFromBytes(fs::current_path().string()) + L"/clip.mp4";
    for (const std::string& stale : {m_root, m_root + "link/../link"}) {
        const CEnvGuard other("PWD", stale);
        EXPECT_EQ(AbsolutePath(L"clip.mp4"), physical) << stale;
    }
    EXPECT_EQ(physical, PathFromBytes(fs::canonical(m_root + "real").string()) + L"/clip.mp4");
}

TEST(PathValueTest, ExecutableKindsNameTheRunningProgram) {
    const CPathValue program(SpecialFolder::ExecutablePath);
    EXPECT_TRUE(program.Exists());
    EXPECT_EQ(program.FileName(), L"core_tests");
    const CPathValue folder(SpecialFolder::ExecutableFolder);
    EXPECT_EQ(folder.FullPath(), program.Folder());
    EXPECT_EQ(CPathValue(static_cast<SpecialFolder>(11)).FullPath(), L"");
    EXPECT_FALSE(CPathValue().Exists());
}

} // namespace
