#pragma once
// The "Audio" output pin: interleaved signed 16-bit PCM, at least about a second per sample.
// Samples carry no times (the renderer plays them as they come), except for RealMedia files,
// whose samples start at their first packet's stamp and never end.
//
// Threads: as CSeekableStream; the decoder runs on this pin's delivery thread only.
#include "media/AudioDecoder.h"
#include "media/SeekableStream.h"

class CVeltoAudioStream : public CSeekableStream {
public:
    // Bytes of the pin's single buffer.
    static constexpr long kBufferBytes = 576000;

    explicit CVeltoAudioStream(CVeltoSource* source);

    // One type: audio, PCM, an 18-byte wave format of the decoder's target.
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT CheckMediaType(const CMediaType& type) override;
    void StopDelivery() override;

protected:
    HRESULT DecideBufferSize(CMemAllocator* allocator, CAllocatorProperties* request) override;
    HRESULT FillBuffer(CMediaSample& sample) override;
    std::vector<CPacketQueue2*> Queues() override;

private:
    CVeltoAudioDecoder m_decoder;
    bool m_endPending = false; // delivery thread: the decoder ended after the last sample's data
};
