#pragma once
// What the opened file is, as plain values for those who must not touch the probe: its size and
// length, and the codec, rate and format of its current video and audio streams.
//
// Threads: ReadMediaFacts on the loading/user-interface thread while the file is open; it holds
// the probe's lock for the whole read (the demux worker and the decoders take it too). The facts
// are a copy and may go to any thread.
#include <cstdint>
#include <string>

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

// The facts of the file the probe has open.
CMediaFacts ReadMediaFacts(CPlaybackInfo& info);
