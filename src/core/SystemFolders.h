#pragma once

// Where this system keeps the places the player asks the platform for: the executable, the
// temporary-files folder, the user's standard folders. Called from the user-interface thread
// (and once during start-up); each call reads the environment and the file system afresh.

#include <string>

// Appends "/" unless the text already ends with it or is empty.
std::wstring WithTrailingSlash(std::wstring path);

// A path the user gave (command line, drop, dialog) made absolute, lexically, against the current
// folder: no symbolic link is resolved, so the names the user chose stay in the path. The current
// folder is $PWD when it names the same folder as "." (the path the shell reached it by, links
// included), else the kernel's. In a relative path "." parts and repeated slashes are dropped;
// ".." stays, since the file system resolves it below a link differently than text would. An
// absolute path, and the empty path, come back as they are; so does a relative one when the
// current folder is gone.
std::wstring AbsolutePath(const std::wstring& path);

// $XDG_DATA_HOME, or ~/.local/share/ when it is unset or relative (which the XDG rules say to
// ignore); ends with "/".
std::wstring DataHomeFolder();

// Full path of the running executable; empty if /proc/self/exe cannot be read.
std::wstring ExecutablePath();

// $TMPDIR when it names a folder, else "/tmp/"; ends with "/".
std::wstring TempFolderPath();

// The folder a key of the XDG user-dirs file names (XDG_DESKTOP_DIR, XDG_MUSIC_DIR...), read from
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config/user-dirs.dirs) with $HOME expanded, ending
// with "/". Empty when the file, the key or the folder itself is missing.
std::wstring UserDirFolder(const std::string& key);

// Creates a new empty file named "~" plus random characters in the temporary-files folder and
// returns its path; the file stays so that the name cannot be taken twice. Empty on failure.
std::wstring CreateUniqueTempFile();
