#pragma once
// The playback facade the rest of the player talks to: it embeds the engine, keeps the current
// engine state, turns the engine's reports into media events on its own subject ("MediaLoaded",
// "MediaPlaying", "MediaPaused", "MediaStopped", "MediaAborted", "MediaCompleted",
// "MediaLoadFailed", "MediaPositionChanged", "MediaLoading", and "VolumeChanged" / "MuteChanged"
// under their own names) and offers the user-level commands, announcing the user's seeks as
// "MediaSeeked".
//
// Threads: user-interface thread only; engine events arrive nested in the engine operation or the
// notification that caused them, and so do the media events raised from them.
//
// Ownership: the engine is embedded. Its window becomes a child of the window given to Initialise;
// Shutdown releases the graph and takes the window back from that parent. The parent and the
// controller may go in either order, with or without Shutdown: a parent destroyed first leaves
// the engine in place (see CEngineDS).
#include <string>

#include "core/EventBus.h"
#include "core/EventRelay.h"
#include "core/TimerService.h"
#include "engine/EngineDS.h"

class CClipInfo;
class IEngineState;
class QWidget;

class CPlaybackController : public ISubject,
                            public CObserver<CPlaybackController>,
                            public ITimerClient {
public:
    CPlaybackController() = default;
    ~CPlaybackController() override;

    // Creates the engine window under parent and subscribes to the engine; 0 when the window
    // cannot be made (nothing is subscribed then).
    virtual int Initialise(QWidget* parent);
    // Releases the graph; returns 1.
    virtual int Shutdown();
    virtual int GetMute() { return m_engine.GetMute(); }
    virtual int GetVolume() { return m_engine.GetVolume(); }

    // 1 when the engine loaded the item (the state is then Loaded), else 0.
    int Load(CClipInfo* item);
    void PlayPause();
    void Stop();
    void Abort();
    void GetStateName(std::wstring& name) const;
    int IsLoaded() const { return m_engine.IsLoaded(); }
    // Whether the clip loaded last has shown a picture or played a sound (see CEngineDS).
    bool DeliveredAnySample() const { return m_engine.DeliveredAnySample(); }
    void SetVolume(int volume) { m_engine.SetVolume(volume); }
    void SetMute(int flag) { m_engine.SetMute(flag); }
    // The user's seeks: each raises "MediaSeeked" (position, duration in whole seconds) after
    // the engine moved, while a clip is loaded.
    void SetPosition(double seconds);
    double GetPosition() { return m_engine.GetPosition(); }
    double GetDuration() { return m_engine.GetDuration(); }
    void SeekBackward();
    void SeekForward();
    void VolumeDown() { m_engine.VolumeDown(); }
    void VolumeUp() { m_engine.VolumeUp(); }
    CEngineDS& GetEngine() { return m_engine; }
    // Null before Initialise.
    IEngineState* CurrentState() const { return m_state; }

    // The aspect-ratio rule by name that a new video screen starts with; Initialise makes it the
    // fit-to-source rule. The screen that applies rules reads it.
    const std::wstring& AspectRatioName() const { return m_aspectRatio; }

    // Broadcasts "TICK" with the position on the playback-tick subject.
    void OnTimer(int timerId) override;

private:
    // The engine's state events move the controller to the matching state; a completion and a
    // failed load leave it stopped.
    void OnPlaying(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnPaused(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnStopped(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnAborted(ISubject* sender, EventArg arg1, EventArg arg2);
    void ReportSeeked();

    CEngineDS m_engine;
    // The engine's reports raised again as media events; declared after the engine, so it
    // leaves the engine's subscriptions before the engine goes.
    CEventRelay m_mediaEvents;
    IEngineState* m_state = nullptr; // not owned: the state singletons
    QWidget* m_parent = nullptr;     // not owned
    std::wstring m_aspectRatio;
};
