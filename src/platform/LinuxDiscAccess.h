#pragma once

// The optical drives of a Linux system: every /dev/srN in the order of N, each with the place its
// disc is mounted, followed by ISO 9660 and UDF file systems mounted from other devices (a disc
// image mounted through a loop device stands for a drive too). Volume labels come from udev's
// by-label links, else from the ISO 9660 primary volume descriptor; the table of contents from
// the CD-ROM ioctls. Reading the system's files is all it does: any thread, one at a time.

#include "platform/DiscAccess.h"

#include <string>

class CLinuxDiscAccess : public IDiscAccess {
public:
    // Where the system keeps what is read; tests point these at a fake tree.
    struct CSystemPaths {
        std::string mountTable = "/proc/mounts";
        std::string deviceFolder = "/dev/";
        std::string labelFolder = "/dev/disk/by-label/";
    };

    CLinuxDiscAccess() = default;
    explicit CLinuxDiscAccess(CSystemPaths paths) : m_paths(std::move(paths)) {}

    std::vector<CDiscDrive> OpticalDrives() override;
    std::string VolumeLabel(const CDiscDrive& drive) override;
    bool ReadToc(const CDiscDrive& drive, CDiscToc& toc) override;

    // A field of the mount table with its octal escapes ("\040" for a space) undone.
    static std::string UnescapeMountField(const std::string& field);
    // A udev link name with its "\x20" escapes undone.
    static std::string UnescapeLabelLink(const std::string& name);

private:
    CSystemPaths m_paths;
};
