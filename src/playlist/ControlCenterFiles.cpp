// The control center's commands on files: the dialogs, named playlists, the playlist menu and
// discs.
#include "core/AppFolder.h"
#include "core/FileFinder.h"
#include "core/PathValue.h"
#include "core/SystemFolders.h"
#include "playlist/ControlCenter.h"
#include "playlist/DiscFinder.h"
#include "playlist/FileFilter.h"
#include "playlist/PlaylistFile.h"
#include "playlist/Preferences.h"

#include <QWidget>
#include <algorithm>
#include <cwctype>

namespace {

constexpr wchar_t kEmptyPlaylistMessage[] = L"No media file found. Cannot save empty playlist";
constexpr wchar_t kNoDiscMessage[] = L"No playable disc found.";
// The title of the default playlist, which the fixed menu entry stands for.
constexpr wchar_t kDefaultPlaylistTitle[] = L"__default";
// DVD menu title sets end so ("VTS_01_0.VOB"); disc file systems usually hold upper-case names.
constexpr wchar_t kDvdMenuSuffix[] = L"0.vob";

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

CFileQuestion OpenQuestion(bool multiSelect, std::wstring filter, std::wstring initialName,
                           std::wstring initialFolder) {
    CFileQuestion question;
    question.multiSelect = multiSelect;
    question.filter = std::move(filter);
    question.initialName = std::move(initialName);
    question.initialFolder = std::move(initialFolder);
    return question;
}

std::vector<std::wstring> PlaylistFiles() {
    return FindFilesByExtension(CAppFolder().GetPlaylistsFolder(), kPlaylistExtension, true);
}

} // namespace

std::wstring CControlCenter::ChosenPath(const std::vector<std::wstring>& files) {
    return files.size() == 1 ? files.front() : CPathValue(files.front()).Folder();
}

std::vector<std::wstring> CControlCenter::AskFiles(CFileQuestion question) {
    if (m_dialogs == nullptr) {
        return {};
    }
    question.owner = m_mainWindow;
    std::vector<std::wstring> files = m_dialogs->AskFiles(question);
    for (std::wstring& file : files) {
        file = AbsolutePath(file);
    }
    return files;
}

std::vector<std::wstring> CControlCenter::AskOpenFiles(std::wstring filter, bool playlists) {
    const CAppFolder folders;
    const std::wstring remembered =
        playlists ? GetPlaylistPathPreference(folders, false) : GetMediaPathPreference(folders);
    const auto files =
        AskFiles(OpenQuestion(true, std::move(filter), remembered, folders.GetRootFolder()));
    if (!files.empty()) {
        SetPreference(kPrefSectionUser, playlists ? kPrefPlaylistPath : kPrefMediaPath,
                      ChosenPath(files));
    }
    return files;
}

void CControlCenter::OpenFiles(bool clearFirst) {
    const auto files = AskOpenFiles(MediaPlaylistsAllFilter(), false);
    if (files.empty()) {
        return;
    }
    if (clearFirst) {
        ClearPlaylist();
    }
    Reset();
    for (const std::wstring& file : files) {
        AddPlaylistOrFile(file);
    }
    Play();
}

void CControlCenter::AddFiles() {
    for (const std::wstring& file : AskOpenFiles(MediaAllFilter(), false)) {
        AddFile(file);
    }
}

void CControlCenter::AddPlaylists() {
    for (const std::wstring& file : AskOpenFiles(PlaylistsFilter(), true)) {
        LoadPlaylistFile(file);
    }
}

void CControlCenter::OpenPlaylists() {
    const auto files = AskOpenFiles(PlaylistsFilter(), true);
    if (files.empty()) {
        return;
    }
    ClearPlaylist();
    Reset();
    for (const std::wstring& file : files) {
        LoadPlaylistFile(file);
    }
    Play();
}

