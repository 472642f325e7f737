#pragma once
// The object behind CreateFilterGraph. Private to the graph's own files: callers use the
// interfaces of FilterGraph.h.
//
// Threads: the engine thread makes every call, except that the filters' event sinks are called
// from the filters' own threads; those touch only m_events and the completion count.
#include <memory>
#include <mutex>
#include <vector>

#include "platform/graph/FilterGraph.h"
#include "platform/graph/GraphEventQueue.h"

class CFilterGraph final : public IGraphBuilder,
                           public IMediaControl,
                           public IMediaSeeking,
                           public IMediaEventEx,
                           public IBasicAudio,
                           public IBasicVideo,
                           public IQualProp,
                           public IVideoWindow,
                           public IVideoFrameStep {
public:
    CFilterGraph() = default;
    // Stops every filter, disconnects their pins and takes the clock and sinks back before the
    // filters are released, last added first.
    ~CFilterGraph() override;

    CFilterGraph(const CFilterGraph&) = delete;
    CFilterGraph& operator=(const CFilterGraph&) = delete;

    // IGraphBuilder
    HRESULT AddFilter(std::shared_ptr<IBaseFilter> filter, const std::wstring& name) override;
    HRESULT Connect(CSourceStream* out, IInputPin* in) override;
    HRESULT EnumFilters(std::vector<std::shared_ptr<IBaseFilter>>* filters) override;
    HRESULT SetDefaultSyncSource() override;

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(long timeoutMs, EFilterState* state) override;

    // IMediaSeeking (FilterGraphSeeking.cpp)
    HRESULT GetCapabilities(std::uint32_t* capabilities) override;
    HRESULT IsFormatSupported(ETimeFormat format) override;
    HRESULT SetTimeFormat(ETimeFormat format) override;
    HRESULT GetTimeFormat(ETimeFormat* format) override;
    HRESULT GetDuration(REFERENCE_TIME* duration) override;
    HRESULT GetStopPosition(REFERENCE_TIME* stop) override;
    HRESULT GetCurrentPosition(REFERENCE_TIME* current) override;
    HRESULT SetPositions(REFERENCE_TIME* current, std::uint32_t currentFlags, REFERENCE_TIME* stop,
                         std::uint32_t stopFlags) override;

    // IMediaEventEx
    HRESULT SetNotifyWindow(QObject* target, int message, std::intptr_t param) override;
    HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                     int timeoutMs) override;
    HRESULT FreeEventParams(long, std::intptr_t, std::intptr_t) override { return S_OK; }

    // IBasicAudio, IBasicVideo, IQualProp, IVideoWindow: forwarded (FilterGraphRenderers.cpp)
    HRESULT put_Volume(long volume) override;
    HRESULT get_Volume(long* volume) override;
    HRESULT GetVideoSize(long* width, long* height) override;
    HRESULT get_FramesDrawn(int* frames) override;
    HRESULT get_FramesDroppedInRenderer(int* frames) override;
    HRESULT put_Owner(QWidget* owner) override;
    HRESULT put_WindowStyle(long style) override;
    HRESULT SetWindowPosition(long left, long top, long width, long height) override;
    HRESULT put_Visible(bool visible) override;

    // IVideoFrameStep
    HRESULT Step(std::uint32_t) override { return E_NOTIMPL; }

private:
    // Each filter gets its own sink, so that the graph knows which renderer has finished.
    class CFilterSink final : public IMediaEventSink {
    public:
        CFilterSink(CFilterGraph& graph, bool renderer) : m_graph(graph), m_renderer(renderer) {}
        void Notify(long code, std::intptr_t param1, std::intptr_t param2) override;

        bool IsRenderer() const { return m_renderer; }
        bool completed = false; // guarded by the graph's m_completionLock

    private:
        CFilterGraph& m_graph;
        const bool m_renderer;
    };

    struct CEntry {
        std::shared_ptr<IBaseFilter> filter;
        std::unique_ptr<CFilterSink> sink;
    };

    void OnFilterEvent(CFilterSink& sink, long code, std::intptr_t param1, std::intptr_t param2);
    // Every renderer must signal its end of stream again before the graph completes.
    void ResetCompletion();

    // Renderers first (in the order added), then the other filters, last added first: the
    // order in which every state change reaches the filters.
    std::vector<IBaseFilter*> DownstreamFirst() const;
    // Renderers only, or everything, run with stream time 0 at `start`; false stops the graph.
    HRESULT RunFilters(REFERENCE_TIME start);
    HRESULT PauseFilters(bool renderersOnly);
    // Until every paused renderer has its first data or has stopped, or kPrerollTimeout has
    // passed; woken by the renderers, without polling.
    void WaitForPreroll() const;
    // Chooses the clock and hands it to every filter.
    void ChooseClock();
    // Stream time 0 for a run that continues from the frozen stream time.
    REFERENCE_TIME NextStart();
    REFERENCE_TIME StreamTime();

    // Output pins that offer seeking, connected, in filter and pin order.
    std::vector<CSourceSeeking*> SeekingPins() const;
    template <class T> std::shared_ptr<T> FindFilter() const;

    std::vector<CEntry> m_entries; // engine thread; changed only while stopped
    CSystemClock m_systemClock;
    IReferenceClock* m_clock = nullptr;           // engine thread; a renderer's, or &m_systemClock
    EFilterState m_state = EFilterState::Stopped; // engine thread
    REFERENCE_TIME m_start = 0;    // engine thread: clock time of stream time 0 while running
    REFERENCE_TIME m_frozen = 0;   // engine thread: stream time while paused or stopped
    REFERENCE_TIME m_seekBase = 0; // engine thread: position of the last seek
    CGraphEventQueue m_events;

    std::mutex m_completionLock;
    int m_renderersLeft = 0;       // guarded by m_completionLock
    bool m_completePosted = false; // guarded by m_completionLock
};
