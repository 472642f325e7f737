#include "core/FileFinder.h"

#include "core/AppFolder.h"
#include "core/PathValue.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"

#include <QChar>
#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

const wchar_t* const kSubtitleExtensions[] = {L"srt", L"ass"};

char32_t Folded(wchar_t c) {
    return QChar::toCaseFolded(static_cast<char32_t>(c));
}

// Iterative matcher with one backtrack point per '*': linear in practice, never exponential.
bool Matches(const std::wstring& name, const std::wstring& pattern) {
    std::size_t n = 0, p = 0;
    std::size_t starP = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == L'?' || Folded(pattern[p]) == Folded(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

struct CDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The sorted names of a folder's entries without "." and ".."; empty when it cannot be listed.
std::vector<std::string> SortedEntries(const std::string& folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, CDirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        return names;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

bool MatchFilePattern(const std::wstring& name, const std::wstring& pattern) {
    return pattern == L"*.*" || Matches(name, pattern);
}

void CFileFinder::Find(const CSearch& search, std::vector<std::wstring>& out) {
    std::vector<CFolderId> visited;
    SearchFolder(PathToBytes(WithTrailingSlash(search.baseFolder)), search, visited, out);
}

void CFileFinder::SearchFolder(const std::string& folder, const CSearch& search,
                               std::vector<CFolderId>& visited, std::vector<std::wstring>& out) {
    struct stat info {};
    if (m_stop || stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return;
    }
    const CFolderId id{info.st_dev, info.st_ino};
    if (std::find(visited.begin(), visited.end(), id) != visited.end()) {
        return;
    }
    visited.push_back(id);

    const std::vector<std::string> names = SortedEntries(folder);
    std::vector<std::string> files;
    for (const std::string& name : names) {
        const std::string path = folder + name;
        if (stat(path.c_str(), &info) != 0) {
            continue; // a dangling link or an entry gone meanwhile
        }
        if (!S_ISDIR(info.st_mode)) {
            files.push_back(name);
        } else if (search.recursive) {
            SearchFolder(path + "/", search, visited, out);
        }
        if (m_stop) {
            return;
        }
    }
    for (const std::string& name : files) {
        if (MatchFilePattern(PathFromBytes(name), search.pattern)) {
            out.push_back(PathFromBytes(folder + name));
        }
    }
}

std::vector<std::wstring> FindFiles(const std::wstring& folder, const std::wstring& pattern,
                                    bool recursive) {
    std::vector<std::wstring> found;
    CFileFinder().Find({folder, pattern, recursive}, found);
    return found;
}

std::vector<std::wstring> FindFilesByExtension(const std::wstring& folder,
                                               const std::wstring& extension, bool recursive) {
    return FindFiles(folder, L"*." + extension, recursive);
}

std::vector<std::wstring> FindSubtitleFiles(const std::wstring& mediaPath) {
    const CPathValue media(mediaPath);
    const std::wstring folders[] = {media.Folder(), CAppFolder().GetSubtitlesFolder()};
    std::vector<std::wstring> found;
    for (const std::wstring& folder : folders) {
        if (folder.empty()) {
            continue; // a bare file name has no folder of its own to search
        }
        for (const wchar_t* extension : kSubtitleExtensions) {
            CFileFinder().Find({folder, media.Title() + L"*." + extension, true}, found);
        }
    }
    return found;
}
