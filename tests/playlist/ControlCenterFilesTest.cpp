// The control center's playlist contents and files: playlist files with odd lines and names, the
// default playlist across a restart, the playlist menu, discs, and the file commands answered
// through the dialog seam.
#include "core/AppFolder.h"
#include "core/WideText.h"
#include "media/VeltoSource.h"
#include "playlist/Preferences.h"
#include "support/CenterFakes.h"
#include "support/CenterHost.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

std::string Utf16Le(std::u16string_view units) {
    std::string bytes;
    for (const char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::vector<std::wstring> RowPaths(CMemoryPlaylist& list) {
    std::vector<std::wstring> paths;
    for (int row = 0; row < list.GetItemCount(); ++row) {
        paths.push_back(list.GetItemData(row)->path);
    }
    return paths;
}

} // namespace

TEST(ControlCenterContents, PlaylistFileLinesAndExtensionsDecideTheRows) {
    CCenterHost host;
    const std::wstring playlist = host.Folder() + L"list.mpl";
    WriteBytes(playlist, "/m/a.mp4\r\n\r\n/m/b.mkv\n");
    const std::wstring upper = host.Folder() + L"Other.MPL";
    WriteBytes(upper, "/m/c.mp4\n");

    host.center.AddPaths({playlist, upper, host.Folder() + L"nothing.mpl"}, true);
    ASSERT_EQ(RowPaths(host.list),
              (std::vector<std::wstring>{L"/m/a.mp4", L"", L"/m/b.mkv", upper}));
    // An unreadable playlist adds nothing, a media row is shown by its file name.
    EXPECT_EQ(host.list.GetItemText(3), L"Other.MPL");
    EXPECT_EQ(host.list.GetColumnText(3, 1), L"");
    EXPECT_EQ(host.list.GetItemData(0)->title, L"a.mp4");
    EXPECT_EQ(host.list.GetItemData(0)->fileSize, 0u);
    EXPECT_EQ(host.events.events.size(), 0u);

    // A file that exists brings its size; the add time is a tick of this run.
    host.center.AddFile(playlist);
    EXPECT_EQ(host.list.GetItemData(4)->fileSize, fs::file_size(fs::path(playlist)));
    EXPECT_GE(host.list.GetItemData(4)->addTime, host.list.GetItemData(0)->addTime);

    host.list.SetItemSelected(1, true);
    host.list.SetItemSelected(3, true);
    host.list.SetActiveItem(4);
    host.center.DeleteSelected();
    EXPECT_EQ(RowPaths(host.list), (std::vector<std::wstring>{L"/m/a.mp4", L"/m/b.mkv", playlist}));
    EXPECT_EQ(host.list.GetActiveItem(), 4);

    host.center.ClearPlaylist();
    EXPECT_EQ(host.list.GetItemCount(), 0);
    EXPECT_EQ(host.list.GetActiveItem(), -1);
}

TEST(ControlCenterPlaylists, DefaultPlaylistSurvivesARestartAndTheMenuSkipsIt) {
    CCenterHost host;
    host.center.AddFile(L"/m/one.mp4");
    host.center.AddFile(L"/m/two words.mkv");
    host.center.Reset();
    ASSERT_TRUE(host.center.SaveDefaultPlaylist());
    host.center.Close();

    const CAppFolder folders;
    {
        CMemoryPlaylist list;
        QWidget window;
        CControlCenter next;
        next.Initialise(&window, &list, CControlCenter::kDefaultDelayMs);
        next.LoadDefaultPlaylist();
        EXPECT_EQ(RowPaths(list), (std::vector<std::wstring>{L"/m/one.mp4", L"/m/two words.mkv"}));
        EXPECT_EQ(list.GetActiveItem(), -1);
        next.Close();
    }

    WriteBytes(folders.GetPlaylistsFolder() + L"a.mpl", "/m/a1.mp4\n/m/a2.mp4\n");
    WriteBytes(folders.GetPlaylistsFolder() + L"sub/b.mpl", "/m/b1.mp4\n");
    // Found subfolder first, then __default, then a: a keeps number 2 behind __default.
    const std::vector<CPlaylistMenuEntry> entries = host.center.PlaylistMenuEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].command, 15001);
    EXPECT_EQ(entries[0].caption, L"b");
    EXPECT_EQ(entries[1].command, 15003);
    EXPECT_EQ(entries[1].caption, L"a");

    host.center.ChoosePlaylistCommand(15003);
    EXPECT_EQ(RowPaths(host.list), (std::vector<std::wstring>{L"/m/a1.mp4", L"/m/a2.mp4"}));
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefPlaylistPath, L""),
              folders.GetPlaylistsFolder());
    host.center.ChoosePlaylistCommand(15004);
    EXPECT_EQ(host.list.GetItemCount(), 2);
    host.center.ChoosePlaylistCommand(15000);
    EXPECT_EQ(RowPaths(host.list), (std::vector<std::wstring>{L"/m/one.mp4", L"/m/two words.mkv"}));
}

