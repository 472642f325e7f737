#include "support/DecoderHarness.h"

#include "core/WideText.h"
#include "media/AudioDecoder.h"

CDecoderHarness::CDecoderHarness(const std::string& path, CSubtitle* subtitles)
    : m_parse(m_media.ParseMediaContext(Utf8ToWide(path))), m_subtitles(subtitles) {
    if (m_media.HasVideo()) {
        m_video = std::make_unique<CPacketQueueVideo>(m_media, "V", 10);
        m_video->Reset();
    }
    if (m_media.HasAudio()) {
        m_audio = std::make_unique<CPacketQueue2>(m_media, "A", 10);
    }
    if (m_media.HasSubtitle()) {
        m_subtitle = std::make_unique<CPacketQueue2>(m_media, "S", 5);
    }
}

void CDecoderHarness::FillAll() {
    for (;;) {
        CAVPacketPtr packet(av_packet_alloc());
        if (m_media.ReadFrame(packet.get())) {
            break;
        }
        const int index = packet->stream_index;
        if (m_video && index == m_media.VideoIndex()) {
            m_video->Put(std::move(packet));
        } else if (m_audio && index == m_media.AudioIndex()) {
            m_audio->Put(std::move(packet));
        } else if (m_subtitle && index == m_media.SubtitleIndex()) {
            m_subtitle->Put(std::move(packet));
        }
    }
    for (CPacketQueue2* queue :
         {static_cast<CPacketQueue2*>(m_video.get()), m_audio.get(), m_subtitle.get()}) {
        if (queue != nullptr) {
            queue->PutEnd();
        }
    }
}

CDecodedVideo CDecoderHarness::DecodeVideo(
    const std::function<void(REFERENCE_TIME, const std::vector<std::uint8_t>&)>& onPicture) {
    CDecodedVideo result;
    CVeltoVideoDecoder decoder;
    const CFrameFormat format{m_media.Width(), -m_media.Height(), 24};
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(format.width) * m_media.Height() * 3);
    for (;;) {
        int used = 0;
        bool got = false;
        REFERENCE_TIME stamp = 0;
        REFERENCE_TIME next = 0;
        if (!decoder.DecodeFrameToBuffer(*this, format, frame.data(), &used, &got, &stamp, &next)) {
            break;
        }
        if (stamp != 0) {
            ++result.samples;
        }
        if (got) {
            if (result.pictures++ == 0) {
                result.first = frame;
            }
            result.stamps.push_back(stamp);
            if (onPicture) {
                onPicture(stamp, frame);
            }
        }
    }
    return result;
}

std::vector<std::uint8_t> CDecoderHarness::DecodeAudio(int capacity) {
    CVeltoAudioDecoder decoder;
    std::vector<std::uint8_t> pcm;
    std::vector<std::uint8_t> sample(static_cast<std::size_t>(capacity));
    bool more = true;
    while (more) {
        int bytes = 0;
        REFERENCE_TIME first = 0;
        REFERENCE_TIME next = 0;
        more = decoder.FillAudio(*this, sample.data(), &bytes, capacity, &first, &next);
        pcm.insert(pcm.end(), sample.begin(), sample.begin() + bytes);
    }
    return pcm;
}
