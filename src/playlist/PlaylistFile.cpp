#include "playlist/PlaylistFile.h"

#include "core/Log.h"
#include "core/StdioFileEx.h"
#include "core/WideText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kWideMark = "\xFF\xFE";
constexpr wchar_t kLineEnd[] = L"\r\n";
// Attempts at a free temporary name before giving up; names clash only with leftovers.
constexpr int kTempNameAttempts = 16;

// The file a path stands for: a symbolic link is followed, so that the link survives the rename.
std::string TargetOf(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A new file "<target>.~<n>" in the target's folder, created with the usual permissions (the
// umask applies) or, when the target exists, with the target's own.
int CreateTempBeside(const std::string& target, std::string& tempPath) {
    struct stat existing {};
    const mode_t mode = stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        tempPath = target + ".~" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            if (fd >= 0 && existing.st_mode != 0) {
                fchmod(fd, mode);
            }
            return fd;
        }
    }
    return -1;
}

std::string EncodePlaylist(const std::vector<std::wstring>& paths) {
    std::string bytes;
    if (paths.empty()) {
        return bytes;
    }
    bytes = kWideMark;
    for (const std::wstring& path : paths) {
        bytes += WideToUtf16Le(path, EEscapes::Keep);
        bytes += WideToUtf16Le(kLineEnd);
    }
    return bytes;
}

} // namespace

bool WritePlaylistFile(const std::wstring& path, const std::vector<std::wstring>& paths) {
    const std::string target = TargetOf(PathToBytes(path));
    std::string tempPath;
    const int fd = CreateTempBeside(target, tempPath);
    if (fd < 0) {
        Log({"WritePlaylistFile", LOG_LEVEL_ERROR}, "cannot create a file beside %s: %s",
            target.c_str(), std::strerror(errno));
        return false;
    }
    const bool stored = WriteAll(fd, EncodePlaylist(paths)) && fsync(fd) == 0;
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!stored || !closed || std::rename(tempPath.c_str(), target.c_str()) != 0) {
        Log({"WritePlaylistFile", LOG_LEVEL_ERROR}, "cannot write %s: %s", target.c_str(),
            std::strerror(stored && closed ? errno : error));
        ::unlink(tempPath.c_str());
        return false;
    }
    // The rename itself lives in the folder; without this a crash could still bring back the old
    // file, which is harmless, so a failure here is not reported.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        ::close(folder);
    }
    return true;
}

bool ReadPlaylistFile(const std::wstring& path,
                      const std::function<void(const std::wstring& line)>& onLine) {
    CStdioFileEx file;
    if (!file.Open(path, CStdioFileEx::kModePaths)) {
        return false;
    }
    std::wstring line;
    while (file.ReadString(line)) {
        onLine(line);
    }
    return true;
}