TEST(ControlCenterDisc, DvdTitleSetsArePlayedWithoutTheirMenus) {
    CCenterHost host;
    const std::wstring disc = host.Folder() + L"disc/";
    for (const wchar_t* name : {L"VIDEO_TS.VOB", L"VTS_01_0.VOB", L"VTS_01_1.VOB", L"VTS_01_2.VOB",
                                L"VTS_02_0.VOB", L"VTS_02_1.VOB"}) {
        WriteBytes(disc + L"VIDEO_TS/" + name, "not really video");
    }
    host.center.AddFile(L"/m/old.mp4");
    CFakeDvdAccess access(disc);
    host.center.OpenDisc(access);
    EXPECT_EQ(RowPaths(host.list), (std::vector<std::wstring>{disc + L"VIDEO_TS/VTS_01_1.VOB",
                                                              disc + L"VIDEO_TS/VTS_01_2.VOB",
                                                              disc + L"VIDEO_TS/VTS_02_1.VOB"}));
    // Played at once: the first title fails to load (it is no video).
    EXPECT_EQ(host.events.Rows(L"MediaLoadFailed"), std::vector<int>{0});

    // No disc, or one holding only menus: the user is told and the playlist stays as it was.
    CAnsweringDialogs dialogs;
    host.center.SetDialogs(&dialogs);
    const std::vector<std::wstring> before = RowPaths(host.list);
    const std::wstring menusOnly = host.Folder() + L"menus/";
    WriteBytes(menusOnly + L"VIDEO_TS/VTS_01_0.VOB", "a menu");
    for (const std::wstring& root : {host.Folder() + L"empty/", menusOnly}) {
        CFakeDvdAccess nothing(root);
        host.center.OpenDisc(nothing);
        EXPECT_EQ(RowPaths(host.list), before);
    }
    EXPECT_EQ(dialogs.messages, std::vector<std::wstring>(2, L"No playable disc found."));
}

TEST(ControlCenterDialogs, AnswersAreAddedAndRememberedAndAnEmptyListIsNotSaved) {
    CCenterHost host;
    CAnsweringDialogs dialogs;
    host.center.SetDialogs(&dialogs);

    host.center.SavePlaylistAs();
    EXPECT_EQ(dialogs.messages,
              std::vector<std::wstring>{L"No media file found. Cannot save empty playlist"});
    EXPECT_TRUE(dialogs.questions.empty());

    dialogs.answer = {L"/m/x/one.mp4", L"/m/x/two.mp4"};
    host.center.AddFiles();
    EXPECT_EQ(RowPaths(host.list), dialogs.answer);
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefMediaPath, L""), L"/m/x/");
    EXPECT_TRUE(host.events.events.empty());

    // The next dialog starts where the user chose last.
    dialogs.answer = {L"/m/y/three.mp4"};
    host.center.OpenFiles(true);
    ASSERT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions[1].initialName, L"/m/x/");
    EXPECT_EQ(RowPaths(host.list), dialogs.answer);
    EXPECT_EQ(GetPreference(kPrefSectionUser, kPrefMediaPath, L""), L"/m/y/three.mp4");
    EXPECT_EQ(host.events.Count(L"MediaLoadFailed"), 1);

    const std::wstring target = host.Folder() + L"saved.mpl";
    dialogs.answer = {target};
    host.center.SavePlaylistAs();
    ASSERT_TRUE(dialogs.questions.back().save);
    host.center.ClearPlaylist();
    host.center.AddPaths({target}, true);
    EXPECT_EQ(RowPaths(host.list), std::vector<std::wstring>{L"/m/y/three.mp4"});

    dialogs.answer.clear();
    host.center.OpenPlaylists();
    EXPECT_EQ(host.list.GetItemCount(), 1);
}

