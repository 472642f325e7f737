#include "media/VideoDecoder.h"

#include <algorithm>
#include <cstdlib>

#include "core/Log.h"
#include "media/DecoderSource.h"
#include "media/PacketQueue.h"
#include "media/PlaybackInfo.h"

namespace {

constexpr char kDecodeFunction[] = "CVeltoVideoDecoder::DecodeFrameToBuffer";
// A text subtitle that does not say when it ends is shown this long.
constexpr std::int64_t kDefaultSubtitleMs = 5000;
constexpr int kFrameBitCount = 24;

std::int64_t StampToMs(REFERENCE_TIME stamp) {
    return static_cast<std::int64_t>((static_cast<double>(stamp) / UNITS) * 1000);
}

} // namespace

bool copy_buffer(std::uint8_t* buffer, const AVFrame& picture, const CFrameFormat& out,
                 CSwsContextPtr& scaler) {
    const int height = std::abs(out.height);
    if (buffer == nullptr || out.width <= 0 || height == 0 || out.bitCount != kFrameBitCount ||
        picture.width <= 0 || picture.height <= 0 || picture.format < 0) {
        Log({"copy_buffer", LOG_LEVEL_ERROR}, "Failed to decode video!");
        return false;
    }
    // Returns the same scaler while nothing changed and makes a new one when the stream's size
    // or pixel format changes mid-way, so the conversion always matches the picture it reads.
    scaler.reset(sws_getCachedContext(
        scaler.release(), picture.width, picture.height, static_cast<AVPixelFormat>(picture.format),
        out.width, height, AV_PIX_FMT_BGR24, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler) {
        Log({"copy_buffer", LOG_LEVEL_ERROR}, "Failed to decode video!");
        return false;
    }
    std::uint8_t* const destination[4] = {buffer, nullptr, nullptr, nullptr};
    const int stride[4] = {out.width * kFrameBitCount / 8, 0, 0, 0};
    if (sws_scale(scaler.get(), picture.data, picture.linesize, 0, picture.height, destination,
                  stride) <= 0) {
        Log({"copy_buffer", LOG_LEVEL_ERROR}, "Failed to decode video!");
        return false;
    }
    return true;
}

namespace {

// The subtitles of the file or one loaded beside it are drawn over its pictures.
bool SubtitlesDrawn(IDecoderSource& source) {
    const CSubtitle* subtitles = source.Subtitles();
    return subtitles != nullptr && (source.Media().HasSubtitle() || subtitles->HasExternal());
}

// A second reference to the decoder's frame, so that the next decode does not overwrite it;
// null when out of memory.
std::shared_ptr<const CVideoPicture> LendPicture(const AVFrame& frame,
                                                 std::shared_ptr<const IPictureOverlay> overlay) {
    std::shared_ptr<AVFrame> owner(av_frame_clone(&frame), CAVFrameDeleter());
    if (!owner) {
        return nullptr;
    }
    auto picture = std::make_shared<CVideoPicture>();
    for (int i = 0; i < 4; ++i) {
        picture->planes[i] = owner->data[i];
        picture->strides[i] = owner->linesize[i];
    }
    picture->pixelFormat = owner->format;
    picture->width = owner->width;
    picture->height = owner->height;
    picture->colorSpace = owner->colorspace;
    picture->colorRange = owner->color_range;
    picture->owner = std::move(owner);
    picture->overlay = std::move(overlay);
    return picture;
}

} // namespace

void CVeltoVideoDecoder::ResetScaler() {
    m_scaler.reset();
    m_draining = false;
    m_sentStamps.clear();
}

namespace {

// Pictures a frame-threaded decoder holds back beyond the codec's own delay: one per extra
// thread. Stamping a picture with the packet just sent would show video late by that many frames.
std::size_t ThreadDelay(const AVCodecContext& context) {
    return (context.active_thread_type & FF_THREAD_FRAME) != 0 && context.thread_count > 1
               ? static_cast<std::size_t>(context.thread_count - 1)
               : 0;
}

} // namespace

int CVeltoVideoDecoder::Receive(IDecoderSource& source, AVCodecContext* context) {
    return avcodec_receive_frame(context, source.Media().Picture());
}

bool CVeltoVideoDecoder::DecodeFrameToBuffer(IDecoderSource& source, const CFrameFormat& out,
                                             std::uint8_t* buffer, int* bytesUsed, bool* gotPicture,
                                             REFERENCE_TIME* stamp, REFERENCE_TIME* next,
                                             std::shared_ptr<const CVideoPicture>* lent) {
    *bytesUsed = 0;
    if (lent != nullptr) {
        lent->reset();
    }
    *gotPicture = false;
    *stamp = 0;
    *next = 0;
    CPacketQueueVideo* queue = source.VideoQueue();
    CPlaybackInfo& media = source.Media();
    if (queue == nullptr) {
        return false;
    }
    if (!m_draining) {
        source.WaitWhileVideoQueueLow();
    }

    CPacket packet;
    if (!m_draining && !queue->Get(packet)) {
        if (queue->IsAborted()) {
            return false;
        }
        // The end marker: ask the decoder for the pictures it still holds.
        std::lock_guard lock(media.Lock());
        if (AVCodecContext* context = media.GetCodecContext(STREAM_VIDEO)) {
            avcodec_send_packet(context, nullptr);
        }
        m_draining = true;
    }

    std::lock_guard lock(media.Lock());
    AVCodecContext* context = media.GetCodecContext(STREAM_VIDEO);
    if (context == nullptr || media.Picture() == nullptr) {
        Log({kDecodeFunction, LOG_LEVEL_INFO}, "No data in video queue. EOF?");
        return false;
    }
    if (m_draining) {
        if (Receive(source, context) != 0) {
            Log({kDecodeFunction, LOG_LEVEL_INFO}, "No data in video queue. EOF?");
            return false;
        }
        if (!m_sentStamps.empty()) {
            m_sentStamps.pop_front();
        }
        m_lastStamp = m_sentStamps.empty() ? m_lastStamp + CPlaybackInfo::FrameDuration()
                                           : m_sentStamps.front();
        *stamp = m_lastStamp;
        *next = m_lastStamp;
        *gotPicture = true;
    } else {
        int sent = avcodec_send_packet(context, packet.packet.get());
        if (sent == AVERROR_EOF) {
            // Left drained by an earlier end of stream and not sought since: start afresh.
            avcodec_flush_buffers(context);
            m_sentStamps.clear();
            sent = avcodec_send_packet(context, packet.packet.get());
        }
        int received = AVERROR(EAGAIN);
        if (sent == AVERROR(EAGAIN)) {
            // The decoder holds more pictures than we took: take one, then it accepts input.
            received = Receive(source, context);
            sent = avcodec_send_packet(context, packet.packet.get());
        }
        if (received != 0) {
            received = Receive(source, context);
        }
        if (sent < 0 && received != 0) {
            // A corrupt packet: no stamp, the caller goes on with the next one.
            return true;
        }
        const std::size_t depth = ThreadDelay(*context) + 1;
        if (sent >= 0) {
            m_sentStamps.push_back(packet.stamp);
            while (m_sentStamps.size() > depth) {
                m_sentStamps.pop_front();
            }
        }
        *bytesUsed = packet.packet->size;
        *gotPicture = received == 0;
        REFERENCE_TIME head = 0;
        queue->Peek(&head);
        if (m_sentStamps.empty()) {
            *stamp = packet.stamp;
            *next = head != 0 ? head : *stamp;
        } else if (*gotPicture) {
            *stamp = m_sentStamps.front();
            *next = m_sentStamps.size() > 1 ? m_sentStamps[1] : (head != 0 ? head : *stamp);
        } else {
            // Held back while the threads fill up: placed before the first picture to come.
            const auto missing = static_cast<REFERENCE_TIME>(depth - m_sentStamps.size());
            *stamp = m_sentStamps.front() - missing * CPlaybackInfo::FrameDuration();
            *next = *stamp + CPlaybackInfo::FrameDuration();
        }
        m_lastStamp = *stamp;
    }

    if (*gotPicture) {
        DecodeSubtitle(source);
        std::shared_ptr<const IPictureOverlay> overlay = SubtitleOverlay(source, *stamp);
        if (lent != nullptr) {
            *lent = LendPicture(*media.Picture(), overlay);
        }
        if ((lent == nullptr || *lent == nullptr) &&
            copy_buffer(buffer, *media.Picture(), out, m_scaler) && overlay) {
            // The buffer holds exactly out.width x |out.height| pixels (see copy_buffer).
            overlay->Draw(CBgrCanvas{buffer, out.width, std::abs(out.height),
                                     out.width * kFrameBitCount / 8, kFrameBitCount / 8});
        }
    }
    queue->FreePacket(packet);
    return true;
}

void CVeltoVideoDecoder::DecodeSubtitle(IDecoderSource& source) {
    CPacketQueue2* queue = source.SubtitleQueue();
    AVCodecContext* context = source.Media().GetCodecContext(STREAM_SUBTITLE);
    CPacket packet;
    // Only this thread takes from the subtitle queue, so a packet seen by Peek is still there.
    if (queue == nullptr || !queue->Peek() || !queue->Get(packet)) {
        return;
    }
    if (context == nullptr) {
        queue->FreePacket(packet);
        return;
    }
    AVSubtitle subtitle{};
    int got = 0;
    if (avcodec_decode_subtitle2(context, &subtitle, &got, packet.packet.get()) < 0) {
        Log({"avcodec_decode_subtitle2_seh", LOG_LEVEL_ERROR}, "Failed to decode subtitle!");
        got = 0;
    }
    if (got != 0 && subtitle.num_rects > 0) {
        const AVSubtitleRect& first = *subtitle.rects[0];
        if (first.type == SUBTITLE_ASS) {
            const REFERENCE_TIME stamp = subtitle.pts != AV_NOPTS_VALUE
                                             ? av_rescale(subtitle.pts, UNITS, AV_TIME_BASE)
                                             : packet.stamp;
            const std::int64_t base = StampToMs(stamp - source.Media().FileStart());
            const std::int64_t startMs = base + subtitle.start_display_time;
            const std::int64_t endMs =
                base + (subtitle.end_display_time > subtitle.start_display_time
                            ? subtitle.end_display_time
                            : subtitle.start_display_time + kDefaultSubtitleMs);
            std::array<std::string, 2>& texts = m_subtitles.texts;
            texts[0] = first.ass ? CSubtitle::AssDialogueFromRect(first.ass, startMs, endMs)
                                 : std::string();
            if (subtitle.num_rects > 1) {
                const AVSubtitleRect& second = *subtitle.rects[1];
                texts[1] = second.ass ? CSubtitle::AssDialogueFromRect(second.ass, startMs, endMs)
                                      : std::string();
            }
        } else if (first.type == SUBTITLE_BITMAP && first.w > 0 && first.h > 0 &&
                   first.data[0] != nullptr) {
            // A fresh bitmap: overlays of earlier pictures still hold the one before.
            auto made = std::make_shared<CSubtitleBitmap>();
            CSubtitleBitmap& bitmap = *made;
            bitmap.x = first.x;
            bitmap.y = first.y;
            bitmap.w = first.w;
            bitmap.h = first.h;
            bitmap.indexes.resize(static_cast<std::size_t>(first.w) * first.h);
            for (int row = 0; row < first.h; ++row) {
                std::copy_n(first.data[0] + static_cast<std::ptrdiff_t>(row) * first.linesize[0],
                            first.w,
                            bitmap.indexes.begin() + static_cast<std::ptrdiff_t>(row) * first.w);
            }
            // Indexes beyond the palette read as colour 0, which is not drawn.
            bitmap.palette.assign(256, 0);
            const auto* colours = reinterpret_cast<const std::uint32_t*>(first.data[1]);
            for (int i = 0; colours != nullptr && i < std::min(first.nb_colors, 256); ++i) {
                bitmap.palette[i] = colours[i];
            }
            m_subtitles.bitmap = std::move(made);
        }
    }
    avsubtitle_free(&subtitle);
    queue->FreePacket(packet);
}

std::shared_ptr<const IPictureOverlay>
CVeltoVideoDecoder::SubtitleOverlay(IDecoderSource& source, REFERENCE_TIME stamp) const {
    if (!SubtitlesDrawn(source)) {
        return nullptr;
    }
    CPlaybackInfo& media = source.Media();
    CSubtitleFrame frame = m_subtitles;
    frame.ms = StampToMs(stamp - media.FileStart());
    frame.videoWidth = media.Width();
    frame.videoHeight = media.Height();
    frame.streamShown = media.HasSubtitle();
    return std::make_shared<CSubtitleOverlay>(*source.Subtitles(), std::move(frame));
}
