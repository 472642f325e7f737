#pragma once
// The user's preferences: string values by section and name, kept per user in an INI file of
// QSettings ("<config>/Zelia Media Player/<application name>.ini", one group per section). The
// application name is the one Qt knows (set by start-up), else the executable's name.
//
// Threads: user-interface thread. Each call opens and closes the settings, so values written are
// on disk (or failed silently) when SetPreference returns.
#include <string>

class CAppFolder;

// The organisation level of the settings path.
inline constexpr char kPreferencesKey[] = "Zelia Media Player";

inline constexpr wchar_t kPrefSectionUser[] = L"User";
// The last path chosen in the media dialogs (open and add).
inline constexpr wchar_t kPrefMediaPath[] = L"MediaPath";
// The last path chosen in the playlist dialogs, or the folder of a playlist opened by path.
inline constexpr wchar_t kPrefPlaylistPath[] = L"PlaylistPath";

// The stored value, or fallback when there is none or it cannot be read.
std::wstring GetPreference(const std::wstring& section, const std::wstring& name,
                           const std::wstring& fallback);
// A value that cannot be stored is dropped without a word.
void SetPreference(const std::wstring& section, const std::wstring& name,
                   const std::wstring& value);

// The initial paths of the file dialogs: the last one chosen, else the application root folder
// (media dialogs, opening and adding playlists) or the Playlists folder (saving a playlist).
std::wstring GetMediaPathPreference(const CAppFolder& folders);
std::wstring GetPlaylistPathPreference(const CAppFolder& folders, bool forSaving);
