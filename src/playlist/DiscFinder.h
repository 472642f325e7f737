#pragma once

// Finding the playable files of the disc in the first optical drive that holds one: the tracks of
// an audio CD, the MPEG track files of a Video CD or Super Video CD, the title-set files of a
// DVD-Video. Callers: the control center's "open disc" command, on the user-interface thread; the
// search is synchronous. The drives' byte paths become wide paths here (PathFromBytes), their
// names and labels wide text (Utf8ToWide).

#include "platform/DiscAccess.h"

#include <string>
#include <vector>

// The numbers are shared with the callers; keep them.
enum EDiscKind : int {
    DISC_NOT_OPTICAL = 0,
    DISC_AUDIO_CD = 1,
    DISC_VIDEO_CD = 2, // Video CD or Super Video CD
    DISC_DVD_VIDEO = 3,
    DISC_NOTHING_PLAYABLE = 4, // an optical drive, empty or with a data disc
};

struct CDiscFound {
    // "<label or kind name> (<drive name>)"; empty when no drive holds a playable disc.
    std::wstring displayName;
    EDiscKind kind = DISC_NOT_OPTICAL;
    // Full paths in play order.
    std::vector<std::wstring> paths;
};

class CDiscFinder {
public:
    // The access must outlive the finder.
    explicit CDiscFinder(IDiscAccess& access) : m_access(access) {}

    // Drives in the access's order; the first with a display name wins. Finding nothing is not a
    // failure: the result is then empty.
    CDiscFound FindDisc();
    // Replaces paths with the playable files of the drive's disc.
    EDiscKind ScanDrive(const CDiscDrive& drive, std::vector<std::wstring>& paths);

    // Empty for the kinds that name nothing playable.
    static std::wstring DisplayName(EDiscKind kind, const std::wstring& label,
                                    const std::wstring& driveName);
    // The form every audio track takes, whatever the platform: "<device>/track07.cda".
    static std::wstring TrackPath(const std::wstring& device, int track);

private:
    IDiscAccess& m_access;
};

// The system's drives, through CreateSystemDiscAccess.
CDiscFound FindDisc();
