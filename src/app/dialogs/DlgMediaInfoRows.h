#pragma once
// What the media information dialog lists: the facts read from the loaded file's probe, the
// label/value rows made from them, and the size and length texts. Everything but ReadMediaFacts
// is pure.
//
// Threads: ReadMediaFacts on the user-interface thread while a file is loaded (it holds the
// probe's lock, which the demux worker and the decoders take too); the rest on any thread.
#include <cstdint>
#include <string>
#include <vector>

class CPlaybackInfo;

struct CMediaFacts {
    std::wstring path;
    std::uint64_t fileSize = 0; // bytes; 0 when the file system could not tell
    std::int64_t lengthMs = 0;  // 0 when the container does not know its duration
    int width = 0;              // of the video; 0 without video
    int height = 0;
    bool hasVideo = false;
    std::wstring videoCodec; // decoder name
    double videoBitRate = 0; // bits per second, as the codec context states it
    double frameRate = 0;    // the video stream's own; 0 when unknown
    bool hasAudio = false;
    std::wstring audioCodec; // decoder name
    int channels = 0;
    double audioBitRate = 0; // bits per second
    int sampleRate = 0;
    int sampleBits = 0;        // of the format the audio is converted to for playing
    std::wstring sampleFormat; // the decoder's output format, e.g. "fltp"
};

struct CMediaInfoRow {
    std::wstring label;
    std::wstring value;

    bool operator==(const CMediaInfoRow&) const = default;
};

// The facts of the file the probe has open, all read under its lock.
CMediaFacts ReadMediaFacts(CPlaybackInfo& info);

// "General:" with size, length and resolution; then, each after an empty row, the "Video:" block
// when there is video and the "Audio:" block when there is audio.
std::vector<CMediaInfoRow> MediaInfoRows(const CMediaFacts& facts);

// The largest unit whose whole part is not 0, one decimal, no space: "3.0GB", "1.5MB", "1.5KB";
// under 1 KB the plain byte count ("500").
std::wstring FileSizeText(std::uint64_t bytes);
// "mm:ss", with "h:" in front from one hour on: "02:05", "1:02:05". Negative counts as 0.
std::wstring LengthText(std::int64_t milliseconds);
