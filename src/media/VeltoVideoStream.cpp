#include "media/VeltoVideoStream.h"

#include <cstdlib>

#include "core/Log.h"
#include "media/VeltoSource.h"

namespace {
constexpr int kBitCount = 24; // every picture leaves the pin as packed 24-bit B, G, R
} // namespace

CVeltoVideoStream::CVeltoVideoStream(CVeltoSource* source) : CSeekableStream("Video", source) {}

long CVeltoVideoStream::FrameBytes() const {
    CPlaybackInfo& media = m_source->Media();
    return static_cast<long>(media.Width()) * media.Height() * kBitCount / 8;
}

HRESULT CVeltoVideoStream::GetMediaType(int position, CMediaType* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    if (position != 0) {
        return S_FALSE;
    }
    CPlaybackInfo& media = m_source->Media();
    CVideoInfoHeader info;
    info.bitmap.width = media.Width();
    info.bitmap.height = -media.Height();
    info.bitmap.planes = 1;
    info.bitmap.bitCount = kBitCount;
    info.bitmap.compression = FOURCC_YUY2;
    info.bitmap.sizeImage = static_cast<std::uint32_t>(FrameBytes());

    *type = CMediaType();
    type->majorType = EMajorType::Video;
    type->subType = ESubType::RGB24;
    type->formatType = EFormatType::VideoInfo;
    type->temporalCompression = false;
    type->sampleSize = info.bitmap.sizeImage;
    type->SetFormat(info);
    return S_OK;
}

HRESULT CVeltoVideoStream::CheckMediaType(const CMediaType& type) {
    return type.subType == ESubType::YUY2 || IsOfferedType(type) ? S_OK : E_FAIL;
}

HRESULT CVeltoVideoStream::DecideBufferSize(CMemAllocator* allocator,
                                            CAllocatorProperties* request) {
    const HRESULT hr = RequestOneBuffer(allocator, request, FrameBytes());
    if (SUCCEEDED(hr)) {
        m_decoder.ResetScaler();
    }
    return hr;
}

CFrameFormat CVeltoVideoStream::OutputFormat(long bufferSize) const {
    CVideoInfoHeader info;
    if (m_mt.formatType == EFormatType::VideoInfo && m_mt.GetFormat(info)) {
        const long width = std::labs(info.bitmap.width);
        const long height = std::labs(info.bitmap.height);
        // A header larger than the buffer (a renderer's own proposal) would overrun it.
        if (width > 0 && height > 0 && width * height * kBitCount / 8 <= bufferSize) {
            return CFrameFormat{static_cast<int>(width), info.bitmap.height, kBitCount};
        }
    }
    CPlaybackInfo& media = m_source->Media();
    return CFrameFormat{media.Width(), -media.Height(), kBitCount};
}

HRESULT CVeltoVideoStream::FillBuffer(CMediaSample& sample) {
    std::lock_guard lock(m_seekingLock);
    AdoptMediaType(sample);
    const CFrameFormat out = OutputFormat(sample.GetSize());

    REFERENCE_TIME stamp = 0, next = 0;
    const bool lend = ConnectedTo() != nullptr && ConnectedTo()->TakesPictures();
    std::shared_ptr<const CVideoPicture> picture;
    // After a seek the decoding starts at the key frame before the target: pictures that end
    // before the target are decoded for the ones after them but not shown.
    const REFERENCE_TIME target = m_source->SeekTarget();
    const auto endsBeforeTarget = [&] {
        const REFERENCE_TIME end = next > stamp ? next : stamp + CPlaybackInfo::FrameDuration();
        return end <= target;
    };
    while (stamp == 0 || endsBeforeTarget()) {
        stamp = 0;
        int used = 0;
        bool gotPicture = false;
        if (!m_decoder.DecodeFrameToBuffer(*m_source, out, sample.GetPointer(), &used, &gotPicture,
                                           &stamp, &next, lend ? &picture : nullptr)) {
            // The loop delivers the end of stream; the buffer holds nothing new to show.
            if (!DeliveryStopRequested()) {
                Log({"CVeltoVideoStream::FillBuffer", LOG_LEVEL_INFO}, "DeliverEndOfStream.");
            }
            return S_FALSE;
        }
    }
    if (TakeDiscontinuity()) {
        sample.SetDiscontinuity(true);
    }
    REFERENCE_TIME duration = next - stamp;
    if (duration <= 0) {
        duration = CPlaybackInfo::FrameDuration();
    }
    REFERENCE_TIME start = stamp - m_source->AudioStart();
    REFERENCE_TIME stop = start + duration;
    sample.SetTime(&start, &stop);
    sample.SetMediaTime(nullptr, nullptr);
    sample.SetSyncPoint(true);
    sample.SetActualDataLength(
        picture ? 0 : static_cast<long>(out.width) * std::abs(out.height) * kBitCount / 8);
    sample.SetPicture(std::move(picture));
    m_source->NoteSampleDelivered();
    return S_OK;
}

void CVeltoVideoStream::StopDelivery() {
    CSeekableStream::StopDelivery();
    m_decoder.ResetScaler();
}

std::vector<CPacketQueue2*> CVeltoVideoStream::Queues() {
    std::vector<CPacketQueue2*> queues;
    if (m_source->VideoQueue()) {
        queues.push_back(m_source->VideoQueue());
    }
    if (m_source->SubtitleQueue()) {
        queues.push_back(m_source->SubtitleQueue());
    }
    return queues;
}
