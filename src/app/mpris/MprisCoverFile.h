#pragma once
// The cover picture of the clip loaded last, as a file a desktop widget can show (mpris:artUrl):
// in the user's own runtime folder (platform/UserRuntimeFolder.h), readable by the user alone
// (0600), named for this process and the track, so that a client never shows an old picture
// under a URL it has seen. Each picture replaces the file of the one before; the last is removed
// when this object goes.
//
// Threads: user-interface thread only.
#include <string>

#include <QString>

struct CCoverArt;

class CMprisCoverFile {
public:
    CMprisCoverFile() = default;
    ~CMprisCoverFile();
    CMprisCoverFile(const CMprisCoverFile&) = delete;
    CMprisCoverFile& operator=(const CMprisCoverFile&) = delete;

    // Removes the file before, then writes the picture (none: nothing). The file:// URL of the
    // file written; empty without a picture, a runtime folder, or when the write fails (logged).
    QString Replace(const CCoverArt* art, unsigned track);

private:
    void Remove();

    std::string m_path; // the file written last; empty when none
};
