#pragma once
// Playlist files (".mpl"): the media paths of a playlist, one per line and nothing else.
// Written as UTF-16LE: the mark FF FE, then each path followed by CR LF; a playlist without rows
// is an empty file. A file-name byte that is not UTF-8 is written as its escape, one lone
// surrogate unit (see WideText.h), and read back as it, so such a name survives the file. Read as
// UTF-16LE when the file starts with FF FE, else as 8-bit text in the "ANSI" code page (UTF-8 where
// valid, else the detected legacy encoding); lines end at LF, one CR before it is removed, a last
// line without LF counts, and every line, empty ones too, is one entry.
//
// Threads: any, one call at a time per file.
#include <functional>
#include <string>
#include <vector>

// Extension of playlist files, without the dot.
inline constexpr wchar_t kPlaylistExtension[] = L"mpl";

// Writes into a new file beside the target and renames it over the target only once every byte is
// on disk, so a crash, a full disk or a read-only folder never loses the playlist that was there.
// False, target untouched, when the file cannot be written.
bool WritePlaylistFile(const std::wstring& path, const std::vector<std::wstring>& paths);

// Calls onLine for each line in order. False when the file cannot be opened.
bool ReadPlaylistFile(const std::wstring& path,
                      const std::function<void(const std::wstring& line)>& onLine);
