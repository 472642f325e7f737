#include "platform/graph/MediaSample.h"

#include <cstdlib>

HRESULT CMediaSample::SetActualDataLength(long length) {
    if (length < 0 || length > m_size) {
        return E_INVALIDARG;
    }
    m_actual = length;
    return S_OK;
}

void CMediaSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
    m_timeValid = start != nullptr;
    m_start = start ? *start : 0;
    m_stop = stop ? *stop : m_start;
}

bool CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) const {
    if (!m_timeValid) {
        return false;
    }
    if (start) {
        *start = m_start;
    }
    if (stop) {
        *stop = m_stop;
    }
    return true;
}

void CMediaSample::SetMediaTime(const std::int64_t* start, const std::int64_t* stop) {
    m_mediaTimeValid = start != nullptr;
    m_mediaStart = start ? *start : 0;
    m_mediaStop = stop ? *stop : m_mediaStart;
}

bool CMediaSample::GetMediaTime(std::int64_t* start, std::int64_t* stop) const {
    if (!m_mediaTimeValid) {
        return false;
    }
    if (start) {
        *start = m_mediaStart;
    }
    if (stop) {
        *stop = m_mediaStop;
    }
    return true;
}

void CMediaSample::SetMediaType(const CMediaType* type) {
    if (type) {
        m_mediaType = *type;
    } else {
        m_mediaType.reset();
    }
}

void CMediaSample::Clear() {
    m_actual = m_size;
    m_timeValid = false;
    m_mediaTimeValid = false;
    m_discontinuity = false;
    m_syncPoint = false;
    m_mediaType.reset();
    m_picture.reset();
}

void CSampleReturn::operator()(CMediaSample* sample) const {
    if (allocator && sample) {
        allocator->Return(sample);
    }
}

void CFreeMemory::operator()(std::uint8_t* memory) const {
    std::free(memory);
}

bool CMemAllocator::SizeMemory() {
    if (m_memory != nullptr && m_memorySize == m_properties.bufferSize) {
        return true;
    }
    // calloc takes fresh pages from the system for a large block and leaves them unwritten, so
    // they cost nothing until the pin writes its first frame.
    m_memory.reset(static_cast<std::uint8_t*>(
        std::calloc(static_cast<std::size_t>(m_properties.bufferSize), 1)));
    m_memorySize = m_memory != nullptr ? m_properties.bufferSize : 0;
    return m_memory != nullptr;
}

HRESULT CMemAllocator::SetProperties(const CAllocatorProperties& request,
                                     CAllocatorProperties* actual) {
    if (actual == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(m_lock);
    if (m_committed) {
        return E_UNEXPECTED;
    }
    if (request.bufferSize <= 0) {
        return E_INVALIDARG;
    }
    m_properties.buffers = 1;
    m_properties.bufferSize = request.bufferSize;
    m_properties.align = request.align > 0 ? request.align : 1;
    m_properties.prefix = 0;
    *actual = m_properties;
    return S_OK;
}

CAllocatorProperties CMemAllocator::GetProperties() const {
    std::lock_guard lock(m_lock);
    return m_properties;
}

HRESULT CMemAllocator::Commit() {
    std::lock_guard lock(m_lock);
    if (m_properties.bufferSize <= 0) {
        return E_UNEXPECTED;
    }
    if (m_committed) {
        return S_OK;
    }
    // A buffer still lent out from before a decommit is resized when it is next handed out.
    if (!m_out && !SizeMemory()) {
        return E_OUTOFMEMORY;
    }
    m_committed = true;
    return S_OK;
}

HRESULT CMemAllocator::Decommit() {
    std::lock_guard lock(m_lock);
    m_committed = false;
    m_returned.notify_all();
    return S_OK;
}

HRESULT CMemAllocator::GetBuffer(CSamplePtr* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    std::unique_lock lock(m_lock);
    m_returned.wait(lock, [this] { return !m_committed || !m_out; });
    if (!m_committed) {
        return E_UNEXPECTED;
    }
    if (!SizeMemory()) {
        return E_OUTOFMEMORY;
    }
    m_out = true;
    m_sample.m_buffer = m_memory.get();
    m_sample.m_size = m_properties.bufferSize;
    m_sample.Clear();
    *out = CSamplePtr(&m_sample, CSampleReturn{this});
    return S_OK;
}

void CMemAllocator::Return(CMediaSample* sample) {
    std::lock_guard lock(m_lock);
    if (sample != &m_sample) {
        return;
    }
    m_out = false;
    m_sample.m_picture.reset(); // the decoder's frame goes back as soon as it is shown
    m_returned.notify_all();
}
