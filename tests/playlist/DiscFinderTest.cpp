#include "playlist/DiscFinder.h"
#include "core/FileFinder.h"
#include "core/WideText.h"

#include "TestFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

// Drives as the test declares them: each a folder standing for its mounted disc (or none), a
// label and an optional table of contents.
class CFakeDiscAccess : public IDiscAccess {
public:
    struct CFakeDrive {
        CDiscDrive drive;
        std::string label;
        std::optional<CDiscToc> toc;
    };

    std::vector<CDiscDrive> OpticalDrives() override {
        std::vector<CDiscDrive> drives;
        for (const CFakeDrive& fake : m_drives) {
            drives.push_back(fake.drive);
        }
        return drives;
    }
    std::string VolumeLabel(const CDiscDrive& drive) override { return Find(drive).label; }
    bool ReadToc(const CDiscDrive& drive, CDiscToc& toc) override {
        ++m_tocReads[drive.name];
        const CFakeDrive& fake = Find(drive);
        if (!fake.toc) {
            return false;
        }
        toc = *fake.toc;
        return true;
    }

    std::vector<CFakeDrive> m_drives;
    std::map<std::string, int> m_tocReads;

private:
    const CFakeDrive& Find(const CDiscDrive& drive) const {
        for (const CFakeDrive& fake : m_drives) {
            if (fake.drive.name == drive.name) {
                return fake;
            }
        }
        throw std::logic_error("unknown drive");
    }
};

CDiscToc Toc(int first, const std::vector<unsigned>& controls) {
    CDiscToc toc{first, first + static_cast<int>(controls.size()) - 1, {}};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        toc.tracks.push_back({first + static_cast<int>(i), controls[i]});
    }
    return toc;
}

class DiscFinderTest : public ::testing::Test {
protected:
    // A file on the disc mounted for drive; returns its full path.
    std::wstring Put(const std::string& drive, const std::string& relative) const {
        const fs::path path = m_root + drive + "/" + relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
        return PathFromBytes(path.string());
    }
    // A drive whose disc is mounted at its own folder (created empty).
    CFakeDiscAccess::CFakeDrive Mounted(const std::string& name) const {
        fs::create_directories(m_root + name);
        return {{name, "/dev/" + name, m_root + name + "/"}, "", std::nullopt};
    }
    static CFakeDiscAccess::CFakeDrive Unmounted(const std::string& name) {
        return {{name, "/dev/" + name, ""}, "", std::nullopt};
    }

    CScratchFolder m_folder{"discs"};
    const std::string m_root = m_folder.Root();
    CFakeDiscAccess m_access;
};

// The search "Add Folder" runs: the files of a subfolder come before the folder's own files.
TEST_F(DiscFinderTest, FolderSearchListsSubfolderFilesFirst) {
    const std::wstring a = Put("tree", "a.avi");
    const std::wstring b = Put("tree", "sub/b.avi");
    const std::wstring c = Put("tree", "sub/deeper/c.mkv");
    EXPECT_EQ(FindFilesByExtension(Utf8ToWide(m_root + "tree"), L"*"),
              (std::vector<std::wstring>{c, b, a}));
}

TEST_F(DiscFinderTest, DvdGivesEveryTitleSetFileWhateverTheCase) {
    m_access.m_drives = {Mounted("sr0"), Mounted("sr1")};
    const std::vector<std::wstring> upper = {Put("sr0", "VIDEO_TS/VTS_01_0.VOB"),
                                             Put("sr0", "VIDEO_TS/VTS_01_1.VOB"),
                                             Put("sr0", "VIDEO_TS/VTS_01_2.VOB")};
    Put("sr0", "VIDEO_TS/VIDEO_TS.VOB"); // the disc menu, not a title set
    Put("sr0", "VIDEO_TS/VTS_01_0.IFO"); // navigation data
    Put("sr0", "VTS_02_1.VOB");          // outside VIDEO_TS
    Put("sr0", "VIDEO_TS/VTS_1_1.VOB");  // one digit short
    const std::vector<std::wstring> lower = {Put("sr1", "video_ts/vts_01_1.vob")};

    CDiscFinder finder(m_access);
    std::vector<std::wstring> paths;
    EXPECT_EQ(finder.ScanDrive(m_access.m_drives[0].drive, paths), DISC_DVD_VIDEO);
    EXPECT_EQ(paths, upper);
    EXPECT_EQ(finder.ScanDrive(m_access.m_drives[1].drive, paths), DISC_DVD_VIDEO);
    EXPECT_EQ(paths, lower);
    // A video disc is recognised from its files without asking for a table of contents.
    EXPECT_EQ(m_access.m_tocReads.size(), 0u);

    const CDiscFound found = finder.FindDisc();
    EXPECT_EQ(found.displayName, L"DVD Video (sr0)");
    EXPECT_EQ(found.kind, DISC_DVD_VIDEO);
    EXPECT_EQ(found.paths, upper);
}

