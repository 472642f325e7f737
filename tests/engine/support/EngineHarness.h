#pragma once
// Drives the real engine and controller from a test (the application, waiting and event records
// come from QtTestSupport.h), and the media the tests play (made by the ffmpeg command on first
// use).
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "QtTestSupport.h"
#include "core/EventBus.h"
#include "engine/ClipInfo.h"
#include "engine/PlaybackController.h"

// The engine's names and the controller's names, for Watch.
const std::vector<std::wstring>& EngineEventNames();
const std::vector<std::wstring>& MediaEventNames();

// A parent window with an initialised controller in it; the parent outlives the controller.
struct CPlayerHost : CTestApplicationUser {
    CPlayerHost();
    ~CPlayerHost();
    // Loads path into item and resizes the engine window to fill the parent.
    int Load(const std::string& path);
    std::wstring StateName() const;

    QWidget parent;
    CPlaybackController controller;
    CClipInfo item;
};

// Media the tests play.
std::string ClipWithVideoAndAudio(); // 3 s, 320x240 H.264 + AAC
std::string ClipAudioOnly();         // 2 s AAC
std::string ClipTagged();            // 2 s with title, artist, copyright tags
std::string ClipBroken();            // bytes that are no media file
// A white frame and a beep at the start of each second, `seconds` long.
std::string ClipFlashAndBeep(int seconds = 32);
std::string Clip1080pKeyEachSecond(); // 40 s 1080p H.264, key frame every second, + AAC
