#include "platform/graph/BaseRenderer.h"

#include "platform/PlatformLog.h"

CBaseRenderer::CBaseRenderer(const CKind& kind) : m_kind(kind) {}

bool CBaseRenderer::CheckMediaType(const CMediaType& type) const {
    return type.majorType == m_kind.majorType && type.subType == m_kind.subType &&
           type.formatType == m_kind.formatType && CheckFormat(type);
}

IInputPin* CBaseRenderer::InputPin(int index) const {
    return index == 0 ? const_cast<CBaseRenderer*>(this) : nullptr;
}

HRESULT CBaseRenderer::Pause() {
    const EFilterState previous = m_state;
    OnPausing(previous);
    std::lock_guard lock(m_lock);
    m_state = EFilterState::Paused;
    OnStateChanged(previous);
    m_changed.notify_all();
    return S_OK;
}

HRESULT CBaseRenderer::Run(REFERENCE_TIME start) {
    if (m_state == EFilterState::Stopped) {
        Pause();
    }
    bool complete = false;
    {
        std::lock_guard lock(m_lock);
        const EFilterState previous = m_state;
        m_start = start;
        m_state = EFilterState::Running;
        OnStateChanged(previous);
        // An end of stream that came while paused is rendered once the graph runs.
        complete = TakeCompletion();
        m_changed.notify_all();
    }
    OnRunning(start);
    if (complete) {
        NotifyComplete();
    }
    return S_OK;
}

HRESULT CBaseRenderer::Stop() {
    {
        std::lock_guard lock(m_lock);
        const EFilterState previous = m_state;
        m_state = EFilterState::Stopped;
        OnStateChanged(previous);
        m_changed.notify_all();
    }
    OnStopped();
    std::lock_guard lock(m_lock);
    m_endOfStream = false;
    m_completed = false;
    DiscardStream();
    return S_OK;
}

bool CBaseRenderer::WaitForPreroll(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(m_lock);
    const auto prerolled = [this] { return !m_connected || m_endOfStream || HoldsData(); };
    m_changed.wait_until(lock, deadline,
                         [&] { return prerolled() || m_state == EFilterState::Stopped; });
    return prerolled();
}

HRESULT CBaseRenderer::QueryAccept(const CMediaType& type) {
    return CheckMediaType(type) ? S_OK : S_FALSE;
}

HRESULT CBaseRenderer::ReceiveConnection(CSourceStream*, const CMediaType& type) {
    if (m_state != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    if (!CheckMediaType(type)) {
        return E_FAIL;
    }
    std::lock_guard lock(m_lock);
    if (m_connected) {
        return E_UNEXPECTED;
    }
    SetMediaType(type);
    m_connected = true;
    return S_OK;
}

HRESULT CBaseRenderer::Disconnect() {
    if (m_state != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    OnDisconnecting();
    std::lock_guard lock(m_lock);
    const bool was = m_connected;
    m_connected = false;
    m_changed.notify_all();
    return was ? S_OK : S_FALSE;
}

HRESULT CBaseRenderer::Receive(CMediaSample& sample) {
    std::unique_lock lock(m_lock);
    if (m_state == EFilterState::Stopped || !m_connected) {
        return E_UNEXPECTED;
    }
    if (m_flushing) {
        return S_OK;
    }
    if (m_endOfStream) {
        return VFW_E_SAMPLE_REJECTED_EOS;
    }
    if (const CMediaType* changed = sample.GetMediaType()) {
        if (!IsConnectedFormat(*changed)) {
            PlatformLog(PLATFORM_LOG_ERROR, std::string(m_kind.name) + "::Receive",
                        std::string("a sample changes the ") + m_kind.media + " format; refused");
            return E_INVALIDARG;
        }
    }
    return RenderSample(sample, lock);
}

HRESULT CBaseRenderer::EndOfStream() {
    bool complete = false;
    {
        std::lock_guard lock(m_lock);
        if (m_state == EFilterState::Stopped || m_flushing) {
            return S_OK;
        }
        m_endOfStream = true;
        complete = TakeCompletion();
        m_changed.notify_all();
    }
    OnEndOfStream();
    if (complete) {
        NotifyComplete();
    }
    return S_OK;
}

HRESULT CBaseRenderer::BeginFlush() {
    std::lock_guard lock(m_lock);
    m_flushing = true;
    m_endOfStream = false;
    DiscardStream();
    m_changed.notify_all();
    return S_OK;
}

HRESULT CBaseRenderer::EndFlush() {
    std::lock_guard lock(m_lock);
    m_flushing = false;
    m_endOfStream = false;
    m_completed = false;
    m_changed.notify_all();
    return S_OK;
}

bool CBaseRenderer::TakeCompletion() {
    if (m_state != EFilterState::Running || !m_endOfStream || m_completed || !EndRendered()) {
        return false;
    }
    m_completed = true;
    return true;
}

void CBaseRenderer::NotifyComplete() {
    if (IMediaEventSink* sink = m_sink) {
        sink->Notify(EC_COMPLETE, 0, 0);
    }
}
