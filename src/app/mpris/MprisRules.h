#pragma once
// What the player is in the terms of the desktop's media-player protocol (MPRIS), as pure rules:
// loop modes as LoopStatus and Shuffle and back, times in microseconds, the playback status, the
// Can* flags, the volume's scale, where a relative seek lands, and which URIs OpenUri takes.
// CMprisService applies them; nothing here talks to the bus.
//
// Threads: any; plain values.
#include <cstdint>
#include <optional>
#include <string>

#include <QString>

#include "skin/controls/SkinCheck.h"

// The loop mode as MPRIS sees it: LoopStatus is "None", "Track" or "Playlist".
struct CMprisLoop {
    const char* loopStatus;
    bool shuffle;
};

// SINGLEFILEONCE and PLAYLISTONCE are "None" (playback stops), SINGLEFILELOOP is "Track",
// PLAYLISTLOOP is "Playlist"; PLAYLISTSHUFFLE is "Playlist" with Shuffle on, since it never ends.
// Shuffle is on for PLAYLISTSHUFFLE alone.
CMprisLoop MprisLoopOf(const std::wstring& modeName);
// The mode after a client writes LoopStatus. A mode that already shows that status stays (so
// "None" keeps SINGLEFILEONCE and "Playlist" keeps shuffling); otherwise "None" selects
// PLAYLISTONCE, "Track" SINGLEFILELOOP and "Playlist" PLAYLISTLOOP. Nothing for any other text.
std::optional<std::wstring> LoopModeForLoopStatus(const std::wstring& current,
                                                  const QString& status);
// The mode after a client writes Shuffle: on selects PLAYLISTSHUFFLE; off turns shuffling into
// PLAYLISTLOOP (the same "Playlist" status) and keeps any other mode.
std::wstring LoopModeForShuffle(const std::wstring& current, bool shuffle);

const char* MprisPlaybackStatus(EPlayState state);

// Seconds to microseconds; anything not a finite non-negative number is 0.
std::int64_t MprisMicroseconds(double seconds);

// What the player offers a client right now, from: the playlist's rows, whether the loop mode
// allows Next and Previous from the active row, whether a clip is loaded (playing, paused or
// ready), and whether its position can be set.
struct CMprisAbilityInputs {
    int rows;
    bool hasNext;
    bool hasPrevious;
    bool loaded;
    bool seekable;
};
struct CMprisAbilities {
    bool canGoNext;
    bool canGoPrevious;
    bool canPlay;
    bool canPause;
    bool canSeek;
    bool canControl;
    bool operator==(const CMprisAbilities&) const = default;
};
CMprisAbilities MprisAbilities(const CMprisAbilityInputs& inputs);

// The player's volume 0..100 as MPRIS's 0.0..1.0, and a client's value back, clamped (a value
// that is not a number: nothing).
double MprisVolume(int volume);
std::optional<int> VolumeFromMpris(double volume);

// Where Seek (offset microseconds from position) lands, for a clip of length microseconds: never
// before the start; past the end the client asks for the next clip.
struct CMprisSeek {
    bool next = false;
    std::int64_t target = 0; // microseconds, when not next
};
CMprisSeek MprisSeekTarget(std::int64_t position, std::int64_t offset, std::int64_t length);

// The file:// URL of a path (the file system's bytes), each byte outside the URL's plain
// characters percent-encoded, so that MprisLocalPath gives the same bytes back.
QString MprisFileUrl(const std::string& pathBytes);

// The local file OpenUri may open: a file:// URI of this host (empty or "localhost"; its path's
// percent-encoded bytes are the name) or an absolute path, made absolute as every path the player
// is given. Nothing for any other scheme, another host, or a name holding a NUL byte.
std::optional<std::wstring> MprisLocalPath(const QString& uri);
