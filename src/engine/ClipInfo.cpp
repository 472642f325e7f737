#include "engine/ClipInfo.h"

#include "core/WideText.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Stored times count 100-ns units from 1601-01-01, the epoch the playlist files were written with.
constexpr std::int64_t kUnitsPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

std::int64_t FileTime(const struct statx_timestamp& stamp) {
    return (static_cast<std::int64_t>(stamp.tv_sec) + kSecondsFrom1601To1970) * kUnitsPerSecond +
           stamp.tv_nsec / 100;
}

} // namespace

std::wstring CClipInfo::DisplayName() const {
    if (!title.empty()) {
        return title;
    }
    const std::size_t slash = path.find_last_of(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool CClipInfo::ReadFileAttributes() {
    struct statx info {};
    const std::string name = PathToBytes(path);
    if (name.empty() || statx(AT_FDCWD, name.c_str(), 0,
                              STATX_SIZE | STATX_ATIME | STATX_BTIME | STATX_CTIME, &info) != 0) {
        return false;
    }
    fileSize = info.stx_size;
    // Not every file system records a birth time; the last status change is the nearest stand-in.
    creationTime = FileTime((info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_ctime);
    lastAccessTime = FileTime(info.stx_atime);
    return true;
}
