#pragma once
// Plays one media file at a time: builds a media graph around the player's own source filter,
// connects its video and audio pins to the renderers, owns the window the video is shown in, and
// reports every change as an event on its own subject: the new state name after each operation
// ("Loaded", "LoadFailed", "Playing", "Paused", "Stopped", "Aborted", "Completed", "UserAbort",
// "ErrorAbort"; arg1 the value, arg2 the engine), "PositionChanged" (seconds, duration) every
// 250 ms while playing, "VolumeChanged" (volume, 0) and "MuteChanged" (flag, 0).
//
// Threads: the user-interface thread alone calls every operation, receives the graph's posted
// notifications and the position timer. The graph's own threads never call the engine.
//
// Ownership: the engine owns the graph (released by ReleaseGraph, at the next Load and on
// destruction) and, through it, the source filter and the renderers. The engine window is a child
// of the window given to Create, but never owned by it: the engine is a member of its owner, so
// when that parent is destroyed first the engine leaves it (hidden, without a parent) instead of
// being deleted with it. The video renderer's widget is a child of the engine window while a clip
// with video is loaded.
#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "core/EventBus.h"
#include "core/TimerIds.h"
#include "core/TimerService.h"
#include "engine/EngineEvents.h"
#include "engine/Playback.h"
#include "platform/graph/FilterGraph.h"

class CClipInfo;
class CVeltoSource;
struct CCoverArt;
struct CMediaFacts;

class CEngineDS : public QWidget, public ISubject, public ITimerClient, public IPlayback {
    Q_OBJECT
public:
    static constexpr int kGraphEventMessage = 0x800A;
    static constexpr int kPositionTimerPeriodMs = 250;

    CEngineDS();
    // Releases the graph and stops the position timer.
    ~CEngineDS() override;

    // Makes this widget a child of parent: empty rectangle, black, mouse input left to the
    // parent. 0 when there is no parent to live in.
    virtual int Create(QWidget* parent);
    // The window the video renderer's widget lives in.
    virtual QWidget* GetWindowHandle() { return this; }
    virtual std::wstring GetEngineName() const { return L"DirectShow Engine"; }

    // IPlayback. A failed Load releases the whole graph. Play, Pause and Stop answer S_FALSE
    // without doing anything while the engine already is in the state they would reach, and
    // E_UNEXPECTED when nothing is loaded; a failing graph call's status is returned unreported.
    int Load(CClipInfo* item) override;
    HRESULT Play() override;
    HRESULT Pause() override;
    HRESULT ForcePlay() override;
    HRESULT Stop() override;
    // Seeks to the whole second and raises "PositionChanged" even when the seek fails.
    void SetPosition(double seconds) override;
    double GetPosition() override;
    void SetMute(int flag) override;
    int GetMute() override { return m_mute; }
    // Stores the value as given; the renderer hears it clamped to 0..100.
    void SetVolume(int volume) override;
    int GetVolume() override { return m_volume; }

    // Fractional seconds; 0 without a graph.
    virtual double GetDuration();
    // Stops, rewinds, raises "PositionChanged" (0, duration) and "Aborted" (percent).
    void Abort();
    // Absolute seek to whole seconds; the graph's status, 0 when the seek threw.
    HRESULT SetDamnPosition(int seconds);
    // Stops the graph and seeks it to 0; the graph's stop status (a failed rewind is logged).
    HRESULT StopAndRewind();
    int GetProgressPercent();
    void SeekBackward();
    void SeekForward();
    void VolumeDown();
    void VolumeUp();
    // 1 from a successful Load until the clip is stopped, aborted, completed or released (a
    // failed Load releases it). While it is set the control center's play and navigation act on
    // the loaded clip; otherwise they load a row.
    int IsLoaded() const { return m_loaded; }
    // Whether the clip of the graph in hand has delivered a picture or a sound; false without
    // one. Still answers after the completion, until the next Load or release.
    bool DeliveredAnySample() const;
    int IsPlayingOrPaused() const;
    const std::wstring& StateName() const { return m_stateName; }

