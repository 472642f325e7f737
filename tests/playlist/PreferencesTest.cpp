#include "playlist/Preferences.h"

#include "core/AppFolder.h"

#include "TestFiles.h"

#include <QCoreApplication>
#include <QSettings>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(m_folder.Root()));
        // Each test its own file, so that no settings cached from another test are seen.
        QCoreApplication::setApplicationName(QString::fromStdString(
            ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    std::string IniPath() const {
        return m_folder.Root() + kPreferencesKey + "/" +
               QCoreApplication::applicationName().toStdString() + ".ini";
    }

    CScratchFolder m_folder{"prefs"};
};

} // namespace

TEST_F(PreferencesTest, AbsentValueGivesTheDefaultAndAStoredOneComesBack) {
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefMediaPath, L"/fallback/"), L"/fallback/");
    const std::wstring path = L"/home/u/\U0001F3B5 M\u00FCsik, \"live\"; a=b [1]/";
    SetPreference(kPrefSectionUser, kPrefMediaPath, path);
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefMediaPath, L"/fallback/"), path);
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefPlaylistPath, L"/other/"), L"/other/");
    SetPreference(kPrefSectionUser, kPrefMediaPath, L"");
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefMediaPath, L"/fallback/"), L"");

    // Stored per user under the section and key names.
    const std::string text = ReadFile(IniPath());
    EXPECT_NE(text.find("[User]"), std::string::npos) << IniPath();
    EXPECT_NE(text.find("MediaPath="), std::string::npos);
}

TEST_F(PreferencesTest, ValueThatIsNotTextGivesTheDefault) {
    fs::create_directories(fs::path(IniPath()).parent_path());
    std::ofstream(IniPath()) << "[User]\nMediaPath=/a, /b\nPlaylistPath=/lists/\n";
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefMediaPath, L"/fallback/"), L"/fallback/");
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefPlaylistPath, L"/fallback/"), L"/lists/");
}

TEST_F(PreferencesTest, DialogPathsDefaultToTheRootOrThePlaylistsFolder) {
    const std::string data = m_folder.Root() + "data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    const CAppFolder folders;
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(GetMediaPathPreference(folders), folders.GetRootFolder());
    EXPECT_EQ(GetPlaylistPathPreference(folders, false), folders.GetRootFolder());
    EXPECT_EQ(GetPlaylistPathPreference(folders, true), folders.GetPlaylistsFolder());
    SetPreference(kPrefSectionUser, kPrefPlaylistPath, L"/saved/lists/");
    EXPECT_EQ(GetPlaylistPathPreference(folders, true), L"/saved/lists/");
    EXPECT_EQ(GetPlaylistPathPreference(folders, false), L"/saved/lists/");
    EXPECT_EQ(GetMediaPathPreference(folders), folders.GetRootFolder());
}
