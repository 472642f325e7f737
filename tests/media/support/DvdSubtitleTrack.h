#pragma once
// Matroska files holding a single DVD bitmap subtitle, for tests that need a bitmap subtitle
// track: the ffmpeg command can only turn text into text tracks, so the bitmap is built here,
// encoded with the DVD subtitle encoder and muxed with libavformat. The resulting file is mixed
// with other tracks by the ffmpeg command (`-c:s copy`).
//
// Called from any test thread or process; files are cached and written like MakeMedia's.
#include <cstdint>
#include <string>
#include <vector>

// A filled rectangle of the bitmap, relative to the bitmap's top-left corner.
struct CDvdBox {
    int x = 0, y = 0, w = 0, h = 0;
    std::uint32_t colour = 0; // 0xRRGGBB, drawn opaque
};

// One subtitle: a bitmap of w x h pixels placed at (x, y) of the video, transparent except for
// its boxes (later boxes over earlier ones; at most three, the most a DVD subtitle shows).
struct CDvdBitmapCue {
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<CDvdBox> boxes;
    std::int64_t startMs = 0;
    std::int64_t durationMs = 0;
};

// Writes the cue as the only track of a Matroska file of that name below the fixture folder
// (unless it exists) and returns its full path; fails the calling test and returns "" when a
// library call fails. The name must say everything that differs between cues.
std::string MakeDvdSubtitleTrack(const std::string& name, const CDvdBitmapCue& cue, int videoWidth,
                                 int videoHeight);