TEST_F(DiscFinderTest, VideoCdListsTracksBeforeMusicAndVcdBeforeSvcd) {
    m_access.m_drives = {Mounted("sr0")};
    m_access.m_drives[0].label = "HOLIDAY";
    const std::wstring music = Put("sr0", "MPEGAV/MUSIC01.DAT");
    const std::wstring svcd = Put("sr0", "mpeg2/avseq01.mpg");
    const std::wstring track2 = Put("sr0", "MPEGAV/AVSEQ02.DAT");
    const std::wstring track1 = Put("sr0", "MPEGAV/AVSEQ01.DAT");
    Put("sr0", "MPEGAV/AVSEQ1.DAT");
    Put("sr0", "SEGMENT/ITEM0001.MPG");
    // A DVD layout on the same disc loses to the video CD.
    Put("sr0", "VIDEO_TS/VTS_01_1.VOB");

    const CDiscFound found = CDiscFinder(m_access).FindDisc();
    EXPECT_EQ(found.kind, DISC_VIDEO_CD);
    EXPECT_EQ(found.displayName, L"HOLIDAY (sr0)");
    EXPECT_EQ(found.paths, (std::vector<std::wstring>{track1, track2, svcd, music}));
}

TEST_F(DiscFinderTest, AudioCdListsAudioTracksAndLeavesOutDataTracks) {
    // A mixed-mode disc: track 1 data, then audio with and without pre-emphasis (control 1), a
    // copy-permitted audio track (2), and an enhanced-CD data track at the end (control 6).
    m_access.m_drives = {Unmounted("sr0")};
    m_access.m_drives[0].toc = Toc(1, {4, 0, 1, 2, 6});
    const CDiscFound found = CDiscFinder(m_access).FindDisc();
    EXPECT_EQ(found.kind, DISC_AUDIO_CD);
    EXPECT_EQ(found.displayName, L"Audio CD (sr0)");
    EXPECT_EQ(found.paths,
              (std::vector<std::wstring>{L"/dev/sr0/track02.cda", L"/dev/sr0/track03.cda",
                                         L"/dev/sr0/track04.cda"}));
}

TEST_F(DiscFinderTest, AudioTracksAreJudgedByTheirOwnEntryWhenTheDiscStartsLater) {
    // Track 3 is data: looking at the entry one place before each track would call track 2 data
    // and track 3 audio.
    m_access.m_drives = {Unmounted("sr0")};
    m_access.m_drives[0].toc = Toc(2, {0, 4});
    m_access.m_drives[0].label = "Disc 2";
    const CDiscFound found = CDiscFinder(m_access).FindDisc();
    EXPECT_EQ(found.paths, std::vector<std::wstring>{L"/dev/sr0/track02.cda"});
    EXPECT_EQ(found.displayName, L"Disc 2 (sr0)");

    // A table whose entries could not be read gives no tracks for them.
    m_access.m_drives[0].toc->tracks.clear();
    std::vector<std::wstring> paths;
    EXPECT_EQ(CDiscFinder(m_access).ScanDrive(m_access.m_drives[0].drive, paths),
              DISC_NOTHING_PLAYABLE);
    EXPECT_TRUE(paths.empty());
}

