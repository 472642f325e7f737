#pragma once
// Drives the real engine and controller from a test: one QApplication for the program, events
// recorded from a subject, waiting with the Qt event loop running, and the media the tests play
// (made by the ffmpeg command on first use).
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "core/EventBus.h"
#include "engine/ClipInfo.h"
#include "engine/PlaybackController.h"

// The process's QApplication (offscreen platform), made on the first call.
void EnsureApplication();

// Runs the event loop until `done` is true or `limit` has passed; returns done().
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
// Runs the event loop for `period`.
void PumpFor(std::chrono::milliseconds period);

struct CRecordedEvent {
    std::wstring name;
    EventArg arg1;
    EventArg arg2;
};

// Records every event of the subscribed names in the order received.
class CEventLog : public IObserver {
public:
    ~CEventLog() override;
    void Watch(ISubject& subject, const std::vector<std::wstring>& names);
    void Notify(ISubject* sender, std::wstring eventName, int handlerId, EventArg arg1,
                EventArg arg2) override;

    std::vector<std::wstring> Names() const;
    int Count(const std::wstring& name) const;
    // Index of the first event of that name at or after `from`, -1 when none.
    int Find(const std::wstring& name, std::size_t from = 0) const;
    void Clear() { events.clear(); }

    std::vector<CRecordedEvent> events;
    // Called after each event is recorded, inside the raise.
    std::function<void(const CRecordedEvent&)> onEvent;

private:
    std::vector<ISubject*> m_subjects;
};

// The engine's names and the controller's names, for Watch.
const std::vector<std::wstring>& EngineEventNames();
const std::vector<std::wstring>& MediaEventNames();

// Constructed first, so that the application exists before any widget.
struct CApplicationUser {
    CApplicationUser() { EnsureApplication(); }
};

// A parent window with an initialised controller in it; the parent outlives the controller.
struct CPlayerHost : CApplicationUser {
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
std::string ClipWithVideoAndAudio();  // 3 s, 320x240 H.264 + AAC
std::string ClipAudioOnly();          // 2 s AAC
std::string ClipTagged();             // 2 s with title, artist, copyright tags
std::string ClipBroken();             // bytes that are no media file
std::string ClipFlashAndBeep();       // 32 s: a white frame and a beep at the start of each second
std::string Clip1080pKeyEachSecond(); // 40 s 1080p H.264, key frame every second, + AAC
