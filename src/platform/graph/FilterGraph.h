#pragma once
// The filter graph and the interfaces the engine drives it through. One object implements all
// of them; ask for each with QueryInterface on the pointer CreateFilterGraph returns.
//
// Threads: every call here comes from the engine (user-interface) thread, except the event
// queue's, which is safe from any thread. Filters raise events from their own threads; they
// reach the engine only as CGraphNotifyEvent posted to the notify window.
#include <QEvent>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graph/BaseFilter.h"
#include "platform/graph/SourceSeeking.h"

class QObject;
class QWidget;

inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);

// Window styles the engine gives the video window; the renderer's child widget is always a
// clipped child, so they are kept for the caller only.
inline constexpr long WS_CHILD = 0x40000000;
inline constexpr long WS_CLIPSIBLINGS = 0x04000000;
inline constexpr long WS_CLIPCHILDREN = 0x02000000;

// Every seeking capability a graph can offer; fewer of them is a partial answer (S_FALSE).
inline constexpr std::uint32_t SEEKING_ALL_CAPABILITIES =
    SEEKING_CAN_SEEK_ABSOLUTE | SEEKING_CAN_SEEK_FORWARDS | SEEKING_CAN_SEEK_BACKWARDS |
    SEEKING_CAN_GET_CURRENT_POS | SEEKING_CAN_GET_STOP_POS | SEEKING_CAN_GET_DURATION;

class IGraphBuilder {
public:
    virtual ~IGraphBuilder() = default;
    // Holds the filter (after those added before) under `name` and gives it the graph's clock
    // and its own event sink. E_POINTER for null, E_INVALIDARG when already in the graph,
    // E_UNEXPECTED unless the graph is stopped.
    virtual HRESULT AddFilter(std::shared_ptr<IBaseFilter> filter, const std::wstring& name) = 0;
    // Connects an output pin of a filter in the graph to an input pin; no converters are put
    // between them. E_POINTER for null pins, else the pin's negotiation result.
    virtual HRESULT Connect(CSourceStream* out, IInputPin* in) = 0;
    // The filters in the order added. E_POINTER for a null out.
    virtual HRESULT EnumFilters(std::vector<std::shared_ptr<IBaseFilter>>* filters) = 0;
    // Uses the first renderer's clock when one offers a clock, else a steady system clock;
    // chosen again each time the graph leaves the stopped state, so filters added later count.
    virtual HRESULT SetDefaultSyncSource() = 0;
};

class IMediaControl {
public:
    virtual ~IMediaControl() = default;
    // Renderers change state before the other filters, so that a sample is never delivered
    // into a renderer that is not yet ready; stream time continues across pause and run.
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    // State changes complete before the calls return, so the time-out never passes.
    virtual HRESULT GetState(long timeoutMs, EFilterState* state) = 0;
};

// Positions in 100-ns units (the only time format).
class IMediaSeeking {
public:
    virtual ~IMediaSeeking() = default;
    // S_OK with all of SEEKING_ALL_CAPABILITIES, S_FALSE with some of them, E_FAIL with none.
    virtual HRESULT GetCapabilities(std::uint32_t* capabilities) = 0;
    virtual HRESULT IsFormatSupported(ETimeFormat format) = 0;
    virtual HRESULT SetTimeFormat(ETimeFormat format) = 0;
    virtual HRESULT GetTimeFormat(ETimeFormat* format) = 0;
    virtual HRESULT GetDuration(REFERENCE_TIME* duration) = 0;
    virtual HRESULT GetStopPosition(REFERENCE_TIME* stop) = 0;
    // The last seek's position plus the stream time presented since; frozen while paused or
    // stopped, never negative nor beyond a known duration.
    virtual HRESULT GetCurrentPosition(REFERENCE_TIME* current) = 0;
    // Seeks the source's primary pin (relative current positions are made absolute first);
    // stream time restarts at 0. A running graph pauses its renderers for the seek and runs
    // every filter again afterwards. E_INVALIDARG for a negative position.
    virtual HRESULT SetPositions(REFERENCE_TIME* current, std::uint32_t currentFlags,
                                 REFERENCE_TIME* stop, std::uint32_t stopFlags) = 0;
};

