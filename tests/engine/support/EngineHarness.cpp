#include "support/EngineHarness.h"

#include <QApplication>
#include <QThread>
#include <algorithm>
#include <cstdlib>

#include "MediaFixture.h"
#include "core/WideText.h"

const std::vector<std::wstring>& EngineEventNames() {
    static const std::vector<std::wstring> names = {
        L"Loaded",     L"LoadFailed",      L"Playing",       L"Paused",
        L"Stopped",    L"Aborted",         L"Completed",     L"UserAbort",
        L"ErrorAbort", L"PositionChanged", L"VolumeChanged", L"MuteChanged"};
    return names;
}

const std::vector<std::wstring>& MediaEventNames() {
    static const std::vector<std::wstring> names = {
        L"MediaLoading",         L"MediaLoaded",   L"MediaPlaying",   L"MediaPaused",
        L"MediaStopped",         L"MediaAborted",  L"MediaCompleted", L"MediaLoadFailed",
        L"MediaPositionChanged", L"VolumeChanged", L"MuteChanged"};
    return names;
}

namespace {

constexpr int kHostWidth = 640;
constexpr int kHostHeight = 360;

void ShowParent(QWidget& parent) {
    parent.resize(kHostWidth, kHostHeight);
    parent.show();
}

} // namespace

CPlayerHost::CPlayerHost() {
    ShowParent(parent);
    controller.Initialise(&parent);
}

CPlayerHost::~CPlayerHost() {
    controller.Shutdown();
}

int CPlayerHost::Load(const std::string& path) {
    item = CClipInfo();
    item.path = Utf8ToWide(path);
    const int loaded = controller.Load(&item);
    if (loaded != 0 && item.noVideo == 0) {
        controller.GetEngine().setGeometry(parent.rect());
    }
    return loaded;
}

std::wstring CPlayerHost::StateName() const {
    std::wstring name;
    controller.GetStateName(name);
    return name;
}

std::string ClipWithVideoAndAudio() {
    return MakeMedia("engine_av_3s.mp4",
                     {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=3", "-f",
                      "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=3", "-c:v",
                      "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                      "-shortest"});
}

std::string ClipAudioOnly() {
    return MakeMedia(
        "engine_audio_2s.m4a",
        {"-f", "lavfi", "-i", "sine=frequency=330:sample_rate=44100:duration=2", "-c:a", "aac"});
}

std::string ClipTagged() {
    return MakeMedia("engine_tagged_2s.mkv",
                     {"-f",        "lavfi",
                      "-i",        "testsrc2=size=160x120:rate=25:duration=2",
                      "-f",        "lavfi",
                      "-i",        "sine=frequency=550:sample_rate=44100:duration=2",
                      "-metadata", "title=Kiln Song",
                      "-metadata", "artist=Ada Marsh",
                      "-metadata", "copyright=2024 Marsh",
                      "-c:v",      "libx264",
                      "-preset",   "ultrafast",
                      "-pix_fmt",  "yuv420p",
                      "-c:a",      "aac",
                      "-shortest"});
}

std::string ClipBroken() {
    return WriteFixtureFile("engine_broken.mp4", std::string("\x00\x00\x00\x18"
                                                             "ftypmp42 this is not a movie",
                                                             32) +
                                                     std::string(4000, '\x5a'));
}

std::string ClipFlashAndBeep(int seconds) {
    const std::string length = std::to_string(seconds);
    // One white frame (at 25 frames per second) and 40 ms of 1 kHz tone at each whole second.
    return MakeMedia("engine_flash_beep_" + length + "s.mp4",
                     {"-f",
                      "lavfi",
                      "-i",
                      "color=c=black:size=320x240:rate=25:duration=" + length +
                          ",format=yuv420p,"
                          "geq=lum='if(lt(mod(N,25),1),235,16)':cb=128:cr=128",
                      "-f",
                      "lavfi",
                      "-i",
                      "aevalsrc='if(lt(mod(t,1),0.04),0.8*sin(2*PI*1000*t),0)':s=44100:d=" + length,
                      "-c:v",
                      "libx264",
                      "-preset",
                      "ultrafast",
                      "-g",
                      "25",
                      "-pix_fmt",
                      "yuv420p",
                      "-c:a",
                      "aac",
                      "-b:a",
                      "128k",
                      "-shortest"});
}

std::string Clip1080pKeyEachSecond() {
    return MakeMedia(
        "engine_1080p_key1s_40s.mp4",
        {"-f",       "lavfi",   "-i",          "testsrc2=size=1920x1080:rate=30:duration=40",
         "-f",       "lavfi",   "-i",          "sine=frequency=440:sample_rate=48000:duration=40",
         "-c:v",     "libx264", "-preset",     "ultrafast",
         "-g",       "30",      "-keyint_min", "30",
         "-pix_fmt", "yuv420p", "-c:a",        "aac",
         "-shortest"});
}