void CControlCenter::SavePlaylistAs() {
    if (m_playlist.GetItemCount() == 0) {
        if (m_dialogs != nullptr) {
            m_dialogs->ShowMessage(m_mainWindow, kEmptyPlaylistMessage);
        }
        return;
    }
    const CAppFolder folders;
    CFileQuestion question = OpenQuestion(false, PlaylistsFilter(),
                                          GetPlaylistPathPreference(folders, true), m_playlistPath);
    question.save = true;
    question.defaultExtension = kPlaylistExtension;
    const auto files = AskFiles(question);
    if (files.empty()) {
        return;
    }
    SetPreference(kPrefSectionUser, kPrefPlaylistPath, files.front());
    SavePlaylist(files.front());
}

void CControlCenter::AddFolder() {
    const std::optional<std::wstring> folder =
        m_dialogs != nullptr ? m_dialogs->AskFolder(m_mainWindow) : std::nullopt;
    if (!folder) {
        return;
    }
    for (const std::wstring& file : FindFilesByExtension(AbsolutePath(*folder), L"*", true)) {
        AddFile(file);
    }
}

void CControlCenter::LoadSubtitle() {
    const auto files = AskFiles(OpenQuestion(false, SubtitlesAllFilter(), std::wstring(),
                                             CAppFolder().GetSubtitlesFolder()));
    for (const std::wstring& file : files) {
        m_controller.GetEngine().LoadExternalSubtitle(file);
    }
}

bool CControlCenter::SavePlaylist(const std::wstring& path) {
    CAppFolder().GetPlaylistsFolder();
    std::vector<std::wstring> paths;
    IPlaylistAdapter* adapter = Adapter();
    const int count = adapter->GetItemCount();
    paths.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        const CClipInfo* item = adapter->GetItemData(row);
        paths.push_back(item != nullptr ? item->path : std::wstring());
    }
    return WritePlaylistFile(path, paths);
}

bool CControlCenter::SaveDefaultPlaylist() {
    return SavePlaylist(CAppFolder().GetDefaultPlaylist());
}

void CControlCenter::LoadDefaultPlaylist() {
    ClearPlaylist();
    const std::wstring path = CAppFolder().GetDefaultPlaylist();
    if (CPathValue(path).Exists()) {
        LoadPlaylistFile(path);
    }
}

void CControlCenter::OpenPlaylist(const std::wstring& path) {
    const CPathValue file(path);
    if (!file.Exists()) {
        return;
    }
    ClearPlaylist();
    LoadPlaylistFile(path);
    SetPreference(kPrefSectionUser, kPrefPlaylistPath, file.Folder());
    m_playlistPath = path;
}

std::vector<CPlaylistMenuEntry> CControlCenter::PlaylistMenuEntries() const {
    std::vector<CPlaylistMenuEntry> entries;
    const std::vector<std::wstring> files = PlaylistFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::wstring title = CPathValue(files[i]).Title();
        if (title != kDefaultPlaylistTitle) {
            entries.push_back({kPlaylistMenuFirst + 1 + static_cast<int>(i), title, files[i]});
        }
    }
    return entries;
}

void CControlCenter::ChoosePlaylistCommand(int command) {
    const int k = command - kPlaylistMenuFirst;
    const std::vector<std::wstring> files = PlaylistFiles();
    if (k < 0 || k > static_cast<int>(files.size())) {
        return;
    }
    Reset();
    if (k == 0) {
        LoadDefaultPlaylist();
    } else {
        OpenPlaylist(files[static_cast<std::size_t>(k - 1)]);
    }
    Play();
}

void CControlCenter::OpenDisc() {
    const std::unique_ptr<IDiscAccess> access = CreateSystemDiscAccess();
    OpenDisc(*access);
}

void CControlCenter::OpenDisc(IDiscAccess& access) {
    const CDiscFound disc = CDiscFinder(access).FindDisc();
    std::vector<std::wstring> titles;
    for (const std::wstring& path : disc.paths) {
        if (!EndsWithNoCase(path, kDvdMenuSuffix)) {
            titles.push_back(path);
        }
    }
    // The user's playlist is worth more than an empty one: without a disc it stays as it was.
    if (titles.empty()) {
        if (m_dialogs != nullptr) {
            m_dialogs->ShowMessage(m_mainWindow, kNoDiscMessage);
        }
        return;
    }
    Reset();
    ClearPlaylist();
    for (const std::wstring& path : titles) {
        AddFile(path);
    }
    Play();
}
