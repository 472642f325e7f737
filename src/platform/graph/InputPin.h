#pragma once
// The receiving side of a connection: renderers and test pins implement it; source pins call it.
//
// Threads: connection calls come from the engine thread while the filters are stopped;
// Receive and EndOfStream from the connected output pin's delivery thread; BeginFlush, EndFlush
// and NewSegment from the thread that seeks (engine thread). The output pin does not own the
// input pin; the graph keeps both alive while they are connected.
#include "platform/graph/MediaSample.h"
#include "platform/graph/MediaType.h"
#include "platform/graph/Result.h"

class CSourceStream;

class IInputPin {
public:
    // S_OK when the pin could take samples of this type now, S_FALSE otherwise.
    virtual HRESULT QueryAccept(const CMediaType& type) = 0;
    // Completes a connection offered by `from`; a failure refuses it.
    virtual HRESULT ReceiveConnection(CSourceStream* from, const CMediaType& type) = 0;
    virtual HRESULT Disconnect() = 0;

    // The sample is lent for the call only. May block until the sample's presentation time, but
    // must return promptly once BeginFlush is called or the receiving filter stops. A pin that
    // has had its end of stream answers VFW_E_SAMPLE_REJECTED_EOS.
    virtual HRESULT Receive(CMediaSample& sample) = 0;
    virtual HRESULT EndOfStream() = 0;
    // Between BeginFlush and EndFlush the pin discards samples and ends of stream.
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
    // Connection thread or the output pin's delivery thread, while connected: whether samples
    // may carry a decoded picture (CMediaSample::GetPicture) in place of their bytes, which are
    // then left unwritten. Constant for the pin's life.
    virtual bool TakesPictures() const { return false; }

protected:
    ~IInputPin() = default;
};