    // Stops and releases the graph and every interface of it, in a fixed order.
    void ReleaseGraph();
    void ResetGraph() { ReleaseGraph(); }

    // Audio and subtitle tracks of the loaded file (stream indexes); false without a source.
    bool GetAudioStreams(std::vector<int>& streams, int& current);
    bool GetSubtitleStreams(std::vector<int>& streams, int& current);
    // The loaded file's facts, for the media information dialog; false without a source
    // (nothing loaded, or the last load failed). Takes the media lock for the read and no other
    // lock, so it may wait for a packet the source is reading or decoding.
    bool GetMediaFacts(CMediaFacts& facts) const;
    // The loaded file's cover picture (media/CoverArt.h), read as the facts are; false without a
    // source or without a picture.
    bool GetCoverArt(CCoverArt& art) const;
    // The subtitle files that belong to the loaded file: those found beside it (looked for again
    // at each call), then those loaded by hand; current is the path of the one shown, empty when
    // none. False, with nothing changed, without a source.
    bool GetSubtitleFiles(std::vector<std::wstring>& files, std::wstring& current);
    // Switch the track where playback is, through a seek to the current position (a short
    // pause in a playing clip). False for a negative index, without a source, when that seek
    // fails (nothing changes), or when the stream's decoder does not open; the kind is then
    // left without a stream (a clip whose audio track failed plays on silently).
    bool SelectAudioStream(int index);
    bool SelectSubtitleStream(int index);
    void DisableInternalSubtitle();
    void UnloadExternalSubtitle();
    // False without a source or when the file does not exist. Otherwise the source's subtitle
    // renderer loads the file on a thread of its own and true is returned at once: the subtitle
    // shows once it is converted and parsed; a file that turns out not to load is logged and
    // leaves the video without subtitles until the next file.
    bool LoadExternalSubtitle(const std::wstring& path);
    // Test access to the source filter (null without a source).
    CVeltoSource* GetSource() const { return m_source.get(); }

    // Engine converts 0..100 to the renderer's hundredths of a decibel: 0 is silence (-10000),
    // otherwise 3000 * log10(level / 100) truncated toward zero.
    static long VolumeToHundredthsOfDb(int level);

    // Test access to the graph (null while nothing is loaded).
    std::shared_ptr<IGraphBuilder> Graph() const { return m_graph; }
    // Frames of the clip presented and dropped (null while nothing is loaded).
    std::shared_ptr<IQualProp> FrameCounts() const { return QueryInterface<IQualProp>(m_graph); }

    void OnTimer(int timerId) override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void HandleGraphEvents();
    // Follows the current parent's destruction (see Ownership); called on every parent change.
    void WatchParent();
    // Loaded := 0, then "Completed" (100).
    void ReportCompleted();
    // State name := name, then the event of that name (value, this engine).
    void ReportState(const wchar_t* name, EventArg value);
    int LoadFailed(CClipInfo* item);
    HRESULT FillClipInfo(CClipInfo* item);
    bool SwitchStream(int kind, int index);
    HRESULT AddRenderer(std::shared_ptr<IBaseFilter> renderer, const wchar_t* name,
                        CSourceStream* pin);
    void ApplyVolume(int level);
    void HideVideoWindow();
    void ReleaseGraphEvents();

    int m_loaded = 0;
    int m_volume = 100;
    int m_mute = 0;
    std::wstring m_stateName = EngineEvents::Stopped;
    QMetaObject::Connection m_parentWatch;
    std::shared_ptr<IGraphBuilder> m_graph;
    std::shared_ptr<IMediaSeeking> m_seeking;
    std::shared_ptr<IMediaControl> m_control;
    std::shared_ptr<IMediaEventEx> m_events;
    std::shared_ptr<IVideoWindow> m_videoWindow;
    std::shared_ptr<IBasicVideo> m_basicVideo;
    std::shared_ptr<IBasicAudio> m_basicAudio;
    std::shared_ptr<IVideoFrameStep> m_frameStep;
    // Also held by the graph; kept here so that a source that failed to load is freed too.
    std::shared_ptr<CVeltoSource> m_source;
};
