#include "core/SystemFolders.h"

#include "core/WideText.h"

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

} // namespace

std::wstring WithTrailingSlash(std::wstring path) {
    if (!path.empty() && path.back() != L'/') {
        path += L'/';
    }
    return path;
}

std::wstring DataHomeFolder() {
    const std::string dataHome = EnvOrEmpty("XDG_DATA_HOME");
    if (dataHome.starts_with("/")) {
        return WithTrailingSlash(Utf8ToWide(dataHome));
    }
    return WithTrailingSlash(Utf8ToWide(HomeFolder())) + L".local/share/";
}

std::wstring ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return {};
    }
    return Utf8ToWide(std::string_view(buffer, static_cast<std::size_t>(length)));
}

std::wstring TempFolderPath() {
    const std::string tmpdir = EnvOrEmpty("TMPDIR");
    return WithTrailingSlash(Utf8ToWide(IsFolder(tmpdir) ? tmpdir : "/tmp"));
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
    return IsFolder(folder) ? WithTrailingSlash(Utf8ToWide(folder)) : std::wstring();
}

std::wstring CreateUniqueTempFile() {
    std::string pattern = WideToUtf8(TempFolderPath()) + "~XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return {};
    }
    close(fd);
    return Utf8ToWide(pattern);
}