// Posted to the notify window for each event queued; the receiver drains the queue with
// GetEvent. Its type is QEvent::User + (message - 0x8000).
class CGraphNotifyEvent : public QEvent {
public:
    static constexpr int kFirstMessage = 0x8000;

    CGraphNotifyEvent(int message, std::intptr_t param)
        : QEvent(TypeOf(message)), m_message(message), m_param(param) {}

    static QEvent::Type TypeOf(int message) {
        return static_cast<QEvent::Type>(QEvent::User + (message - kFirstMessage));
    }
    // Messages whose type lies in Qt's user range.
    static bool IsValidMessage(int message) {
        return message >= kFirstMessage &&
               message - kFirstMessage <= QEvent::MaxUser - QEvent::User;
    }

    int Message() const { return m_message; }
    std::intptr_t Param() const { return m_param; }

private:
    int m_message;
    std::intptr_t m_param;
};

class IMediaEventEx {
public:
    virtual ~IMediaEventEx() = default;
    // Null target: no posting. E_INVALIDARG for a message outside the user range. After the call
    // returns nothing more is posted to the previous target.
    virtual HRESULT SetNotifyWindow(QObject* target, int message, std::intptr_t param) = 0;
    // Takes the oldest event, waiting up to timeoutMs (0: no wait, negative: until one comes).
    // E_ABORT when none came, E_POINTER for null outs.
    virtual HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                             int timeoutMs) = 0;
    // Event parameters own nothing here; kept for the caller's symmetry.
    virtual HRESULT FreeEventParams(long code, std::intptr_t param1, std::intptr_t param2) = 0;
};

// Volume in hundredths of a decibel, -10000 (silent) to 0 (full). The graph forwards to the
// sound renderer, which implements this interface too; E_NOTIMPL without one.
class IBasicAudio {
public:
    virtual ~IBasicAudio() = default;
    // E_INVALIDARG outside -10000..0.
    virtual HRESULT put_Volume(long volume) = 0;
    virtual HRESULT get_Volume(long* volume) = 0;
};

// The connected video size; forwarded to the video renderer (which implements it too).
class IBasicVideo {
public:
    virtual ~IBasicVideo() = default;
    // E_NOTIMPL without a video renderer, E_UNEXPECTED when it is not connected.
    virtual HRESULT GetVideoSize(long* width, long* height) = 0;
};

// How the video renderer kept up with the clip it plays (since it last left the stopped state);
// forwarded to the video renderer (which implements it too). Any thread. E_POINTER for a null out,
// E_NOTIMPL without a video renderer.
class IQualProp {
public:
    virtual ~IQualProp() = default;
    // Frames shown.
    virtual HRESULT get_FramesDrawn(int* frames) = 0;
    // Frames not shown because they came after their time had passed.
    virtual HRESULT get_FramesDroppedInRenderer(int* frames) = 0;
};

// The video renderer's child widget; forwarded to the video renderer (which implements it
// too). Engine thread only. E_NOTIMPL without a video renderer.
class IVideoWindow {
public:
    virtual ~IVideoWindow() = default;
    // Null: the widget has no parent and is hidden.
    virtual HRESULT put_Owner(QWidget* owner) = 0;
    virtual HRESULT put_WindowStyle(long style) = 0;
    // In the owner's coordinates.
    virtual HRESULT SetWindowPosition(long left, long top, long width, long height) = 0;
    virtual HRESULT put_Visible(bool visible) = 0;
};

// Offered so that the engine can hold it; stepping is not supported.
class IVideoFrameStep {
public:
    virtual ~IVideoFrameStep() = default;
    // E_NOTIMPL.
    virtual HRESULT Step(std::uint32_t frames) = 0;
};

// A new, empty graph; never null.
std::shared_ptr<IGraphBuilder> CreateFilterGraph();
