#include "media/AudioDecoder.h"

#include <algorithm>
#include <cstring>

#include "core/Log.h"
#include "media/DecoderSource.h"
#include "media/PlaybackInfo.h"

namespace {

constexpr char kDecodeFunction[] = "CVeltoAudioDecoder::AudioDecodeFrame";
// Room for the largest chunk decoders commonly give, so that steady playback never allocates.
constexpr std::size_t kChunkReserve = 288000;

} // namespace

CVeltoAudioDecoder::CVeltoAudioDecoder() : m_frame(av_frame_alloc()) {
    m_chunk.reserve(kChunkReserve);
}

void CVeltoAudioDecoder::ResetDecoder() {
    m_chunk.clear();
    m_chunkOffset = 0;
    m_chunkStamp = 0;
    m_packet = CPacket{};
    m_packetSent = true;
    m_draining = false;
}

bool CVeltoAudioDecoder::FillAudio(IDecoderSource& source, std::uint8_t* dst, int* bytes,
                                   int capacity, REFERENCE_TIME* first, REFERENCE_TIME* next) {
    *bytes = 0;
    *first = 0;
    if (dst == nullptr || capacity <= 0 || !m_frame) {
        return false;
    }
    const int target = std::min(kFillTarget, capacity);
    bool more = true;
    while (*bytes < target) {
        if (m_chunkOffset >= m_chunk.size() && !AudioDecodeFrame(source)) {
            more = false;
            break;
        }
        if (*first == 0) {
            *first = m_chunkStamp;
        }
        const std::size_t count =
            std::min(m_chunk.size() - m_chunkOffset, static_cast<std::size_t>(capacity - *bytes));
        std::memcpy(dst + *bytes, m_chunk.data() + m_chunkOffset, count);
        *bytes += static_cast<int>(count);
        m_chunkOffset += count;
    }
    REFERENCE_TIME head = 0;
    if (CPacketQueue2* queue = source.AudioQueue(); queue != nullptr && queue->Peek(&head)) {
        *next = head;
    }
    return more;
}

bool CVeltoAudioDecoder::AudioDecodeFrame(IDecoderSource& source) {
    CPacketQueue2* queue = source.AudioQueue();
    CPlaybackInfo& media = source.Media();
    m_chunk.clear();
    m_chunkOffset = 0;
    if (queue == nullptr) {
        return false;
    }
    for (;;) {
        {
            std::lock_guard lock(media.Lock());
            AVCodecContext* context = media.GetCodecContext(STREAM_AUDIO);
            if (context == nullptr) {
                return false;
            }
            if (!m_packetSent) {
                int sent = avcodec_send_packet(context, m_packet.packet.get());
                if (sent == AVERROR_EOF) {
                    // Left drained by an earlier end of stream and not sought since.
                    avcodec_flush_buffers(context);
                    sent = avcodec_send_packet(context, m_packet.packet.get());
                }
                // Accepted, or corrupt and dropped; only a full decoder keeps it for later.
                m_packetSent = sent != AVERROR(EAGAIN);
            }
            const int received = ReceiveAndConvert(source, context);
            if (received == 0) {
                if (!m_chunk.empty()) {
                    return true;
                }
                continue; // a frame that could not be converted: take the next
            }
            if (received == AVERROR_EOF || m_draining) {
                Log({kDecodeFunction, LOG_LEVEL_INFO}, "No data in audio queue. EOF?");
                return false;
            }
            if (!m_packetSent) {
                continue; // the decoder has room again for the waiting packet
            }
        }
        queue->FreePacket(m_packet);
        if (!queue->Get(m_packet)) {
            if (queue->IsAborted()) {
                return false;
            }
            // The end marker: take the audio the decoder still holds before reporting the end.
            std::lock_guard lock(media.Lock());
            if (AVCodecContext* context = media.GetCodecContext(STREAM_AUDIO)) {
                avcodec_send_packet(context, nullptr);
            }
            m_draining = true;
            continue;
        }
        m_packetSent = false;
    }
}

int CVeltoAudioDecoder::ReceiveAndConvert(IDecoderSource& source, AVCodecContext* context) {
    const int received = avcodec_receive_frame(context, m_frame.get());
    if (received < 0) {
        return received;
    }
    Convert(source, *m_frame);
    av_frame_unref(m_frame.get());
    return 0;
}

bool CVeltoAudioDecoder::Convert(IDecoderSource& source, const AVFrame& frame) {
    CAudioConversion& conversion = source.Media().AudioConversion();
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const int channels = frame.ch_layout.nb_channels;
    const std::int64_t layout = CPlaybackInfo::LayoutMask(frame.ch_layout);
    if (frame.nb_samples <= 0 || channels <= 0) {
        return false;
    }
    if (format != conversion.sourceFormat || layout != conversion.sourceLayout ||
        frame.sample_rate != conversion.sourceRate) {
        conversion.resampler.reset();
        AVChannelLayout in{};
        AVChannelLayout out{};
        av_channel_layout_from_mask(&in, static_cast<std::uint64_t>(layout));
        av_channel_layout_from_mask(&out, static_cast<std::uint64_t>(conversion.targetLayout));
        SwrContext* made = nullptr;
        const bool allocated =
            swr_alloc_set_opts2(&made, &out, conversion.targetFormat, conversion.targetRate, &in,
                                format, frame.sample_rate, 0, nullptr) >= 0;
        CSwrContextPtr resampler(made);
        if (!allocated || swr_init(resampler.get()) < 0) {
            const char* sourceName = av_get_sample_fmt_name(format);
            const char* targetName = av_get_sample_fmt_name(conversion.targetFormat);
            Log({kDecodeFunction, LOG_LEVEL_ERROR},
                "Cannot create sample rate converter for conversion of %d Hz %s %d channels to "
                "%d Hz %s %d channels!",
                frame.sample_rate, sourceName ? sourceName : "?", channels, conversion.targetRate,
                targetName ? targetName : "?", conversion.targetChannels);
            return false;
        }
        conversion.resampler = std::move(resampler);
        conversion.sourceFormat = format;
        conversion.sourceLayout = layout;
        conversion.sourceChannels = channels;
        conversion.sourceRate = frame.sample_rate;
    }

    const int targetBytes = av_get_bytes_per_sample(conversion.targetFormat);
    if (!conversion.resampler) {
        // Already interleaved signed 16-bit in the target layout and rate.
        const std::size_t size =
            static_cast<std::size_t>(frame.nb_samples) * channels * targetBytes;
        m_chunk.assign(frame.data[0], frame.data[0] + size);
    } else {
        const int capacity = swr_get_out_samples(conversion.resampler.get(), frame.nb_samples);
        m_chunk.resize(static_cast<std::size_t>(std::max(capacity, 0)) * conversion.targetChannels *
                       targetBytes);
        std::uint8_t* outPlanes[1] = {m_chunk.data()};
        const int converted =
            swr_convert(conversion.resampler.get(), outPlanes, capacity,
                        const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
        if (converted < 0) {
            Log({kDecodeFunction, LOG_LEVEL_ERROR}, "audio_resample() failed");
            m_chunk.clear();
            return false;
        }
        m_chunk.resize(static_cast<std::size_t>(converted) * conversion.targetChannels *
                       targetBytes);
    }
    m_chunkStamp = m_packet.stamp;
    return true;
}
