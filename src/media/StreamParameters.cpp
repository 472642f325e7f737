// Streams the probe left incomplete: a damaged header, or a stream that starts later than the
// probe reads (a transport stream whose picture begins after seconds of sound), leaves a decoder
// without its picture size or sample rate. The pins need them before the first sample, so the
// parse decodes the first packets itself and keeps them for the demux worker.
#include "core/Log.h"
#include "media/PlaybackInfo.h"

namespace {

// Packets read at most while looking for the missing parameters: about 40 s of a typical file,
// well past a late start, yet a bounded load time and memory for a stream that never decodes.
constexpr int kMaxParameterPackets = 2000;

bool PictureKnown(const AVCodecContext& context) {
    return context.width > 0 && context.height > 0 && context.pix_fmt != AV_PIX_FMT_NONE;
}

bool SoundKnown(const AVCodecContext& context) {
    return context.sample_rate > 0 && context.ch_layout.nb_channels > 0;
}

// Takes the parameters the decoder's first frame shows. True when they are complete.
bool TakeFromFrame(AVCodecContext& context, const AVFrame& frame) {
    if (context.codec_type == AVMEDIA_TYPE_VIDEO) {
        if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) {
            return false;
        }
        context.width = frame.width;
        context.height = frame.height;
        context.pix_fmt = static_cast<AVPixelFormat>(frame.format);
        return true;
    }
    if (frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0) {
        return false;
    }
    context.sample_rate = frame.sample_rate;
    return av_channel_layout_copy(&context.ch_layout, &frame.ch_layout) >= 0;
}

} // namespace

void CPlaybackInfo::CloseStream(int kind) {
    ContextOf(kind).reset();
    IndexOf(kind) = -1;
    CandidatesOf(kind).clear();
}

void CPlaybackInfo::CompleteParameters() {
    static constexpr char kFunction[] = "CPlaybackInfo::ParseMediaContext";
    AVCodecContext* video = m_videoContext && HasVideo() && !PictureKnown(*m_videoContext)
                                ? m_videoContext.get()
                                : nullptr;
    AVCodecContext* audio = m_audioContext && HasAudio() && !SoundKnown(*m_audioContext)
                                ? m_audioContext.get()
                                : nullptr;
    if (video == nullptr && audio == nullptr) {
        return;
    }
    const bool audioIncomplete = audio != nullptr;
    CAVFramePtr frame(av_frame_alloc());
    for (int read = 0; frame && (video || audio) && read < kMaxParameterPackets; ++read) {
        CAVPacketPtr packet(av_packet_alloc());
        if (!packet || ReadFromFile(packet.get())) {
            break;
        }
        AVCodecContext* context = packet->stream_index == m_videoIndex   ? video
                                  : packet->stream_index == m_audioIndex ? audio
                                                                         : nullptr;
        // A corrupt packet is refused and the next one tried, as in playback.
        if (context != nullptr && avcodec_send_packet(context, packet.get()) >= 0) {
            while (avcodec_receive_frame(context, frame.get()) == 0) {
                const bool complete = TakeFromFrame(*context, *frame);
                av_frame_unref(frame.get());
                if (complete) {
                    (context == video ? video : audio) = nullptr;
                    break;
                }
            }
        }
        m_heldPackets.push_back(std::move(packet));
    }
    // The kept packets are decoded again from the start in playback.
    for (AVCodecContext* context : {m_videoContext.get(), m_audioContext.get()}) {
        if (context != nullptr) {
            avcodec_flush_buffers(context);
        }
    }
    if (video != nullptr) {
        Log({kFunction, LOG_LEVEL_INFO}, "Video stream %d gave no picture in %zu packets",
            m_videoIndex, m_heldPackets.size());
        CloseStream(STREAM_VIDEO);
    }
    if (audio != nullptr) {
        Log({kFunction, LOG_LEVEL_INFO}, "Audio stream %d gave no sound in %zu packets",
            m_audioIndex, m_heldPackets.size());
        CloseStream(STREAM_AUDIO);
    } else if (audioIncomplete) {
        SetAudioTarget(*m_audioContext);
    }
}
