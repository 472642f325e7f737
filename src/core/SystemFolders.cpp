#include "core/SystemFolders.h"

#include "core/WideText.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir) {
            home = entry->pw_dir;
        }
    }
    return home;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The value of one line of user-dirs.dirs, written by xdg-user-dirs-update as
// KEY="$HOME/Sub dir" or KEY="/absolute/path", with backslash escapes inside the quotes.
std::string ParseUserDirValue(const std::string& quoted) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
        return {};
    }
    const std::string inner = quoted.substr(1, quoted.size() - 2);
    std::string value;
    std::size_t pos = 0;
    if (inner.starts_with("$HOME")) {
        value = HomeFolder();
        pos = 5;
    } else if (!inner.starts_with("/")) {
        return {};
    }
    for (; pos < inner.size(); ++pos) {
        if (inner[pos] == '\\' && pos + 1 < inner.size()) {
            ++pos;
        }
        value += inner[pos];
    }
    return value;
}

// Whether a path has a "." or ".." part; a $PWD that has one is not to be trusted.
bool HasDotPart(std::string_view path) {
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part == "." || part == "..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string CurrentFolder() {
    struct stat logical {};
    struct stat physical {};
    const std::string pwd = EnvOrEmpty("PWD");
    if (pwd.starts_with('/') && !HasDotPart(pwd) && stat(pwd.c_str(), &logical) == 0 &&
        stat(".", &physical) == 0 && logical.st_dev == physical.st_dev &&
        logical.st_ino == physical.st_ino) {
        return pwd;
    }
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

} // namespace

std::wstring AbsolutePath(const std::wstring& path) {
    if (path.empty() || path.front() == L'/') {
        return path;
    }
    const std::string folder = CurrentFolder();
    if (folder.empty()) {
        return path;
    }
    std::wstring absolute = WithTrailingSlash(PathFromBytes(folder));
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t slash = path.find(L'/', start);
        const std::size_t end = slash == std::wstring::npos ? path.size() : slash + 1;
        const std::wstring_view part = std::wstring_view(path).substr(start, end - start);
        if (part != L"/" && part != L"./" && part != L".") {
            absolute += part;
        }
        start = end;
    }
    return absolute;
}

std::wstring WithTrailingSlash(std::wstring path) {
    if (!path.empty() && path.back() != L'/') {
        path += L'/';
    }
    return path;
}

std::wstring DataHomeFolder() {
    const std::string dataHome = EnvOrEmpty("XDG_DATA_HOME");
    if (dataHome.starts_with("/")) {
        return WithTrailingSlash(PathFromBytes(dataHome));
    }
    return WithTrailingSlash(PathFromBytes(HomeFolder())) + L".local/share/";
}

std::wstring ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return {};
    }
    return PathFromBytes(std::string_view(buffer, static_cast<std::size_t>(length)));
}

std::wstring TempFolderPath() {
    const std::string tmpdir = EnvOrEmpty("TMPDIR");
    return WithTrailingSlash(PathFromBytes(IsFolder(tmpdir) ? tmpdir : "/tmp"));
}

std::wstring UserDirFolder(const std::string& key) {
    std::string configHome = EnvOrEmpty("XDG_CONFIG_HOME");
    if (!configHome.starts_with("/")) {
        configHome = HomeFolder() + "/.config";
    }
    std::ifstream file(configHome + "/user-dirs.dirs");
    std::string line;
    std::string folder;
    while (std::getline(file, line)) {
        if (line.starts_with(key + "=")) {
            folder = ParseUserDirValue(line.substr(key.size() + 1));
        }
    }
    return IsFolder(folder) ? WithTrailingSlash(PathFromBytes(folder)) : std::wstring();
}

std::wstring CreateUniqueTempFile() {
    std::string pattern = PathToBytes(TempFolderPath()) + "~XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return {};
    }
    close(fd);
    return PathFromBytes(pattern);
}
