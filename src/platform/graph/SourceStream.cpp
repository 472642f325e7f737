#include "platform/graph/SourceStream.h"

#include <algorithm>
#include <cctype>

#include "platform/graph/Source.h"

CSourceStream::CSourceStream(std::string name, CSource* filter)
    : m_filter(filter), m_name(std::move(name)) {}

HRESULT CSourceStream::Connect(IInputPin* to, const CMediaType* proposed) {
    if (to == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(m_filter->StateLock());
    if (m_connected != nullptr || m_filter->GetState() != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    if (proposed != nullptr) {
        return AttemptConnection(to, *proposed);
    }
    CMediaType type;
    for (int i = 0; GetMediaType(i, &type) == S_OK; ++i) {
        if (SUCCEEDED(AttemptConnection(to, type))) {
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CSourceStream::AttemptConnection(IInputPin* to, const CMediaType& type) {
    if (CheckMediaType(type) != S_OK) {
        return E_FAIL;
    }
    HRESULT hr = to->ReceiveConnection(this, type);
    if (FAILED(hr)) {
        return hr;
    }
    m_connected = to;
    m_mt = type;
    CAllocatorProperties request;
    hr = DecideBufferSize(&m_allocator, &request);
    if (FAILED(hr)) {
        to->Disconnect();
        m_connected = nullptr;
        m_mt = CMediaType();
        return hr;
    }
    return S_OK;
}

HRESULT CSourceStream::Disconnect() {
    std::lock_guard lock(m_filter->StateLock());
    if (m_filter->GetState() != EFilterState::Stopped) {
        return E_UNEXPECTED;
    }
    if (m_connected == nullptr) {
        return S_FALSE;
    }
    m_connected->Disconnect();
    m_connected = nullptr;
    m_mt = CMediaType();
    return S_OK;
}

HRESULT CSourceStream::GetMediaType(int, CMediaType*) {
    return S_FALSE;
}

HRESULT CSourceStream::Active() {
    if (m_connected == nullptr) {
        return E_UNEXPECTED;
    }
    if (ThreadExists()) {
        return S_FALSE;
    }
    HRESULT hr = m_allocator.Commit();
    if (FAILED(hr)) {
        return hr;
    }
    if (!Create(ThreadName())) {
        m_allocator.Decommit();
        return E_FAIL;
    }
    hr = CallWorker(CMD_INIT);
    if (FAILED(hr)) {
        Close();
        m_allocator.Decommit();
        return hr;
    }
    return CallWorker(CMD_PAUSE);
}

std::string CSourceStream::ThreadName() const {
    std::string name = "qor-pin-" + m_name;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

HRESULT CSourceStream::Inactive() {
    m_allocator.Decommit();
    if (!ThreadExists()) {
        return S_OK;
    }
    CallWorker(CMD_STOP);
    CallWorker(CMD_EXIT);
    Close();
    return S_OK;
}

HRESULT CSourceStream::DoWork() {
    for (;;) {
        if (StopRequestedWhileWorking()) {
            return S_OK; // answered by the command loop
        }
        CSamplePtr sample;
        if (FAILED(GetDeliveryBuffer(&sample))) {
            // Only a decommit takes the buffer away, and Inactive posts its stop right after.
            GetRequest();
            continue;
        }
        if (DeliveryStopRequested()) {
            return S_OK;
        }
        HRESULT hr = FillBuffer(*sample);
        // A fill cut short by a stop request is not a result worth delivering.
        if (DeliveryStopRequested()) {
            return S_OK;
        }
        if (hr == S_OK) {
            hr = Deliver(*sample);
            sample.reset();
            if (hr == VFW_E_SAMPLE_REJECTED_EOS || hr == E_UNEXPECTED) {
                OnDeliveryNote(EDeliveryNote::DeliveryStopped, hr);
                return S_OK;
            }
            continue;
        }
        sample.reset();
        if (hr == S_FALSE) {
            DeliverEndOfStream();
            return S_OK;
        }
        OnDeliveryNote(EDeliveryNote::FillFailed, hr);
        DeliverEndOfStream();
        m_filter->NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
}

HRESULT CSourceStream::GetDeliveryBuffer(CSamplePtr* sample) {
    return m_allocator.GetBuffer(sample);
}

HRESULT CSourceStream::Deliver(CMediaSample& sample) {
    return m_connected ? m_connected->Receive(sample) : E_UNEXPECTED;
}

HRESULT CSourceStream::DeliverEndOfStream() {
    return m_connected ? m_connected->EndOfStream() : E_UNEXPECTED;
}

HRESULT CSourceStream::DeliverBeginFlush() {
    return m_connected ? m_connected->BeginFlush() : E_UNEXPECTED;
}

HRESULT CSourceStream::DeliverEndFlush() {
    return m_connected ? m_connected->EndFlush() : E_UNEXPECTED;
}

HRESULT CSourceStream::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return m_connected ? m_connected->NewSegment(start, stop, rate) : E_UNEXPECTED;
}
