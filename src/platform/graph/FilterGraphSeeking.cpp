// The graph's seeking: the source's seeking pins answer duration and stop, the graph itself the
// current position, from the last seek and the stream time since.
#include <algorithm>

#include "platform/graph/FilterGraphImpl.h"
#include "platform/graph/SourceStream.h"

std::vector<CSourceSeeking*> CFilterGraph::SeekingPins() const {
    std::vector<CSourceSeeking*> pins;
    for (const CEntry& entry : m_entries) {
        for (int i = 0; i < entry.filter->OutputPinCount(); ++i) {
            CSourceStream* pin = entry.filter->OutputPin(i);
            auto* seeking = dynamic_cast<CSourceSeeking*>(pin);
            if (seeking != nullptr && pin->IsConnected()) {
                pins.push_back(seeking);
            }
        }
    }
    return pins;
}

HRESULT CFilterGraph::GetCapabilities(std::uint32_t* capabilities) {
    if (capabilities == nullptr) {
        return E_POINTER;
    }
    *capabilities = 0;
    const auto pins = SeekingPins();
    if (pins.empty()) {
        return E_FAIL;
    }
    std::uint32_t offered = 0;
    pins.front()->GetCapabilities(&offered);
    // The graph tracks the presented position itself, whatever the pin knows.
    *capabilities = (offered | SEEKING_CAN_GET_CURRENT_POS) & SEEKING_ALL_CAPABILITIES;
    return *capabilities == SEEKING_ALL_CAPABILITIES ? S_OK : S_FALSE;
}

HRESULT CFilterGraph::IsFormatSupported(ETimeFormat format) {
    return format == ETimeFormat::MediaTime ? S_OK : S_FALSE;
}

HRESULT CFilterGraph::SetTimeFormat(ETimeFormat format) {
    return format == ETimeFormat::MediaTime ? S_OK : E_INVALIDARG;
}

HRESULT CFilterGraph::GetTimeFormat(ETimeFormat* format) {
    if (format == nullptr) {
        return E_POINTER;
    }
    *format = ETimeFormat::MediaTime;
    return S_OK;
}

HRESULT CFilterGraph::GetDuration(REFERENCE_TIME* duration) {
    if (duration == nullptr) {
        return E_POINTER;
    }
    const auto pins = SeekingPins();
    return pins.empty() ? E_NOTIMPL : pins.front()->GetDuration(duration);
}

HRESULT CFilterGraph::GetStopPosition(REFERENCE_TIME* stop) {
    if (stop == nullptr) {
        return E_POINTER;
    }
    const auto pins = SeekingPins();
    return pins.empty() ? E_NOTIMPL : pins.front()->GetStopPosition(stop);
}

HRESULT CFilterGraph::GetCurrentPosition(REFERENCE_TIME* current) {
    if (current == nullptr) {
        return E_POINTER;
    }
    REFERENCE_TIME position = m_seekBase + std::max<REFERENCE_TIME>(StreamTime(), 0);
    REFERENCE_TIME duration = 0;
    if (SUCCEEDED(GetDuration(&duration)) && duration > 0) {
        position = std::min(position, duration);
    }
    *current = position;
    return S_OK;
}

HRESULT CFilterGraph::SetPositions(REFERENCE_TIME* current, std::uint32_t currentFlags,
                                   REFERENCE_TIME* stop, std::uint32_t stopFlags) {
    const auto [startBits, stopBits, check] =
        ReadPositioning(current, currentFlags, stop, stopFlags);
    if (FAILED(check)) {
        return check;
    }
    const auto pins = SeekingPins();
    if (pins.empty()) {
        return E_NOTIMPL;
    }
    if (startBits == SEEKING_NO_POSITIONING) {
        return pins.front()->SetPositions(nullptr, SEEKING_NO_POSITIONING, stop, stopFlags);
    }
    REFERENCE_TIME target = *current;
    if (startBits == SEEKING_RELATIVE_POSITIONING) {
        REFERENCE_TIME now = 0;
        GetCurrentPosition(&now);
        target += now;
    }
    // The source would read from before the file's start.
    if (target < 0) {
        return E_INVALIDARG;
    }

    const bool wasRunning = m_state == EFilterState::Running;
    if (wasRunning) {
        // The renderers' clocks stand still while the source flushes and refills them.
        m_frozen = StreamTime();
        const HRESULT hr = PauseFilters(true);
        if (FAILED(hr)) {
            return hr;
        }
        m_state = EFilterState::Paused;
    }
    // Only the source's primary pin seeks; the others answer E_NOTIMPL.
    HRESULT result = E_NOTIMPL;
    for (CSourceSeeking* pin : pins) {
        REFERENCE_TIME position = target;
        result = pin->SetPositions(&position, SEEKING_ABSOLUTE_POSITIONING, stop, stopFlags);
        if (result != E_NOTIMPL) {
            break;
        }
    }
    if (SUCCEEDED(result)) {
        m_seekBase = target;
        m_frozen = 0;
        ResetCompletion();
    }
    if (wasRunning) {
        WaitForPreroll();
        const HRESULT hr = RunFilters(NextStart());
        if (FAILED(hr)) {
            return hr;
        }
    }
    return result;
}
