#include "media/VeltoAudioStream.h"

#include <limits>

#include "core/Log.h"
#include "media/VeltoSource.h"

namespace {
constexpr int kBitsPerSample = 16; // the decoder always delivers signed 16-bit samples
} // namespace

CVeltoAudioStream::CVeltoAudioStream(CVeltoSource* source) : CSeekableStream("Audio", source) {}

HRESULT CVeltoAudioStream::GetMediaType(int position, CMediaType* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    if (position != 0) {
        return S_FALSE;
    }
    CPlaybackInfo& media = m_source->Media();
    CWaveFormatEx wave;
    {
        std::lock_guard lock(media.Lock());
        wave.channels = static_cast<std::uint16_t>(media.AudioConversion().targetChannels);
        wave.samplesPerSec = static_cast<std::uint32_t>(media.AudioConversion().targetRate);
    }
    wave.formatTag = WAVE_FORMAT_PCM;
    wave.bitsPerSample = kBitsPerSample;
    wave.blockAlign = static_cast<std::uint16_t>(wave.channels * kBitsPerSample / 8);
    wave.avgBytesPerSec = wave.blockAlign * wave.samplesPerSec;
    wave.extraSize = 0;

    *type = CMediaType();
    type->majorType = EMajorType::Audio;
    type->subType = ESubType::PCM;
    type->formatType = EFormatType::WaveFormatEx;
    type->sampleSize = wave.blockAlign;
    type->SetFormat(wave);
    return S_OK;
}

HRESULT CVeltoAudioStream::CheckMediaType(const CMediaType& type) {
    return IsOfferedType(type) ? S_OK : E_FAIL;
}

HRESULT CVeltoAudioStream::DecideBufferSize(CMemAllocator* allocator,
                                            CAllocatorProperties* request) {
    return RequestOneBuffer(allocator, request, kBufferBytes);
}

HRESULT CVeltoAudioStream::FillBuffer(CMediaSample& sample) {
    std::lock_guard lock(m_seekingLock);
    if (m_endPending) {
        // The previous sample carried the last audio; now the end of stream follows it.
        Log({"CVeltoAudioStream::FillBuffer", LOG_LEVEL_INFO}, "%s: DeliverEndOfStream.",
            Name().c_str());
        return S_FALSE;
    }
    AdoptMediaType(sample);

    int bytes = 0;
    REFERENCE_TIME first = 0, next = 0;
    if (!m_decoder.FillAudio(*m_source, sample.GetPointer(), &bytes,
                             static_cast<int>(sample.GetSize()), &first, &next)) {
        if (DeliveryStopRequested()) {
            return S_FALSE;
        }
        // Deliver what was decoded before the end, then the end itself on the next fill, so
        // the renderer does not refuse the file's last audio as arriving after its end.
        m_endPending = true;
        if (bytes == 0) {
            m_endPending = false;
            Log({"CVeltoAudioStream::FillBuffer", LOG_LEVEL_INFO}, "%s: DeliverEndOfStream.",
                Name().c_str());
            return S_FALSE;
        }
    }
    sample.SetActualDataLength(bytes);
    sample.SetSyncPoint(true);
    if (TakeDiscontinuity()) {
        sample.SetDiscontinuity(true);
    }
    sample.SetMediaTime(nullptr, nullptr);
    if (m_source->Media().IsRealMedia()) {
        REFERENCE_TIME start = first - m_source->AudioStart();
        REFERENCE_TIME stop = std::numeric_limits<REFERENCE_TIME>::max();
        sample.SetTime(&start, &stop);
    } else {
        sample.SetTime(nullptr, nullptr);
    }
    m_source->NoteSampleDelivered();
    return S_OK;
}

void CVeltoAudioStream::StopDelivery() {
    CSeekableStream::StopDelivery();
    m_decoder.ResetDecoder();
    m_endPending = false;
}

std::vector<CPacketQueue2*> CVeltoAudioStream::Queues() {
    std::vector<CPacketQueue2*> queues;
    if (m_source->AudioQueue()) {
        queues.push_back(m_source->AudioQueue());
    }
    return queues;
}