// A folder whose names are bytes of other encodings goes into the playlist, through its file and
// back into another center, and the row still names the file: it plays.
TEST(ControlCenterPaths, NamesThatAreNotUtf8SurviveAddFolderSaveAndReload) {
    CCenterHost reader(100);
    const std::wstring folder = reader.Folder() + L"media/";
    fs::create_directories(PathToBytes(folder));
    struct CName {
        std::string bytes;
        std::u16string inPlaylist;
    };
    // In the finder's order (by bytes): Latin-1, UTF-8 and Latin-1 mixed, UTF-8 with a pair.
    const CName names[] = {
        {"caf\xE9.mp4", u"caf\xDCE9.mp4"},
        {"mixed \xC3\xA7\xE7.mp4", u"mixed \x00E7\xDCE7.mp4"},
        {"\xC3\xA7"
         "a \xF0\x9F\x8E\xB5.mp4",
         u"\x00E7"
         u"a \xD83C\xDFB5.mp4"},
    };
    std::string expectedFile = "\xFF\xFE";
    for (const CName& name : names) {
        fs::copy_file(PathToBytes(ShortClip()), PathToBytes(folder) + name.bytes);
        expectedFile +=
            Utf16Le(std::u16string(folder.begin(), folder.end()) + name.inPlaylist + u"\r\n");
    }
    const std::wstring playlist = reader.Folder() + L"names.mpl";
    {
        CCenterHost writer;
        CAnsweringDialogs dialogs;
        dialogs.folder = folder;
        writer.center.SetDialogs(&dialogs);
        writer.center.AddFolder();
        const std::vector<std::wstring> rows = RowPaths(writer.list);
        ASSERT_EQ(rows.size(), std::size(names));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(PathToBytes(rows[i]), PathToBytes(folder) + names[i].bytes);
        }
        EXPECT_EQ(rows[2], folder + L"\u00E7a \U0001F3B5.mp4");
        EXPECT_EQ(writer.list.GetItemData(0)->fileSize, fs::file_size(PathToBytes(rows[0])));
        ASSERT_TRUE(writer.center.SavePlaylist(playlist));
        // Escaped bytes are single units; valid names are plain UTF-16.
        EXPECT_EQ(ReadFile(PathToBytes(playlist)), expectedFile);
    }
    reader.center.LoadPlaylistFile(playlist);
    const std::vector<std::wstring> rows = RowPaths(reader.list);
    ASSERT_EQ(rows.size(), std::size(names));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(PathToBytes(rows[i]), PathToBytes(folder) + names[i].bytes);
    }
    reader.center.Play();
    ASSERT_TRUE(PumpUntil([&] { return reader.events.Count(L"MediaPlaying") == 1; }, 5s));
    EXPECT_EQ(reader.events.Rows(L"MediaLoaded"), std::vector<int>{0});
    EXPECT_EQ(reader.events.Count(L"MediaLoadFailed"), 0);
}

// Started from the clip's folder as `player clip.mp4`: the rows, the engine, the subtitle search
// and the saved playlist all see the absolute path; so do dialog answers.
TEST(ControlCenterPaths, RelativeNamesAreMadeAbsoluteBeforeTheyReachRowsEngineAndFiles) {
    CCenterHost host(100);
    const std::wstring folder = host.Folder() + L"clip folder/";
    fs::create_directories(PathToBytes(folder));
    fs::copy_file(PathToBytes(ShortClip()), PathToBytes(folder + L"clip.mp4"));
    const std::string cue = "1\n00:00:00,000 --> 00:00:01,000\nhello\n\n";
    WriteBytes(folder + L"clip.srt", cue);
    WriteBytes(folder + L"other.srt", cue);
    const fs::path before = fs::current_path();
    ASSERT_EQ(chdir(PathToBytes(folder).c_str()), 0);
    struct CBackHome {
        fs::path folder;
        ~CBackHome() { fs::current_path(folder); }
    } backHome{before};
    const std::wstring here = PathFromBytes(fs::current_path().string()) + L"/";

    CAnsweringDialogs dialogs;
    host.center.SetDialogs(&dialogs);
    host.center.OpenCommandLine({L"clip.mp4"});
    dialogs.answer = {L"./clip.mp4"};
    host.center.AddFiles();
    host.center.AddPaths({L"clip.mp4"}, true); // a drop
    EXPECT_EQ(RowPaths(host.list), std::vector<std::wstring>(3, here + L"clip.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return host.events.Count(L"MediaPlaying") == 1; }, 5s));

    CVeltoSource* source = host.center.GetController().GetEngine().GetSource();
    ASSERT_TRUE(source->FoundSubtitle().get());
    CSubtitle* subtitles = source->Subtitles();
    std::vector<std::wstring> found;
    std::wstring current;
    subtitles->ListSubtitles(here + L"clip.mp4", found, current);
    EXPECT_EQ(current, here + L"clip.srt");
    dialogs.answer = {L"other.srt"};
    host.center.LoadSubtitle();
    // The subtitle loads in the background and is swapped in when parsed.
    EXPECT_TRUE(PumpUntil(
        [&] {
            subtitles->ListSubtitles(here + L"clip.mp4", found, current);
            return current == here + L"other.srt";
        },
        5s));
    EXPECT_EQ(current, here + L"other.srt");

    ASSERT_TRUE(host.center.SavePlaylist(L"saved.mpl"));
    const std::u16string row = u"clip.mp4\r\n";
    const std::u16string folder16(here.begin(), here.end());
    EXPECT_EQ(ReadFile(PathToBytes(here + L"saved.mpl")),
              "\xFF\xFE" + Utf16Le(folder16 + row + folder16 + row + folder16 + row));
}
