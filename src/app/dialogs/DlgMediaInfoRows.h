#pragma once
// What the media information dialog lists: the label/value rows made from the loaded file's
// facts (media/MediaFacts.h), and the size and length texts. Pure; any thread.
#include <cstdint>
#include <string>
#include <vector>

#include "media/MediaFacts.h"

struct CMediaInfoRow {
    std::wstring label;
    std::wstring value;

    bool operator==(const CMediaInfoRow&) const = default;
};

// "General:" with size, length and resolution; then, each after an empty row, the "Video:" block
// when there is video and the "Audio:" block when there is audio.
std::vector<CMediaInfoRow> MediaInfoRows(const CMediaFacts& facts);

// The largest unit whose whole part is not 0, one decimal, no space: "3.0GB", "1.5MB", "1.5KB";
// under 1 KB the plain byte count ("500").
std::wstring FileSizeText(std::uint64_t bytes);
// "mm:ss", with "h:" in front from one hour on: "02:05", "1:02:05". Negative counts as 0.
std::wstring LengthText(std::int64_t milliseconds);
