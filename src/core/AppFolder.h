#pragma once

// The player's per-user folders: $XDG_DATA_HOME/QOR/ (default ~/.local/share/QOR/) with
// Subtitles/, Temp/, Temp/Installer/ and Playlists/ below it, and the program's own folder.
//
// The root is fixed when the object is made (from the environment of that moment) and created
// then. Every accessor creates its folder, with missing parents, before it returns the path;
// a folder that cannot be created is not reported, the path is returned all the same and the
// caller's own file access fails later. Every folder path ends with "/".
// Used from the user-interface thread; start-up also uses it before other threads exist.

#include <string>

// Creates each prefix of the path that ends in "/", from the shortest. Returns whether the last
// of them was created by this call: false when it already existed or could not be made. Only
// prefixes ending in "/" count, so a folder path must end with "/".
bool CreateFolderPath(const std::wstring& folder);

class CAppFolder {
public:
    CAppFolder();

    std::wstring GetRootFolder() const;
    std::wstring GetSubtitlesFolder() const;
    std::wstring GetTempFolder() const;
    std::wstring GetInstallerFolder() const;
    std::wstring GetPlaylistsFolder() const;
    std::wstring GetProgramFolder() const;

    // "<playlists folder><name>.mpl"; only the folder is created.
    std::wstring GetPlaylistFile(const std::wstring& name) const;
    std::wstring GetDefaultPlaylist() const;
    // "<installer folder><name>"; only the folder is created.
    std::wstring GetInstallerFile(const std::wstring& name) const;

private:
    std::wstring m_root;
};
