#include "platform/LinuxDiscAccess.h"

#include "TestFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace {

namespace fs = std::filesystem;

// A fake /dev, /dev/disk/by-label and /proc/mounts below a temporary folder.
class DiscAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root + "dev/disk/by-label");
        m_access = std::make_unique<CLinuxDiscAccess>(CLinuxDiscAccess::CSystemPaths{
            m_root + "mounts", m_root + "dev/", m_root + "dev/disk/by-label/"});
    }

    std::string Device(const std::string& name, const std::string& bytes = "") const {
        std::ofstream(m_root + "dev/" + name, std::ios::binary) << bytes;
        return m_root + "dev/" + name;
    }
    void Mounts(const std::string& table) const { std::ofstream(m_root + "mounts") << table; }

    CScratchFolder m_folder{"drives"};
    const std::string m_root = m_folder.Root();
    std::unique_ptr<CLinuxDiscAccess> m_access;
};

TEST_F(DiscAccessTest, DrivesInDeviceOrderThenDiscImagesWithTheirMountPoints) {
    const std::string sr0 = Device("sr0");
    Device("sr10");
    Device("sr2");
    Device("sr1");
    Device("sda1");
    Device("srx");
    fs::create_symlink("sr0", m_root + "dev/cdrom");
    Mounts("/dev/sda1 / ext4 rw 0 0\n" + m_root + "dev/cdrom " + m_root +
           "media/my\\040disc iso9660 ro 0 0\n" + //
           sr0 + " /elsewhere iso9660 ro 0 0\n" + // mounted twice
           "/dev/loop7 /mnt/image udf ro 0 0\n" + // a disc image
           "/dev/sdb1 /mnt/stick vfat rw 0 0\n");

    const std::vector<CDiscDrive> drives = m_access->OpticalDrives();
    ASSERT_EQ(drives.size(), 5u);
    const char* names[] = {"sr0", "sr1", "sr2", "sr10", "loop7"};
    for (std::size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i].name, names[i]);
    }
    EXPECT_EQ(drives[0].device, sr0);
    EXPECT_EQ(drives[0].mountPoint, m_root + "media/my disc/");
    EXPECT_EQ(drives[1].mountPoint, "");
    EXPECT_EQ(drives[4].device, "/dev/loop7");
    EXPECT_EQ(drives[4].mountPoint, "/mnt/image/");
}

TEST_F(DiscAccessTest, NoDrivesWithoutDevicesOrMountTable) {
    EXPECT_TRUE(m_access->OpticalDrives().empty());
    Device("sda");
    Mounts("garbage\n\n/dev/sda / ext4 rw 0 0\n");
    EXPECT_TRUE(m_access->OpticalDrives().empty());
}

TEST_F(DiscAccessTest, LabelFromUdevLinkElseFromTheVolumeDescriptor) {
    const std::string sr1 = Device("sr1");
    fs::create_symlink("../../sr1", m_root + "dev/disk/by-label/My\\x20Trip\\x2fDay\\x201");
    EXPECT_EQ(m_access->VolumeLabel({"sr1", sr1, ""}), "My Trip/Day 1");

    std::string image(16 * 2048 + 2048, '\0');
    image.replace(16 * 2048, 6,
                  "\x01"
                  "CD001");
    image.replace(16 * 2048 + 40, 32, "SUMMER_2011                     ");
    const std::string sr2 = Device("sr2", image);
    EXPECT_EQ(m_access->VolumeLabel({"sr2", sr2, ""}), "SUMMER_2011");

    // No descriptor, a short device, a missing one, none at all: no label.
    image.replace(16 * 2048 + 1, 5, "BEA01");
    EXPECT_EQ(m_access->VolumeLabel({"sr3", Device("sr3", image), ""}), "");
    EXPECT_EQ(m_access->VolumeLabel({"sr4", Device("sr4", "CD001"), ""}), "");
    EXPECT_EQ(m_access->VolumeLabel({"sr5", m_root + "dev/sr5", ""}), "");
    EXPECT_EQ(m_access->VolumeLabel({"image", "", "/mnt/image/"}), "");
}

TEST_F(DiscAccessTest, TableOfContentsFailsOnAnythingButADrive) {
    CDiscToc toc{1, 3, {{1, 0}}};
    EXPECT_FALSE(m_access->ReadToc({"sr0", Device("sr0", "not a drive"), ""}, toc));
    EXPECT_TRUE(toc.tracks.empty());
    EXPECT_FALSE(m_access->ReadToc({"sr1", m_root + "dev/sr1", ""}, toc));
    EXPECT_FALSE(m_access->ReadToc({"image", "", "/mnt/image/"}, toc));
}

TEST(MountFieldTest, EscapesAreUndoneAndBrokenOnesKept) {
    EXPECT_EQ(CLinuxDiscAccess::UnescapeMountField("/media/a\\040b\\011c\\134d"),
              "/media/a b\tc\\d");
    EXPECT_EQ(CLinuxDiscAccess::UnescapeMountField("/a\\04"), "/a\\04");
    EXPECT_EQ(CLinuxDiscAccess::UnescapeMountField("/a\\089"), "/a\\089");
    EXPECT_EQ(CLinuxDiscAccess::UnescapeLabelLink("A\\x20B\\x2"), "A B\\x2");
    EXPECT_EQ(CLinuxDiscAccess::UnescapeLabelLink("\\xzz"), "\\xzz");
}

} // namespace
