#pragma once
// Base of a source filter's output pin: it connects to an input pin, owns a one-buffer
// allocator, and runs its own delivery thread that fills samples and delivers them.
//
// Threads: Connect/Disconnect, Active/Inactive and the flush/new-segment deliveries run on the
// engine thread (the filter's state lock held for Active/Inactive). FillBuffer, the processing
// loop and Deliver/DeliverEndOfStream run on the pin's delivery thread, which lives from Active
// to Inactive and takes the commands CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT.
//
// Wake-ups of the delivery thread's waits: GetDeliveryBuffer by the sample's return and by
// Inactive's decommit; after a decommit, the wait for the next command by CallWorker; Deliver by
// the renderer's own state changes and flushes; a derived FillBuffer's waits by whatever its pin
// does before it posts a stop (the source's pins abort their queues first).
#include <string>

#include "platform/graph/InputPin.h"
#include "platform/graph/MediaSample.h"
#include "platform/graph/MediaType.h"
#include "platform/graph/WorkerThread.h"

class CSource;

// What the processing loop tells a derived pin about, so that it can log it.
enum class EDeliveryNote {
    DeliveryStopped, // value: Deliver's result that ended the loop
    FillFailed       // value: FillBuffer's result
};

class CSourceStream : public CWorkerThread {
public:
    CSourceStream(std::string name, CSource* filter);
    // The pin must be inactive (its filter stopped): the delivery thread calls the derived pin.
    ~CSourceStream() override = default;

    const std::string& Name() const { return m_name; }

    // Negotiates with `to`: the proposed type alone when given, else each type of GetMediaType in
    // turn; a type must pass CheckMediaType and the input pin's ReceiveConnection, then
    // DecideBufferSize must succeed. Only while the filter is stopped (else E_UNEXPECTED).
    HRESULT Connect(IInputPin* to, const CMediaType* proposed = nullptr);
    HRESULT Disconnect();
    bool IsConnected() const { return m_connected != nullptr; }
    IInputPin* ConnectedTo() const { return m_connected; }
    const CMediaType& ConnectionMediaType() const { return m_mt; }

    // Types offered; S_FALSE beyond the last.
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    virtual HRESULT CheckMediaType(const CMediaType& type) = 0;

    // Called by the filter with its state lock held: start (commit, thread, init, pause) and end
    // (decommit, stop, exit, join) the delivery thread.
    HRESULT Active();
    HRESULT Inactive();

    HRESULT GetDeliveryBuffer(CSamplePtr* sample);
    HRESULT Deliver(CMediaSample& sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    // Asks the allocator for buffers; fails the connection on failure.
    virtual HRESULT DecideBufferSize(CMemAllocator* allocator, CAllocatorProperties* request) = 0;
    // Fills one sample: S_OK delivers it, S_FALSE ends the stream, a failure aborts it.
    virtual HRESULT FillBuffer(CMediaSample& sample) = 0;
    // Fills and delivers until CMD_STOP, the end of the stream or a failure.
    HRESULT DoWork() override;
    // Polled by the loop around each fill: true ends the loop without delivering.
    virtual bool DeliveryStopRequested() { return false; }
    virtual void OnDeliveryNote(EDeliveryNote, std::int64_t) {}

    CSource* const m_filter;
    CMediaType m_mt; // written while stopped or by the delivery thread adopting a sample's type
    CMemAllocator m_allocator;

private:
    // "qor-pin-" and the pin's name in lower case, e.g. "qor-pin-video".
    std::string ThreadName() const;
    HRESULT AttemptConnection(IInputPin* to, const CMediaType& type);

    const std::string m_name;
    IInputPin* m_connected = nullptr; // changed only while the filter is stopped
};
