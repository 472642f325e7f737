#pragma once
// The common half of the source filter's output pins: delivery that a seek can stop and restart,
// the discontinuity after each (re)start, and seeking values. A new start position on the
// primary pin becomes a seek of the whole filter.
//
// Threads: StopDelivery/StartDelivery and the seeking calls on the engine thread (the filter's
// state lock held for the former); FillBuffer on the pin's delivery thread, holding
// m_seekingLock so that a fill and a change of the seeking values never overlap.
#include <mutex>
#include <vector>

#include "platform/graph/SourceSeeking.h"
#include "platform/graph/SourceStream.h"

class CVeltoSource;
class CPacketQueue2;

class CSeekableStream : public CSourceStream, public CSourceSeeking {
public:
    CSeekableStream(std::string name, CVeltoSource* source);

    // Ends the delivery loop: flag, queues aborted, downstream flush begun, thread stopped.
    virtual void StopDelivery();
    // Restarts it: queues resumed, downstream flush ended, thread run (a new discontinuity).
    virtual void StartDelivery();
    // Only the flag and the queue abort, for a filter stop that deactivates the pin itself.
    void RequestStop(bool on);

    // Stores t as the start position without seeking (the filter's seek tells every pin).
    void SetStartPosition(REFERENCE_TIME t);
    // Stores a positive rate; playback speed does not change.
    HRESULT SetRate(double rate) override;

protected:
    HRESULT OnThreadStartPlay() override;
    bool DeliveryStopRequested() override;
    void OnDeliveryNote(EDeliveryNote note, std::int64_t value) override;
    void OnWorkerNote(EWorkerNote note, int value) override;

    HRESULT ChangeStart() override;
    HRESULT ChangeStop() override { return E_NOTIMPL; }
    HRESULT ChangeRate() override { return E_NOTIMPL; }

    // The queues this pin's decoder waits on.
    virtual std::vector<CPacketQueue2*> Queues() = 0;
    // True when the major type, subtype and format type are those of the offered type 0.
    bool IsOfferedType(const CMediaType& type);
    // Asks the allocator for one buffer of `bytes` (alignment 1, no prefix); E_FAIL when it
    // grants fewer or smaller. On success the seeking values are reset to the file.
    HRESULT RequestOneBuffer(CMemAllocator* allocator, CAllocatorProperties* request, long bytes);
    // Makes a format change carried by the sample the connection's type.
    void AdoptMediaType(const CMediaSample& sample);
    // On the delivery thread: true once per loop start, for its first sample.
    bool TakeDiscontinuity();

    CVeltoSource* const m_source;

private:
    // Duration and stop = the file's length (0 when unknown), start 0.
    void ResetSeekingToFile();

    std::mutex m_stopLock;
    bool m_stopRequested = false; // guarded by m_stopLock
    bool m_discontinuity = false; // delivery thread only
};
