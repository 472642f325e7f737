#include "media/CoverArt.h"

#include <mutex>

#include "media/PlaybackInfo.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

const char* PictureExtension(AVCodecID codec) {
    switch (codec) {
    case AV_CODEC_ID_MJPEG:
        return "jpg";
    case AV_CODEC_ID_PNG:
        return "png";
    default:
        return nullptr;
    }
}

} // namespace

std::optional<CCoverArt> ReadCoverArt(CPlaybackInfo& info) {
    std::lock_guard lock(info.Lock());
    const AVFormatContext* format = info.FormatContext();
    if (format == nullptr) {
        return std::nullopt;
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 ||
            stream->codecpar == nullptr) {
            continue;
        }
        const char* extension = PictureExtension(stream->codecpar->codec_id);
        const AVPacket& picture = stream->attached_pic;
        if (extension == nullptr || picture.data == nullptr || picture.size <= 0 ||
            static_cast<std::size_t>(picture.size) > kLargestCoverBytes) {
            continue;
        }
        return CCoverArt{std::string(reinterpret_cast<const char*>(picture.data),
                                     static_cast<std::size_t>(picture.size)),
                         extension};
    }
    return std::nullopt;
}
