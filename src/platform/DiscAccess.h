#pragma once

// What disc discovery needs to know of the system's optical drives, behind an interface so that
// the discovery rules can be tried on a fake drive tree. Callers: CDiscFinder on the user-interface
// thread; an implementation need not be thread-safe.
//
// Names, paths and labels are the bytes the system gives, unconverted: device and mount paths go
// back to the file system byte for byte, and the caller decodes them for display and for its own
// wide paths.

#include <memory>
#include <string>
#include <vector>

struct CDiscDrive {
    // Short name shown to the user in place of a drive letter, e.g. "sr0".
    std::string name;
    // Device node, e.g. "/dev/sr0"; audio tracks are named below it. Empty for a mount that has
    // no device of its own.
    std::string device;
    // Where the disc's file system is mounted, ending with '/'; empty while it is not mounted
    // (an audio CD never is).
    std::string mountPoint;
};

// One entry of a disc's table of contents.
struct CTocTrack {
    int number = 0;
    // The control nibble of the track's sub-channel: bit 4 (value 4) marks a data track.
    unsigned control = 0;
};

struct CDiscToc {
    int firstTrack = 0;
    int lastTrack = 0;
    std::vector<CTocTrack> tracks;
};

class IDiscAccess {
public:
    virtual ~IDiscAccess() = default;

    // The optical drives in a stable order: the first drive with a playable disc wins.
    virtual std::vector<CDiscDrive> OpticalDrives() = 0;
    // The volume label of the disc in the drive, as stored (normally UTF-8 or plain ASCII); empty
    // when there is none or it cannot be read.
    virtual std::string VolumeLabel(const CDiscDrive& drive) = 0;
    // False when the drive holds no disc or the table cannot be read. May take a few seconds
    // while a drive spins its disc up; it ends with the drive's own answer or time-out.
    virtual bool ReadToc(const CDiscDrive& drive, CDiscToc& toc) = 0;
};

// The running system's drives (Linux: /dev/sr*, /proc/mounts, CD-ROM ioctls).
std::unique_ptr<IDiscAccess> CreateSystemDiscAccess();
