#pragma once
// The picture a file carries as its cover (the attached picture of MP3, FLAC, M4A, Ogg and
// Matroska files), as encoded bytes for those who show it elsewhere: the first such picture in
// a format a viewer can open (JPEG, PNG), no larger than kLargestCoverBytes.
//
// Threads: ReadCoverArt on the user-interface thread while the file is open; it holds the probe's
// lock for the copy, like ReadMediaFacts. The bytes are a copy and may go to any thread.
#include <cstddef>
#include <optional>
#include <string>

class CPlaybackInfo;

struct CCoverArt {
    std::string bytes;
    const char* extension = ""; // "jpg" or "png"
};

// A picture beyond this is left out rather than copied for a desktop widget.
inline constexpr std::size_t kLargestCoverBytes = 16u << 20;

std::optional<CCoverArt> ReadCoverArt(CPlaybackInfo& info);
