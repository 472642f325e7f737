#include "media/MediaFacts.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/WideText.h"
#include "media/PlaybackInfo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

namespace {

std::wstring DecoderName(AVCodecID id) {
    const AVCodec* decoder = avcodec_find_decoder(id);
    return decoder != nullptr ? Utf8ToWide(decoder->name) : std::wstring();
}

// The stream's own rate, average first: the probe's rate is held to what the renderer paces
// well and would show a 60 fps clip as 30. 0 when the container states neither.
double StreamFrameRate(const AVStream* stream) {
    if (stream == nullptr) {
        return 0;
    }
    for (const AVRational rate : {stream->avg_frame_rate, stream->r_frame_rate}) {
        if (rate.num > 0 && rate.den > 0) {
            return av_q2d(rate);
        }
    }
    return 0;
}

} // namespace

CMediaFacts ReadMediaFacts(CPlaybackInfo& info) {
    std::lock_guard lock(info.Lock());
    CMediaFacts facts;
    facts.path = info.FileName();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(PathToBytes(facts.path), error);
    facts.fileSize = error ? 0 : size;
    CMediaDuration duration;
    if (info.Duration(duration)) {
        facts.lengthMs = static_cast<std::int64_t>(duration.totalSeconds * 1000);
    }
    facts.width = info.Width();
    facts.height = info.Height();
    if (const AVCodecContext* video = info.GetCodecContext(STREAM_VIDEO)) {
        facts.hasVideo = true;
        facts.videoCodec = DecoderName(video->codec_id);
        facts.videoBitRate = static_cast<double>(video->bit_rate);
        facts.frameRate = StreamFrameRate(info.Stream(info.VideoIndex()));
    }
    if (const AVCodecContext* audio = info.GetCodecContext(STREAM_AUDIO)) {
        facts.hasAudio = true;
        facts.audioCodec = DecoderName(audio->codec_id);
        facts.channels = audio->ch_layout.nb_channels;
        facts.audioBitRate = static_cast<double>(audio->bit_rate);
        facts.sampleRate = audio->sample_rate;
        facts.sampleBits = av_get_bytes_per_sample(info.AudioConversion().targetFormat) * 8;
        const char* format = av_get_sample_fmt_name(audio->sample_fmt);
        facts.sampleFormat = format != nullptr ? Utf8ToWide(format) : std::wstring();
    }
    return facts;
}
