#pragma once
// Every menu of the main window as a small model made from the current state by pure functions:
// the tests check the model, and MenuRender.h only shows it. An item that acts on a stream or a
// file carries it, so what an item does never depends on its id falling inside a range (a 42nd
// playlist file would otherwise have run "Add &Files", a 100th audio stream "F&ull Screen").
//
// Threads: any; plain values.
#include <string>
#include <vector>

#include "playlist/ControlCenter.h"

enum class EMenuTarget {
    Command,          // the fixed command `id`
    PlaylistFile,     // open `path` as the playlist
    AudioStream,      // switch to audio stream `stream`
    InternalSubtitle, // switch to subtitle stream `stream`
    ExternalSubtitle, // load subtitle file `path`
};

struct CMenuItem {
    std::wstring caption; // empty for a separator
    int id = 0;           // 0 for separators and submenus
    bool checked = false;
    bool radio = false; // a checked radio item shows a radio mark, else a check mark
    bool enabled = true;
    std::vector<CMenuItem> submenu;
    EMenuTarget target = EMenuTarget::Command;
    int stream = -1;
    std::wstring path;

    bool IsSeparator() const { return caption.empty(); }
    bool operator==(const CMenuItem&) const = default;
};

// What the menus show; the window reads it afresh each time a menu opens.
struct CMenuState {
    bool fullScreen = false;
    bool stayOnTop = false;
    int aspectId = 0;     // the checked "&Video" aspect item
    int windowSizeId = 0; // the checked "&Video" window-size item
    bool loaded = false;  // the engine has a clip loaded
    std::vector<int> audioStreams;
    int currentAudio = -1;
    std::vector<int> subtitleStreams;
    int currentSubtitle = -1; // -1: internal subtitles off
    std::vector<std::wstring> subtitleFiles;
    std::wstring currentSubtitleFile; // empty: no external subtitle loaded
    std::vector<CPlaylistMenuEntry> playlistFiles;
    std::wstring loopMode;
    int sortKey = 0;
};

std::vector<CMenuItem> MainMenu(const CMenuState& state);
// The "&Playlist" menu of the Open Playlist button, with one entry per playlist file.
std::vector<CMenuItem> PlaylistFilesMenu(const CMenuState& state);
std::vector<CMenuItem> AddFilesMenu();
std::vector<CMenuItem> DeleteFilesMenu();
std::vector<CMenuItem> LoopModeMenu(const CMenuState& state);
std::vector<CMenuItem> SortModeMenu(const CMenuState& state);
// The list's right-click menu: add, delete, loop and sort items, and "Media &Info".
std::vector<CMenuItem> PlaylistContextMenu(const CMenuState& state);

// The loop mode's name for its command id, empty for other ids.
std::wstring LoopModeName(int commandId);
// The aspect-ratio rule's name for its command id; other ids give the fit-to-source rule.
std::wstring AspectRatioName(int commandId);
