#include "platform/LinuxDiscAccess.h"

#include "platform/PlatformLog.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/cdrom.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// An ISO 9660 primary volume descriptor sits in sector 16 of 2048 bytes; its identifier "CD001"
// starts at byte 1 and the 32-byte volume label at byte 40, padded with spaces.
constexpr std::streamoff kVolumeDescriptorOffset = 16 * 2048;
constexpr std::size_t kLabelOffset = 40;
constexpr std::size_t kLabelLength = 32;
// Track numbers on a compact disc run from 1 to 99.
constexpr int kLastPossibleTrack = 99;

const char* const kDiscFileSystems[] = {"iso9660", "udf"};

struct CMount {
    std::string device;
    std::string mountPoint;
    std::string fileSystem;
};

std::vector<CMount> ReadMounts(const std::string& table) {
    std::vector<CMount> mounts;
    std::ifstream in(table);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        CMount mount;
        if (fields >> mount.device >> mount.mountPoint >> mount.fileSystem) {
            mount.device = CLinuxDiscAccess::UnescapeMountField(mount.device);
            mount.mountPoint = CLinuxDiscAccess::UnescapeMountField(mount.mountPoint);
            mounts.push_back(mount);
        }
    }
    return mounts;
}

// Links such as /dev/cdrom name the same device as /dev/sr0.
std::string Resolved(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

// The number N of a name "srN", or -1.
int OpticalDeviceNumber(const std::string& name) {
    if (name.size() < 3 || name.size() > 6 || name.compare(0, 2, "sr") != 0 ||
        !std::all_of(name.begin() + 2, name.end(),
                     [](unsigned char c) { return std::isdigit(c); })) {
        return -1;
    }
    return std::stoi(name.substr(2));
}

std::string BaseName(const std::string& path) {
    const std::string trimmed = path.substr(0, path.find_last_not_of('/') + 1);
    return trimmed.substr(trimmed.find_last_of('/') + 1);
}

std::string FolderPath(const std::string& mountPoint) {
    return mountPoint.empty() ? std::string() : (fs::path(mountPoint) / "").string();
}

std::string LabelFromVolumeDescriptor(const std::string& device) {
    std::ifstream in(device, std::ios::binary);
    char sector[kLabelOffset + kLabelLength] = {};
    if (!in.seekg(kVolumeDescriptorOffset) || !in.read(sector, sizeof sector) ||
        std::string(sector + 1, 5) != "CD001") {
        return {};
    }
    std::string label(sector + kLabelOffset, kLabelLength);
    label.erase(label.find_last_not_of(' ') + 1);
    return label;
}

} // namespace

std::string CLinuxDiscAccess::UnescapeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string CLinuxDiscAccess::UnescapeLabelLink(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 2, "\\x") == 0 && i + 3 < name.size() &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::vector<CDiscDrive> CLinuxDiscAccess::OpticalDrives() {
    std::vector<std::pair<int, std::string>> numbered;
    std::error_code error;
    for (fs::directory_iterator it(m_paths.deviceFolder, error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (const int number = OpticalDeviceNumber(name); number >= 0) {
            numbered.emplace_back(number, name);
        }
    }
    std::sort(numbered.begin(), numbered.end());

    const std::vector<CMount> mounts = ReadMounts(m_paths.mountTable);
    std::vector<CDiscDrive> drives;
    std::vector<std::string> devicesSeen;
    for (const auto& [number, name] : numbered) {
        const std::string device = (fs::path(m_paths.deviceFolder) / name).string();
        const std::string resolved = Resolved(device);
        // A disc mounted twice counts once, at its first mount point.
        const auto mount = std::find_if(mounts.begin(), mounts.end(), [&](const CMount& m) {
            return Resolved(m.device) == resolved;
        });
        drives.push_back(
            {name, device, FolderPath(mount != mounts.end() ? mount->mountPoint : "")});
        devicesSeen.push_back(resolved);
    }
    for (const CMount& mount : mounts) {
        const bool discFileSystem =
            std::find(std::begin(kDiscFileSystems), std::end(kDiscFileSystems), mount.fileSystem) !=
            std::end(kDiscFileSystems);
        const std::string resolved = Resolved(mount.device);
        if (!discFileSystem ||
            std::find(devicesSeen.begin(), devicesSeen.end(), resolved) != devicesSeen.end()) {
            continue;
        }
        const bool hasDevice = !mount.device.empty() && mount.device.front() == '/';
        drives.push_back({BaseName(hasDevice ? mount.device : mount.mountPoint),
                          hasDevice ? mount.device : std::string(), FolderPath(mount.mountPoint)});
        devicesSeen.push_back(resolved);
    }
    return drives;
}

std::string CLinuxDiscAccess::VolumeLabel(const CDiscDrive& drive) {
    if (drive.device.empty()) {
        return {};
    }
    const std::string resolved = Resolved(drive.device);
    std::error_code error;
    for (fs::directory_iterator it(m_paths.labelFolder, error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        if (Resolved(it->path().string()) == resolved) {
            return UnescapeLabelLink(it->path().filename().string());
        }
    }
    return LabelFromVolumeDescriptor(drive.device);
}

bool CLinuxDiscAccess::ReadToc(const CDiscDrive& drive, CDiscToc& toc) {
    toc = {};
    if (drive.device.empty()) {
        return false;
    }
    // Non-blocking, so that an empty drive or one with its tray open answers at once.
    const int fd = open(drive.device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    cdrom_tochdr header{};
    const bool ok = ioctl(fd, CDROMREADTOCHDR, &header) == 0 && header.cdth_trk0 >= 1 &&
                    header.cdth_trk0 <= header.cdth_trk1 && header.cdth_trk1 <= kLastPossibleTrack;
    if (ok) {
        toc.firstTrack = header.cdth_trk0;
        toc.lastTrack = header.cdth_trk1;
        for (int number = toc.firstTrack; number <= toc.lastTrack; ++number) {
            cdrom_tocentry entry{};
            entry.cdte_track = static_cast<__u8>(number);
            entry.cdte_format = CDROM_LBA;
            // A track whose entry cannot be read is left out rather than guessed at.
            if (ioctl(fd, CDROMREADTOCENTRY, &entry) == 0) {
                toc.tracks.push_back({number, entry.cdte_ctrl});
            }
        }
    } else {
        PlatformLog(PLATFORM_LOG_DEBUG, "CLinuxDiscAccess::ReadToc",
                    "no table of contents on " + drive.device);
    }
    close(fd);
    return ok;
}

std::unique_ptr<IDiscAccess> CreateSystemDiscAccess() {
    return std::make_unique<CLinuxDiscAccess>();
}
