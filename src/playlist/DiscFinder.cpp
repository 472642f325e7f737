#include "playlist/DiscFinder.h"

#include "core/FileFinder.h"
#include "core/Log.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// A data track's control nibble has this bit set; audio tracks (with or without pre-emphasis)
// have it clear.
constexpr unsigned kDataTrackBit = 4;

struct CPatternInFolder {
    const wchar_t* folder;
    const wchar_t* pattern;
};

// Video CD ("mpegav") before Super Video CD ("mpeg2"), video tracks before music tracks.
const CPatternInFolder kVideoCdPatterns[] = {
    {L"mpegav", L"avseq??.dat"}, {L"mpegav", L"avseq??.mpg"}, {L"mpeg2", L"avseq??.dat"},
    {L"mpeg2", L"avseq??.mpg"},  {L"mpegav", L"music??.dat"}, {L"mpegav", L"music??.mpg"},
    {L"mpeg2", L"music??.dat"},  {L"mpeg2", L"music??.mpg"},
};
const CPatternInFolder kDvdPatterns[] = {{L"VIDEO_TS", L"VTS_??_?.vob"}};

// The sub-folders of root whose name is folderName in any case, sorted: a disc mounted from
// ISO 9660 may show its names in upper or lower case depending on the mount options.
std::vector<std::wstring> FoldersNamed(const std::wstring& root, const std::wstring& folderName) {
    namespace fs = std::filesystem;
    std::vector<std::wstring> folders;
    std::error_code error;
    fs::directory_iterator it(fs::path(PathToBytes(root)), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::wstring name = PathFromBytes(it->path().filename().string());
        std::error_code typeError;
        if (MatchFilePattern(name, folderName) && it->is_directory(typeError)) {
            folders.push_back(root + name + L"/");
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

void AppendMatches(const std::wstring& root, const CPatternInFolder& where,
                   std::vector<std::wstring>& paths) {
    for (const std::wstring& folder : FoldersNamed(root, where.folder)) {
        const std::vector<std::wstring> found = FindFiles(folder, where.pattern, false);
        paths.insert(paths.end(), found.begin(), found.end());
    }
}

} // namespace

std::wstring CDiscFinder::TrackPath(const std::wstring& device, int track) {
    wchar_t name[32];
    swprintf(name, sizeof name / sizeof name[0], L"/track%02d.cda", track);
    return device + name;
}

std::wstring CDiscFinder::DisplayName(EDiscKind kind, const std::wstring& label,
                                      const std::wstring& driveName) {
    std::wstring fallback;
    switch (kind) {
    case DISC_AUDIO_CD:
        fallback = L"Audio CD";
        break;
    case DISC_VIDEO_CD:
        fallback = L"(S)VCD";
        break;
    case DISC_DVD_VIDEO:
        fallback = L"DVD Video";
        break;
    default:
        return {};
    }
    return (label.empty() ? fallback : label) + L" (" + driveName + L")";
}

EDiscKind CDiscFinder::ScanDrive(const CDiscDrive& drive, std::vector<std::wstring>& paths) {
    paths.clear();
    if (!drive.mountPoint.empty()) {
        const std::wstring root = WithTrailingSlash(PathFromBytes(drive.mountPoint));
        for (const CPatternInFolder& where : kVideoCdPatterns) {
            AppendMatches(root, where, paths);
        }
        if (!paths.empty()) {
            return DISC_VIDEO_CD;
        }
        for (const CPatternInFolder& where : kDvdPatterns) {
            AppendMatches(root, where, paths);
        }
        if (!paths.empty()) {
            return DISC_DVD_VIDEO;
        }
    }
    CDiscToc toc;
    if (m_access.ReadToc(drive, toc)) {
        const std::wstring device = PathFromBytes(drive.device);
        // Each track's own entry, looked up by number: a disc need not start at track 1.
        for (int number = toc.firstTrack; number <= toc.lastTrack; ++number) {
            const auto entry = std::find_if(toc.tracks.begin(), toc.tracks.end(),
                                            [&](const CTocTrack& t) { return t.number == number; });
            if (entry != toc.tracks.end() && (entry->control & kDataTrackBit) == 0) {
                paths.push_back(TrackPath(device, number));
            }
        }
        if (!paths.empty()) {
            return DISC_AUDIO_CD;
        }
    }
    return DISC_NOTHING_PLAYABLE;
}

CDiscFound CDiscFinder::FindDisc() {
    CDiscFound found;
    for (const CDiscDrive& drive : m_access.OpticalDrives()) {
        const std::wstring label = Utf8ToWide(m_access.VolumeLabel(drive));
        found.kind = ScanDrive(drive, found.paths);
        found.displayName = DisplayName(found.kind, label, Utf8ToWide(drive.name));
        if (!found.displayName.empty()) {
            Log({"CDiscFinder::FindDisc", LOG_LEVEL_INFO}, "%s: kind %d, %zu files",
                WideToUtf8(found.displayName).c_str(), static_cast<int>(found.kind),
                found.paths.size());
            return found;
        }
    }
    return {};
}

CDiscFound FindDisc() {
    const std::unique_ptr<IDiscAccess> access = CreateSystemDiscAccess();
    return CDiscFinder(*access).FindDisc();
}
