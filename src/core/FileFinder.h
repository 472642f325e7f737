#pragma once

// Finding files below a folder by a wildcard pattern, and the searches built on it: every file of
// an extension, and the external subtitle files of a media file. Results are full paths in a
// stable order: depth first, each folder's own files after all of its subfolders, and within a
// folder the entries sorted by name (the order readdir returns is arbitrary on Linux).
//
// Folders that cannot be listed contribute nothing. A folder reached a second time (through a
// symbolic link loop or two links to one folder) is searched only once, so a search always ends.
// Searches run synchronously on the calling thread.

#include <atomic>
#include <string>
#include <vector>

// Whether the name matches the pattern: '*' is any run of characters, '?' exactly one; letters
// match regardless of case, as users expect file patterns to. The pattern "*.*" matches every
// name, dot or not.
bool MatchFilePattern(const std::wstring& name, const std::wstring& pattern);

class CFileFinder {
public:
    struct CSearch {
        std::wstring baseFolder;
        std::wstring pattern = L"*.*";
        bool recursive = false;
    };

    // The calling thread's search; appends the paths found to out.
    void Find(const CSearch& search, std::vector<std::wstring>& out);
    // Any thread. Ends a running search early (it keeps what it found so far) and every later
    // one until Reset.
    void Stop() { m_stop = true; }
    void Reset() { m_stop = false; }

private:
    struct CFolderId {
        unsigned long long device;
        unsigned long long inode;
        bool operator==(const CFolderId&) const = default;
    };

    void SearchFolder(const std::string& folder, const CSearch& search,
                      std::vector<CFolderId>& visited, std::vector<std::wstring>& out);

    std::atomic<bool> m_stop{false};
};

std::vector<std::wstring> FindFiles(const std::wstring& folder, const std::wstring& pattern,
                                    bool recursive);
// Pattern "*.<extension>"; the extension "*" gives every file.
std::vector<std::wstring> FindFilesByExtension(const std::wstring& folder,
                                               const std::wstring& extension,
                                               bool recursive = true);
// For /x/movie.avi: "movie*.srt" then "movie*.ass" below /x/, then the same two below the
// Subtitles folder. Duplicates are kept.
std::vector<std::wstring> FindSubtitleFiles(const std::wstring& mediaPath);