TEST_F(DiscFinderTest, DataDiscOrEmptyDriveIsPassedOverForTheNextDrive) {
    m_access.m_drives = {Mounted("sr0"), Unmounted("sr1"), Unmounted("sr2"), Unmounted("sr3")};
    Put("sr0", "photos/img001.jpg");
    // sr0 holds a mounted data CD, sr1 an unmounted data-only disc, sr2 nothing.
    m_access.m_drives[0].toc = Toc(1, {4});
    m_access.m_drives[1].toc = Toc(1, {4, 6});
    m_access.m_drives[3].toc = Toc(1, {0, 0});

    CDiscFinder finder(m_access);
    std::vector<std::wstring> paths{L"left over"};
    EXPECT_EQ(finder.ScanDrive(m_access.m_drives[0].drive, paths), DISC_NOTHING_PLAYABLE);
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(finder.ScanDrive(m_access.m_drives[2].drive, paths), DISC_NOTHING_PLAYABLE);

    const CDiscFound found = finder.FindDisc();
    EXPECT_EQ(found.displayName, L"Audio CD (sr3)");
    EXPECT_EQ(found.paths.size(), 2u);
}

TEST_F(DiscFinderTest, FirstDriveWithADiscWinsAndNoDiscGivesAnEmptyResult) {
    m_access.m_drives = {Mounted("sr0"), Mounted("sr1")};
    const std::wstring first = Put("sr0", "VIDEO_TS/VTS_01_1.VOB");
    Put("sr1", "MPEGAV/AVSEQ01.DAT");
    m_access.m_drives[1].toc = Toc(1, {0});
    CDiscFound found = CDiscFinder(m_access).FindDisc();
    EXPECT_EQ(found.displayName, L"DVD Video (sr0)");
    EXPECT_EQ(found.paths, std::vector<std::wstring>{first});
    EXPECT_EQ(m_access.m_tocReads.count("sr1"), 0u);

    m_access.m_drives = {Unmounted("sr0")};
    found = CDiscFinder(m_access).FindDisc();
    EXPECT_TRUE(found.displayName.empty());
    EXPECT_TRUE(found.paths.empty());

    m_access.m_drives.clear();
    found = CDiscFinder(m_access).FindDisc();
    EXPECT_TRUE(found.displayName.empty());
    EXPECT_TRUE(found.paths.empty());
}

TEST_F(DiscFinderTest, DrivePathsThatAreNotUtf8ComeBackByteForByte) {
    // Latin-1 names: a disc image mounted at "café/", an audio drive whose node is "/dev/sré".
    m_access.m_drives = {Mounted("caf\xe9"), Unmounted("sr\xe9")};
    m_access.m_drives[1].toc = Toc(1, {0});
    Put("caf\xe9", "VIDEO_TS/VTS_01_1.VOB");

    CDiscFinder finder(m_access);
    std::vector<std::wstring> paths;
    EXPECT_EQ(finder.ScanDrive(m_access.m_drives[0].drive, paths), DISC_DVD_VIDEO);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(PathToBytes(paths[0]), m_root + "caf\xe9/VIDEO_TS/VTS_01_1.VOB");
    EXPECT_EQ(finder.ScanDrive(m_access.m_drives[1].drive, paths), DISC_AUDIO_CD);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(PathToBytes(paths[0]), "/dev/sr\xe9/track01.cda");
    // Shown to the user, the undecodable byte is a replacement character.
    EXPECT_EQ(finder.FindDisc().displayName, L"DVD Video (caf\uFFFD)");
}

TEST(DiscNamesTest, LabelOrKindNameWithTheDrive) {
    EXPECT_EQ(CDiscFinder::DisplayName(DISC_VIDEO_CD, L"", L"sr1"), L"(S)VCD (sr1)");
    EXPECT_EQ(CDiscFinder::DisplayName(DISC_DVD_VIDEO, L"MOVIE", L"loop0"), L"MOVIE (loop0)");
    EXPECT_EQ(CDiscFinder::DisplayName(DISC_NOTHING_PLAYABLE, L"DATA", L"sr0"), L"");
    EXPECT_EQ(CDiscFinder::DisplayName(DISC_NOT_OPTICAL, L"", L"sr0"), L"");
    EXPECT_EQ(CDiscFinder::TrackPath(L"/dev/sr0", 7), L"/dev/sr0/track07.cda");
    EXPECT_EQ(CDiscFinder::TrackPath(L"/dev/sr0", 99), L"/dev/sr0/track99.cda");
}

} // namespace
