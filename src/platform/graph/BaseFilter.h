#pragma once
// What the filter graph sees of every filter: state changes, the clock and event sink it hands
// out, and the pins to connect. The source filter and both renderers derive from IBaseFilter.
//
// Threads: the engine thread (through the graph) makes every call here except NotifyEvent-like
// calls into the event sink, which come from any thread. The graph owns its filters through
// std::shared_ptr and outlives the clock and sink pointers it hands them (it clears them first).
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/graph/ReferenceClock.h"
#include "platform/graph/Result.h"

class CSourceStream;
class IInputPin;

// Graph events a filter may raise.
inline constexpr long EC_COMPLETE = 1;
inline constexpr long EC_USERABORT = 2;
inline constexpr long EC_ERRORABORT = 3;
inline constexpr long EC_PAUSED = 14;

class IMediaEventSink {
public:
    // Any thread; must not call back into the filter. A renderer's EC_COMPLETE means its own
    // end of stream has been rendered; the graph turns those into one EC_COMPLETE of its own.
    virtual void Notify(long code, std::intptr_t param1, std::intptr_t param2) = 0;

protected:
    ~IMediaEventSink() = default;
};

enum class EFilterState { Stopped, Paused, Running };

class IBaseFilter {
public:
    virtual ~IBaseFilter() = default;

    // The name the graph gave the filter when it was added (empty before).
    const std::wstring& Name() const { return m_name; }
    void SetName(std::wstring name) { m_name = std::move(name); }

    // From stopped, a filter becomes ready to deliver or accept samples; a paused renderer
    // holds the first sample it gets.
    virtual HRESULT Pause() = 0;
    // Stream time 0 is `start` on the reference clock. Pauses first when stopped.
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    // Every wait inside the filter ends; a renderer then refuses samples at once.
    virtual HRESULT Stop() = 0;
    // Any thread.
    virtual EFilterState GetState() const = 0;
    // After Pause, on the controlling thread, when the pause may last (the graph's own pause from
    // running, not the brief one around a seek): a renderer may let its device go until it runs.
    virtual void Rest() {}

    // Set by the graph; either may be null (no clock: present at once; no sink: events dropped).
    virtual void SetSyncSource(IReferenceClock* clock) = 0;
    virtual void SetEventSink(IMediaEventSink* sink) = 0;

    // Pins in a fixed order; null beyond the count. Owned by the filter.
    virtual int OutputPinCount() const { return 0; }
    virtual CSourceStream* OutputPin(int) const { return nullptr; }
    virtual int InputPinCount() const { return 0; }
    virtual IInputPin* InputPin(int) const { return nullptr; }

    // A renderer's end of stream counts for the graph's completion.
    virtual bool IsRenderer() const { return false; }
    // The clock this filter offers the graph (the sound renderer's), owned by the filter.
    virtual IReferenceClock* Clock() { return nullptr; }
    // Any thread. A renderer waits until it holds something to show or play since its last stop or
    // flush, or has its end of stream, and answers true then; it answers false when it stops or
    // `deadline` passes first. The graph waits for this before it runs, so that neither a start
    // nor a seek starts the clock before the first frame has been decoded. Other filters answer
    // true at once.
    virtual bool WaitForPreroll(std::chrono::steady_clock::time_point) const { return true; }

private:
    std::wstring m_name; // engine thread only
};

// Content tags of the loaded file, offered by filters that read them (the source filter).
// Engine thread. E_FAIL when the file has no such tag, E_POINTER for a null out.
class IAMMediaContent {
public:
    virtual ~IAMMediaContent() = default;
    virtual HRESULT get_Title(std::wstring* title) = 0;
    virtual HRESULT get_AuthorName(std::wstring* author) = 0;
    virtual HRESULT get_Copyright(std::wstring* copyright) = 0;
};

// Asks an object for one of its interfaces: null when it does not offer it. The result shares
// ownership with `from`; releasing an interface is resetting its pointer.
template <class T, class U> std::shared_ptr<T> QueryInterface(const std::shared_ptr<U>& from) {
    return std::dynamic_pointer_cast<T>(from);
}
