#pragma once
// A playlist item: the file's path and title, its file attributes, and the media details that a
// load fills in. Created by the playlist side; the engine writes into it during Load.
//
// Threads: user-interface thread only. Plain data, no locks.
#include <cstdint>
#include <string>

class CClipInfo {
public:
    virtual ~CClipInfo() = default;

    // The title when there is one, else the file name with its extension.
    std::wstring DisplayName() const;

    // Reads the file's size and times into the item (times as 100-ns counts since 1601 like
    // every time the player keeps). False, item unchanged, when the file cannot be examined.
    bool ReadFileAttributes();

    std::int32_t videoWidth = 0; // pixels; 0 when unknown
    std::int32_t videoHeight = 0;
    // Whole values: sorting by them must order files over 4 GiB and times far apart. None of
    // them is written to a playlist file.
    std::uint64_t fileSize = 0;    // bytes
    std::int64_t creationTime = 0; // birth time, else the last change
    std::uint64_t addTime = 0;     // milliseconds of the steady clock when the item was added
    std::int64_t lastAccessTime = 0;
    double duration = 0.0; // seconds
    std::int32_t loadFailed = 0;
    std::int32_t noVideo = 0;
    std::int32_t canSeekAbsolute = 0;
    std::int32_t canSeekForward = 0;
    std::int32_t canSeekBackward = 0;
    std::wstring path;
    std::wstring title;
    std::wstring author;
    std::wstring copyright;
};
