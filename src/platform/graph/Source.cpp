#include "platform/graph/Source.h"

#include "platform/graph/SourceStream.h"

CSource::~CSource() {
    std::lock_guard lock(m_stateLock);
    // Normally stopped already by the derived filter, whose members the pins may use.
    CSource::Stop();
    while (!m_pins.empty()) {
        m_pins.pop_back();
    }
}

int CSource::GetPinCount() const {
    std::lock_guard lock(m_stateLock);
    return static_cast<int>(m_pins.size());
}

CSourceStream* CSource::GetPin(int index) const {
    std::lock_guard lock(m_stateLock);
    if (index < 0 || index >= static_cast<int>(m_pins.size())) {
        return nullptr;
    }
    return m_pins[static_cast<std::size_t>(index)].get();
}

void CSource::AddPin(std::unique_ptr<CSourceStream> pin) {
    std::lock_guard lock(m_stateLock);
    m_pins.push_back(std::move(pin));
}

HRESULT CSource::Pause() {
    std::lock_guard lock(m_stateLock);
    if (m_state == EFilterState::Stopped) {
        for (auto& pin : m_pins) {
            if (!pin->IsConnected()) {
                continue;
            }
            HRESULT hr = pin->Active();
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    m_state = EFilterState::Paused;
    return S_OK;
}

HRESULT CSource::Run(REFERENCE_TIME start) {
    std::lock_guard lock(m_stateLock);
    if (m_state == EFilterState::Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) {
            return hr;
        }
    }
    // The pins' threads already deliver since the pause; a command now would wait for a thread
    // that a paused renderer may be holding in Receive.
    m_start = start;
    m_state = EFilterState::Running;
    return S_OK;
}

HRESULT CSource::Stop() {
    std::lock_guard lock(m_stateLock);
    HRESULT result = S_OK;
    for (auto& pin : m_pins) {
        HRESULT hr = pin->Inactive();
        if (FAILED(hr)) {
            result = hr;
        }
    }
    m_state = EFilterState::Stopped;
    return result;
}

void CSource::NotifyEvent(long code, std::intptr_t param1, std::intptr_t param2) {
    if (IMediaEventSink* sink = m_sink.load()) {
        sink->Notify(code, param1, param2);
    }
}
