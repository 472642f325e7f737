#include "core/AppFolder.h"

#include "core/PathValue.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"

#include <sys/stat.h>

namespace {

constexpr const wchar_t* kDefaultPlaylistName = L"__default";
// The user's alone, as the desktop's rule for its data folders asks: playlists name the files a
// person watches, and the logs and crash reports in Temp say more.
constexpr mode_t kFolderMode = 0700;

std::wstring Ensured(std::wstring folder) {
    CreateFolderPath(folder);
    return folder;
}

} // namespace

bool CreateFolderPath(const std::wstring& folder) {
    const std::string path = PathToBytes(folder);
    bool created = false;
    for (std::size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        created = mkdir(path.substr(0, slash + 1).c_str(), kFolderMode) == 0;
    }
    return created;
}

CAppFolder::CAppFolder() : m_root(DataHomeFolder() + L"QOR/") {
    CreateFolderPath(m_root);
}

std::wstring CAppFolder::GetRootFolder() const {
    return Ensured(m_root);
}

std::wstring CAppFolder::GetSubtitlesFolder() const {
    return Ensured(m_root + L"Subtitles/");
}

std::wstring CAppFolder::GetTempFolder() const {
    return Ensured(m_root + L"Temp/");
}

std::wstring CAppFolder::GetInstallerFolder() const {
    return Ensured(m_root + L"Temp/Installer/");
}

std::wstring CAppFolder::GetPlaylistsFolder() const {
    return Ensured(m_root + L"Playlists/");
}

std::wstring CAppFolder::GetProgramFolder() const {
    return Ensured(CPathValue(SpecialFolder::ExecutableFolder).Folder());
}

std::wstring CAppFolder::GetPlaylistFile(const std::wstring& name) const {
    return GetPlaylistsFolder() + name + L".mpl";
}

std::wstring CAppFolder::GetDefaultPlaylist() const {
    return GetPlaylistFile(kDefaultPlaylistName);
}

std::wstring CAppFolder::GetInstallerFile(const std::wstring& name) const {
    return GetInstallerFolder() + name;
}
