#include "media/SeekableStream.h"

#include "core/Log.h"
#include "media/VeltoSource.h"

CSeekableStream::CSeekableStream(std::string name, CVeltoSource* source)
    : CSourceStream(std::move(name), source), m_source(source) {}

void CSeekableStream::RequestStop(bool on) {
    {
        std::lock_guard lock(m_stopLock);
        m_stopRequested = on;
    }
    for (CPacketQueue2* queue : Queues()) {
        if (on) {
            queue->Abort();
        } else {
            queue->Resume();
        }
    }
}

void CSeekableStream::StopDelivery() {
    RequestStop(true);
    DeliverBeginFlush();
    CallWorker(CMD_STOP);
}

void CSeekableStream::StartDelivery() {
    RequestStop(false);
    // The flush ends before the thread runs again, or the renderer, still flushing, would drop
    // the first sample and its discontinuity.
    DeliverEndFlush();
    CallWorker(CMD_RUN);
}

bool CSeekableStream::DeliveryStopRequested() {
    std::lock_guard lock(m_stopLock);
    return m_stopRequested;
}

void CSeekableStream::SetStartPosition(REFERENCE_TIME t) {
    std::lock_guard lock(m_seekingLock);
    m_start = t;
}

HRESULT CSeekableStream::SetRate(double rate) {
    if (!(rate > 0.0)) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(m_seekingLock);
    m_rate = rate;
    return S_OK;
}

HRESULT CSeekableStream::OnThreadStartPlay() {
    m_discontinuity = true;
    return S_OK;
}

bool CSeekableStream::TakeDiscontinuity() {
    const bool was = m_discontinuity;
    m_discontinuity = false;
    return was;
}

void CSeekableStream::OnDeliveryNote(EDeliveryNote note, std::int64_t value) {
    const char* function = "CSeekableStream::DoBufferProcessingLoop";
    const auto code = static_cast<unsigned>(static_cast<HRESULT>(value));
    switch (note) {
    case EDeliveryNote::DeliveryStopped:
        Log({function, LOG_LEVEL_INFO}, "%s - Deliver() returned %08x; stopping.", Name().c_str(),
            code);
        break;
    case EDeliveryNote::FillFailed:
        Log({function, LOG_LEVEL_ERROR}, "%s: Error!! No:%08x", Name().c_str(), code);
        break;
    }
}

void CSeekableStream::OnWorkerNote(EWorkerNote note, int) {
    if (note == EWorkerNote::UnexpectedCommand) {
        Log({"CSeekableStream::DoBufferProcessingLoop", LOG_LEVEL_ERROR},
            "%s: Unexpected command!!", Name().c_str());
    }
}

HRESULT CSeekableStream::ChangeStart() {
    REFERENCE_TIME start;
    {
        std::lock_guard lock(m_seekingLock);
        start = m_start;
    }
    return m_source->Seek(start, this);
}

bool CSeekableStream::IsOfferedType(const CMediaType& type) {
    CMediaType offered;
    GetMediaType(0, &offered);
    return type.majorType == offered.majorType && type.subType == offered.subType &&
           type.formatType == offered.formatType;
}

HRESULT CSeekableStream::RequestOneBuffer(CMemAllocator* allocator, CAllocatorProperties* request,
                                          long bytes) {
    if (allocator == nullptr || request == nullptr) {
        return E_POINTER;
    }
    request->buffers = 1;
    request->bufferSize = bytes;
    request->align = 1;
    request->prefix = 0;
    CAllocatorProperties actual;
    const HRESULT hr = allocator->SetProperties(*request, &actual);
    if (FAILED(hr)) {
        return hr;
    }
    if (actual.buffers < request->buffers || actual.bufferSize < request->bufferSize) {
        return E_FAIL;
    }
    ResetSeekingToFile();
    return S_OK;
}

void CSeekableStream::ResetSeekingToFile() {
    CMediaDuration duration;
    const REFERENCE_TIME length = m_source->Media().Duration(duration)
                                      ? static_cast<REFERENCE_TIME>(duration.totalSeconds * UNITS)
                                      : 0;
    std::lock_guard lock(m_seekingLock);
    m_duration = length;
    m_stop = length;
    m_start = 0;
}

void CSeekableStream::AdoptMediaType(const CMediaSample& sample) {
    if (const CMediaType* type = sample.GetMediaType()) {
        m_mt = *type;
    }
}
