#pragma once
// The "Video" output pin: one decoded picture per sample, packed 24-bit B, G, R, top row first,
// timed from the packets' stamps relative to the filter's audio start. To an input pin that takes
// pictures it lends the decoder's frame instead, with the frame's subtitles as its overlay.
//
// Threads: as CSeekableStream; the decoder runs on this pin's delivery thread only.
#include "media/SeekableStream.h"
#include "media/VideoDecoder.h"

class CVeltoVideoStream : public CSeekableStream {
public:
    explicit CVeltoVideoStream(CVeltoSource* source);

    // One type: video, 24-bit RGB, video-info block with a top-down bitmap header.
    HRESULT GetMediaType(int position, CMediaType* type) override;
    // The offered type, or any YUY2 proposal (the pin still writes 24-bit RGB).
    HRESULT CheckMediaType(const CMediaType& type) override;
    void StopDelivery() override;

    // The picture written into each sample: the connection's bitmap header where it fits the
    // buffer, else the video's own size; always 24 bits.
    CFrameFormat OutputFormat(long bufferSize) const;

protected:
    HRESULT DecideBufferSize(CMemAllocator* allocator, CAllocatorProperties* request) override;
    HRESULT FillBuffer(CMediaSample& sample) override;
    std::vector<CPacketQueue2*> Queues() override;

private:
    long FrameBytes() const;

    CVeltoVideoDecoder m_decoder;
};
