#pragma once
// File-type filters of the file dialogs, and the extension lists behind them.
//
// A filter is kept in its stored form: (label, pattern) pairs, each part ended by '|', a pattern
// being every extension as "*.ext;" ("Playlists|*.mpl;|"). ToFileDialogFilter turns it into
// QFileDialog's form, "Label (*.a *.b)" with ";;" between filters, matching the same files.
//
// Pure functions, any thread.
#include <QString>
#include <string>

// Space-separated extension lists; "*" stands for every file.
inline constexpr char kPlaylistExtensions[] = "mpl";
inline constexpr char kSubtitleExtensions[] = "ass srt";
inline constexpr char kVideoExtensions[] =
    "asf avi au wmv wmp wm rm rmvb ram rv dat dv m1v m2v mpe mpg mpeg mpv2 tp ts tpr mp4 mpeg4 m4v "
    "3gp 3g2 mov qt flv flac flic swf mkv mts nut nsv vob h261 h263 h264";
inline constexpr char kAudioExtensions[] = "wma wav mp2 mp3 mpa ra aac ac3 m1a m2a mka ogg";
inline constexpr char kAllExtensions[] = "*";

// "label|*.a;*.b;|" for the list "a b"; "*" gives the pattern "*.*;".
std::wstring BuildFilter(const std::wstring& label, const std::string& extensions);

// All media, all video, all audio.
std::wstring MediaFilter();
// Media, then every file.
std::wstring MediaAllFilter();
// Media, playlists, then every file.
std::wstring MediaPlaylistsAllFilter();
std::wstring PlaylistsFilter();
// Subtitles, then every file.
std::wstring SubtitlesAllFilter();

// Each pair becomes "Label (patterns)": the ';'-separated patterns joined by spaces, and "*.*",
// which matches every name on Windows but only names with a dot in QFileDialog, becomes "*".
// A label without patterns is dropped.
QString ToFileDialogFilter(const std::wstring& filter);
