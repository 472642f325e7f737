#include "platform/graph/FilterGraph.h"

#include <algorithm>
#include <chrono>

#include "platform/graph/FilterGraphImpl.h"
#include "platform/graph/InputPin.h"
#include "platform/graph/SourceStream.h"

namespace {
// Stream time 0 lies this far after the run call, so that the samples already waiting in the
// paused renderers are not late when the run reaches them.
constexpr REFERENCE_TIME kStartLatency = 10 * UNITS / 1000;
// Longest wait for the paused renderers' first data before a run starts the clock anyway: a
// source that never delivers must not hold the user interface.
constexpr auto kPrerollTimeout = std::chrono::milliseconds(1000);
} // namespace

std::shared_ptr<IGraphBuilder> CreateFilterGraph() {
    return std::make_shared<CFilterGraph>();
}

CFilterGraph::~CFilterGraph() {
    Stop();
    for (CEntry& entry : m_entries) {
        for (int i = 0; i < entry.filter->OutputPinCount(); ++i) {
            if (CSourceStream* pin = entry.filter->OutputPin(i)) {
                pin->Disconnect();
            }
        }
        entry.filter->SetEventSink(nullptr);
        entry.filter->SetSyncSource(nullptr);
    }
    while (!m_entries.empty()) {
        m_entries.pop_back();
    }
}

