#include "app/dialogs/DlgMediaInfoRows.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <QString>

#include "core/WideText.h"
#include "media/PlaybackInfo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

namespace {

constexpr double kKilo = 1024.0;

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

// Numbers are written the same in every locale ("1.5", never "1,5").
std::wstring Fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals).toStdWString();
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

std::vector<CMediaInfoRow> MediaInfoRows(const CMediaFacts& facts) {
    const auto number = [](auto value) { return std::to_wstring(value); };
    std::vector<CMediaInfoRow> rows = {
        {L"General:", L""},
        {L"+ File Size:", FileSizeText(facts.fileSize)},
        {L"+ File Length:", LengthText(facts.lengthMs)},
        {L"+ Resolution:", number(facts.width) + L" x " + number(facts.height)},
    };
    if (facts.hasVideo) {
        rows.insert(rows.end(), {
                                    {L"", L""},
                                    {L"Video:", L""},
                                    {L"+ Codec:", facts.videoCodec},
                                    {L"+ Bit Rate:", Fixed(facts.videoBitRate / kKilo, 0) + L" kb"},
                                    {L"+ Frame Rate:", Fixed(facts.frameRate, 1) + L" fps"},
                                });
    }
    if (facts.hasAudio) {
        rows.insert(rows.end(), {
                                    {L"", L""},
                                    {L"Audio:", L""},
                                    {L"+ Codec:", facts.audioCodec},
                                    {L"+ Channels:", number(facts.channels)},
                                    {L"+ Bit Rate:", Fixed(facts.audioBitRate / kKilo, 0) + L" kb"},
                                    {L"+ Sample Rate:", number(facts.sampleRate) + L" hz"},
                                    {L"+ Sample Bits:", number(facts.sampleBits)},
                                    {L"+ Sample Format:", facts.sampleFormat},
                                });
    }
    return rows;
}

std::wstring FileSizeText(std::uint64_t bytes) {
    const double kb = static_cast<double>(bytes) / kKilo;
    const double mb = kb / kKilo;
    const double gb = mb / kKilo;
    if (gb >= 1) {
        return Fixed(gb, 1) + L"GB";
    }
    if (mb >= 1) {
        return Fixed(mb, 1) + L"MB";
    }
    if (kb < 1) {
        return std::to_wstring(bytes);
    }
    return Fixed(kb, 1) + L"KB";
}

std::wstring LengthText(std::int64_t milliseconds) {
    const std::int64_t seconds = std::max<std::int64_t>(milliseconds, 0) / 1000;
    const std::int64_t hours = seconds / 3600;
    const QString clock = QString::asprintf("%.2d:%.2d", static_cast<int>(seconds / 60 % 60),
                                            static_cast<int>(seconds % 60));
    return (hours > 0 ? std::to_wstring(hours) + L":" : std::wstring()) + clock.toStdWString();
}
