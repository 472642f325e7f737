#pragma once

// Small helpers shared by the windows and the playlist.

#include <string>
#include <vector>

class CMiscFunc {
public:
    // Whether the key is held down now, as the window system sees it. User-interface thread only;
    // false while no QGuiApplication exists (tests, tools without a window).
    static bool IsCtrlDown();
    static bool IsShiftDown();
    static bool IsAltDown();

    // The pieces of the text between delimiters, in order. Empty pieces are dropped, so that runs
    // of delimiters count as one: "avi  mkv" split at ' ' gives "avi" and "mkv", and "" gives
    // nothing.
    static std::vector<std::string> SplitString(const std::string& text, char delimiter);
    static std::vector<std::wstring> SplitString(const std::wstring& text, wchar_t delimiter);
};
