#pragma once
// Media samples and the one-buffer allocator an output pin fills them from.
//
// Threads: the output pin's delivery thread takes the buffer (GetBuffer), fills it and hands it
// to the connected input pin for the length of Receive; the filter's state changes (engine
// thread) commit and decommit the allocator.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/graph/MediaType.h"
#include "platform/graph/Result.h"
#include "platform/graph/VideoPicture.h"

class CMemAllocator;

class CMediaSample {
public:
    std::uint8_t* GetPointer() { return m_buffer; }
    long GetSize() const { return m_size; }

    long GetActualDataLength() const { return m_actual; }
    // E_INVALIDARG for a negative length or one beyond the buffer.
    HRESULT SetActualDataLength(long length);

    // Null start clears both times; null stop sets the stop to the start.
    void SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop);
    // False when the sample carries no times.
    bool GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) const;
    // Null start clears the media times.
    void SetMediaTime(const std::int64_t* start, const std::int64_t* stop);
    bool GetMediaTime(std::int64_t* start, std::int64_t* stop) const;

    void SetDiscontinuity(bool on) { m_discontinuity = on; }
    bool IsDiscontinuity() const { return m_discontinuity; }
    void SetSyncPoint(bool on) { m_syncPoint = on; }
    bool IsSyncPoint() const { return m_syncPoint; }

    // A format change travelling with the sample; null when there is none.
    const CMediaType* GetMediaType() const { return m_mediaType ? &*m_mediaType : nullptr; }
    void SetMediaType(const CMediaType* type);

    // A decoded picture carried in place of the bytes, for an input pin that takes pictures
    // (IInputPin::TakesPictures); null when the bytes hold the frame. Released with the sample.
    const CVideoPicture* GetPicture() const { return m_picture.get(); }
    void SetPicture(std::shared_ptr<const CVideoPicture> picture) {
        m_picture = std::move(picture);
    }

private:
    friend class CMemAllocator;
    void Clear();

    std::uint8_t* m_buffer = nullptr;
    long m_size = 0;
    long m_actual = 0;
    bool m_timeValid = false;
    REFERENCE_TIME m_start = 0, m_stop = 0;
    bool m_mediaTimeValid = false;
    std::int64_t m_mediaStart = 0, m_mediaStop = 0;
    bool m_discontinuity = false;
    bool m_syncPoint = false;
    std::optional<CMediaType> m_mediaType;
    std::shared_ptr<const CVideoPicture> m_picture;
};

// Gives the sample back to its allocator when the holder lets go of it.
struct CSampleReturn {
    CMemAllocator* allocator = nullptr;
    void operator()(CMediaSample* sample) const;
};
using CSamplePtr = std::unique_ptr<CMediaSample, CSampleReturn>;

struct CAllocatorProperties {
    long buffers = 0;
    long bufferSize = 0;
    long align = 0;
    long prefix = 0;
};

struct CFreeMemory {
    void operator()(std::uint8_t* memory) const;
};

// Holds a single buffer. Must outlive every sample it handed out. The buffer is zeroed memory
// that takes no room until written: a pin that lends pictures with its samples never writes the
// frame-sized buffer it still has to ask for.
class CMemAllocator {
public:
    // Grants one buffer of the requested size (alignment at least 1, no prefix) into actual.
    // E_UNEXPECTED while committed, E_INVALIDARG for a non-positive size.
    HRESULT SetProperties(const CAllocatorProperties& request, CAllocatorProperties* actual);
    CAllocatorProperties GetProperties() const;

    // Allocates the buffer; E_UNEXPECTED before SetProperties, E_OUTOFMEMORY.
    HRESULT Commit();
    // Wakes every GetBuffer waiter, which then fails. The memory stays for the next Commit.
    HRESULT Decommit();

    // Blocks until the buffer is free (woken when its sample is returned) or the allocator is
    // decommitted (woken by Decommit: E_UNEXPECTED). The sample comes without times or flags.
    HRESULT GetBuffer(CSamplePtr* out);

private:
    friend struct CSampleReturn;
    void Return(CMediaSample* sample);
    // With m_lock held: a zeroed buffer of the granted size, kept while the size stays; false
    // when out of memory.
    bool SizeMemory();

    mutable std::mutex m_lock;
    std::condition_variable m_returned; // signalled by Return and Decommit
    CAllocatorProperties m_properties;  // guarded by m_lock
    bool m_committed = false;           // guarded by m_lock
    bool m_out = false;                 // guarded by m_lock: the sample is held by a caller
    std::unique_ptr<std::uint8_t, CFreeMemory> m_memory; // guarded by m_lock
    long m_memorySize = 0;                               // guarded by m_lock
    CMediaSample m_sample;                               // lent out while m_out
};
