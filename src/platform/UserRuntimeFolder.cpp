#include "platform/UserRuntimeFolder.h"

#include "platform/PlatformLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr mode_t kUserOnly = 0700;
constexpr char kWhere[] = "FindUserRuntimeFolder";

// Why path is not a folder for the user's runtime files alone; empty when it is.
std::string Unfit(const std::string& path, uid_t uid) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISDIR(status.st_mode)) {
        return S_ISLNK(status.st_mode) ? "a symbolic link" : "not a folder";
    }
    if (status.st_uid != uid) {
        return "owned by user " + std::to_string(status.st_uid);
    }
    if ((status.st_mode & 0777) != kUserOnly) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 0777));
        return std::string("mode ") + mode;
    }
    return {};
}

bool Check(const std::string& path, uid_t uid) {
    const std::string unfit = Unfit(path, uid);
    if (!unfit.empty()) {
        PlatformLog(PLATFORM_LOG_ERROR, kWhere, "not used: " + path + ": " + unfit);
    }
    return unfit.empty();
}

} // namespace

std::string FindUserRuntimeFolder(const std::string& runtimeDir, const std::string& tempDir,
                                  uid_t uid) {
    if (runtimeDir.starts_with('/') && Check(runtimeDir, uid)) {
        return runtimeDir;
    }
    const std::string own = tempDir + "/qor-" + std::to_string(uid);
    // The mode of a folder made here is set outright: the umask could have taken the owner's
    // bits. One that was there already is checked as it is.
    if (::mkdir(own.c_str(), kUserOnly) == 0) {
        ::chmod(own.c_str(), kUserOnly);
    }
    return Check(own, uid) ? own : std::string();
}