HRESULT CFilterGraph::AddFilter(std::shared_ptr<IBaseFilter> filter, const std::wstring& name) {
    if (!filter) {
        return E_POINTER;
    }
    if (m_state != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    const bool known = std::any_of(m_entries.begin(), m_entries.end(),
                                   [&](const CEntry& entry) { return entry.filter == filter; });
    if (known) {
        return E_INVALIDARG;
    }
    auto sink = std::make_unique<CFilterSink>(*this, filter->IsRenderer());
    if (sink->IsRenderer()) {
        std::lock_guard lock(m_completionLock);
        ++m_renderersLeft;
    }
    filter->SetName(name);
    filter->SetEventSink(sink.get());
    filter->SetSyncSource(m_clock);
    m_entries.push_back({std::move(filter), std::move(sink)});
    return S_OK;
}

HRESULT CFilterGraph::Connect(CSourceStream* out, IInputPin* in) {
    if (out == nullptr || in == nullptr) {
        return E_POINTER;
    }
    bool outKnown = false, inKnown = false;
    for (const CEntry& entry : m_entries) {
        for (int i = 0; i < entry.filter->OutputPinCount(); ++i) {
            outKnown = outKnown || entry.filter->OutputPin(i) == out;
        }
        for (int i = 0; i < entry.filter->InputPinCount(); ++i) {
            inKnown = inKnown || entry.filter->InputPin(i) == in;
        }
    }
    // A pin of a filter the graph does not hold could be released while still connected.
    if (!outKnown || !inKnown) {
        return E_INVALIDARG;
    }
    return out->Connect(in);
}

HRESULT CFilterGraph::EnumFilters(std::vector<std::shared_ptr<IBaseFilter>>* filters) {
    if (filters == nullptr) {
        return E_POINTER;
    }
    filters->clear();
    for (const CEntry& entry : m_entries) {
        filters->push_back(entry.filter);
    }
    return S_OK;
}

HRESULT CFilterGraph::SetDefaultSyncSource() {
    if (m_state != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    ChooseClock();
    return S_OK;
}

void CFilterGraph::ChooseClock() {
    m_clock = &m_systemClock;
    for (const CEntry& entry : m_entries) {
        if (entry.filter->IsRenderer() && entry.filter->Clock() != nullptr) {
            m_clock = entry.filter->Clock();
            break;
        }
    }
    for (const CEntry& entry : m_entries) {
        entry.filter->SetSyncSource(m_clock);
    }
}

std::vector<IBaseFilter*> CFilterGraph::DownstreamFirst() const {
    std::vector<IBaseFilter*> order;
    for (const CEntry& entry : m_entries) {
        if (entry.filter->IsRenderer()) {
            order.push_back(entry.filter.get());
        }
    }
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (!it->filter->IsRenderer()) {
            order.push_back(it->filter.get());
        }
    }
    return order;
}

REFERENCE_TIME CFilterGraph::StreamTime() {
    if (m_state == EFilterState::Running && m_clock != nullptr) {
        return m_clock->GetTime() - m_start;
    }
    return m_frozen;
}

REFERENCE_TIME CFilterGraph::NextStart() {
    return m_clock->GetTime() + kStartLatency - m_frozen;
}

HRESULT CFilterGraph::RunFilters(REFERENCE_TIME start) {
    for (IBaseFilter* filter : DownstreamFirst()) {
        const HRESULT hr = filter->Run(start);
        if (FAILED(hr)) {
            Stop();
            return hr;
        }
    }
    m_start = start;
    m_state = EFilterState::Running;
    return S_OK;
}

void CFilterGraph::WaitForPreroll() const {
    const auto deadline = std::chrono::steady_clock::now() + kPrerollTimeout;
    for (const CEntry& entry : m_entries) {
        entry.filter->WaitForPreroll(deadline);
    }
}

HRESULT CFilterGraph::PauseFilters(bool renderersOnly) {
    for (IBaseFilter* filter : DownstreamFirst()) {
        if (renderersOnly && !filter->IsRenderer()) {
            continue;
        }
        const HRESULT hr = filter->Pause();
        if (FAILED(hr)) {
            Stop();
            return hr;
        }
    }
    return S_OK;
}

HRESULT CFilterGraph::Run() {
    if (m_state == EFilterState::Running) {
        return S_OK;
    }
    if (m_state == EFilterState::Stopped) {
        ChooseClock();
        ResetCompletion();
        const HRESULT hr = PauseFilters(false);
        if (FAILED(hr)) {
            return hr;
        }
        m_state = EFilterState::Paused;
        WaitForPreroll();
    }
    return RunFilters(NextStart());
}

HRESULT CFilterGraph::Pause() {
    if (m_state == EFilterState::Paused) {
        return S_OK;
    }
    if (m_state == EFilterState::Stopped) {
        ChooseClock();
        ResetCompletion();
    }
    const bool wasRunning = m_state == EFilterState::Running;
    m_frozen = StreamTime();
    const HRESULT hr = PauseFilters(false);
    if (FAILED(hr)) {
        return hr;
    }
    m_state = EFilterState::Paused;
    if (wasRunning) {
        for (IBaseFilter* filter : DownstreamFirst()) {
            filter->Rest();
        }
    }
    m_events.Post({EC_PAUSED, S_OK, 0});
    return S_OK;
}

HRESULT CFilterGraph::Stop() {
    m_frozen = StreamTime();
    HRESULT result = S_OK;
    // Renderers first: a paused renderer holds its pin's delivery thread in Receive, and only
    // its own stop lets that thread go, so the source's stop can end its threads.
    for (IBaseFilter* filter : DownstreamFirst()) {
        const HRESULT hr = filter->Stop();
        if (FAILED(hr)) {
            result = hr;
        }
    }
    m_state = EFilterState::Stopped;
    return result;
}

HRESULT CFilterGraph::GetState(long, EFilterState* state) {
    if (state == nullptr) {
        return E_POINTER;
    }
    *state = m_state;
    return S_OK;
}

HRESULT CFilterGraph::SetNotifyWindow(QObject* target, int message, std::intptr_t param) {
    return m_events.SetNotifyWindow(target, message, param);
}

HRESULT CFilterGraph::GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                               int timeoutMs) {
    if (code == nullptr || param1 == nullptr || param2 == nullptr) {
        return E_POINTER;
    }
    CGraphEvent event;
    if (!m_events.Take(&event, timeoutMs)) {
        return E_ABORT;
    }
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

void CFilterGraph::CFilterSink::Notify(long code, std::intptr_t param1, std::intptr_t param2) {
    m_graph.OnFilterEvent(*this, code, param1, param2);
}

void CFilterGraph::OnFilterEvent(CFilterSink& sink, long code, std::intptr_t param1,
                                 std::intptr_t param2) {
    if (code != EC_COMPLETE) {
        m_events.Post({code, param1, param2});
        return;
    }
    if (!sink.IsRenderer()) {
        return;
    }
    {
        std::lock_guard lock(m_completionLock);
        if (sink.completed) {
            return;
        }
        sink.completed = true;
        if (--m_renderersLeft > 0 || m_completePosted) {
            return;
        }
        m_completePosted = true;
    }
    m_events.Post({EC_COMPLETE, S_OK, 0});
}

void CFilterGraph::ResetCompletion() {
    std::lock_guard lock(m_completionLock);
    m_renderersLeft = 0;
    for (CEntry& entry : m_entries) {
        entry.sink->completed = false;
        m_renderersLeft += entry.sink->IsRenderer() ? 1 : 0;
    }
    m_completePosted = false;
}
