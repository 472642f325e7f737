#include "core/PathValue.h"

#include "core/SystemFolders.h"
#include "core/WideText.h"

#include <sys/stat.h>

CPathValue::CPathValue(const std::wstring& fullPath) {
    Split(fullPath);
}

CPathValue::CPathValue(SpecialFolder kind) {
    switch (kind) {
    case SpecialFolder::ExecutablePath:
        Split(ExecutablePath());
        break;
    case SpecialFolder::ExecutableFolder:
        Split(CPathValue(ExecutablePath()).Folder());
        break;
    case SpecialFolder::WindowsFolder:
        Split(L"/usr/");
        break;
    case SpecialFolder::SystemFolder:
        Split(L"/usr/lib/");
        break;
    case SpecialFolder::TempFolder:
        Split(TempFolderPath());
        break;
    case SpecialFolder::Desktop:
        Split(UserDirFolder("XDG_DESKTOP_DIR"));
        break;
    case SpecialFolder::Favorites:
        break;
    case SpecialFolder::Personal:
        Split(UserDirFolder("XDG_DOCUMENTS_DIR"));
        break;
    case SpecialFolder::MyMusic:
        Split(UserDirFolder("XDG_MUSIC_DIR"));
        break;
    case SpecialFolder::UniqueTempFile:
        Split(CreateUniqueTempFile());
        break;
    }
}

bool CPathValue::Exists() const {
    struct stat info {};
    const std::wstring path = FullPath();
    return !path.empty() && stat(PathToBytes(path).c_str(), &info) == 0;
}

void CPathValue::Split(const std::wstring& fullPath) {
    const std::size_t slash = fullPath.rfind(L'/');
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    m_directory = fullPath.substr(0, nameStart);
    const std::wstring fileName = fullPath.substr(nameStart);
    const std::size_t dot = fileName.rfind(L'.');
    // "." and ".." are names; so is a hidden file's leading dot.
    const bool hasExtension = dot != std::wstring::npos && dot > 0 && fileName != L"..";
    m_name = hasExtension ? fileName.substr(0, dot) : fileName;
    m_extension = hasExtension ? fileName.substr(dot) : std::wstring();
}
