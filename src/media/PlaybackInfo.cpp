#include "media/PlaybackInfo.h"

#include <algorithm>
#include <bit>

#include "core/Log.h"
#include "core/WideText.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/opt.h>
}

namespace {

// Frame rates outside this range are taken for time-base artefacts rather than real rates.
constexpr double kMinFrameRate = 10.0;
constexpr double kMaxFrameRate = 30.0;
constexpr float kDefaultFrameRate = 30.0f;
// Failed reads in a row that get no further into the file before it counts as ended: a demuxer
// that fails again at the same place will not get past it.
constexpr int kMaxStalledReads = 64;
// The bits of the "stereo downmix" pseudo channels, which no output device plays.
constexpr std::uint64_t kStereoDownmixBits = AV_CH_STEREO_LEFT | AV_CH_STEREO_RIGHT;
// One video decoding thread per core, at most this many (FFmpeg's own ceiling for a count it
// picks). FFmpeg's own pick, one more than the cores, keeps no core busier when the player's
// converter and the X server run beside the decoder, but every frame thread holds a picture
// (3 MB at 1080p) and delays the next one: 1080p playback on 2 cores peaks 7 to 9 MB lower.
constexpr int kMaxDecodeThreads = 16;

const char* KindName(int kind) {
    switch (kind) {
    case STREAM_VIDEO:
        return "Video";
    case STREAM_AUDIO:
        return "Audio";
    default:
        return "Subtitle";
    }
}

bool IsKnownKind(int kind) {
    return kind == STREAM_VIDEO || kind == STREAM_AUDIO || kind == STREAM_SUBTITLE;
}

} // namespace

CPlaybackInfo::CPlaybackInfo() = default;

CPlaybackInfo::~CPlaybackInfo() {
    // Decoders and the resampler go before the format context whose streams they were made for.
    m_audio.resampler.reset();
    m_videoContext.reset();
    m_audioContext.reset();
    m_subtitleContext.reset();
    m_picture.reset();
    m_format.reset();
}

int& CPlaybackInfo::IndexOf(int kind) {
    return kind == STREAM_VIDEO ? m_videoIndex
                                : (kind == STREAM_AUDIO ? m_audioIndex : m_subtitleIndex);
}

CAVCodecContextPtr& CPlaybackInfo::ContextOf(int kind) {
    return kind == STREAM_VIDEO ? m_videoContext
                                : (kind == STREAM_AUDIO ? m_audioContext : m_subtitleContext);
}

std::vector<int>& CPlaybackInfo::CandidatesOf(int kind) {
    return kind == STREAM_VIDEO ? m_videoCandidates
                                : (kind == STREAM_AUDIO ? m_audioCandidates : m_subtitleCandidates);
}

void CPlaybackInfo::OpenBestStream(int kind, int related) {
    std::vector<int>& candidates = CandidatesOf(kind);
    IndexOf(kind) = -1;
    if (candidates.empty()) {
        return;
    }
    // FFmpeg's choice among all the kind's streams, when it is one we can play; else the
    // first candidate.
    const int best = av_find_best_stream(m_format.get(), static_cast<AVMediaType>(kind), -1,
                                         related, nullptr, 0);
    const auto chosen = std::find(candidates.begin(), candidates.end(), best);
    std::vector<int> order;
    order.push_back(chosen != candidates.end() ? best : candidates.front());
    for (int index : candidates) {
        if (index != order.front()) {
            order.push_back(index);
        }
    }
    // A stream whose decoder will not open is left out; the next one of its kind plays instead.
    for (int index : order) {
        if (OpenStream(kind, index)) {
            return;
        }
        candidates.erase(std::find(candidates.begin(), candidates.end(), index));
    }
    IndexOf(kind) = -1;
}

HRESULT CPlaybackInfo::ParseMediaContext(const std::wstring& fileName) {
    static constexpr char kFunction[] = "CPlaybackInfo::ParseMediaContext";
    std::lock_guard lock(m_lock);
    m_videoContext.reset();
    m_audioContext.reset();
    m_subtitleContext.reset();
    m_picture.reset();
    m_format.reset();
    m_videoIndex = m_audioIndex = m_subtitleIndex = -1;
    m_heldPackets.clear();
    m_videoCandidates.clear();
    m_audioCandidates.clear();
    m_subtitleCandidates.clear();

    av_log_set_flags(AV_LOG_SKIP_REPEATED);
    const std::string name = PathToBytes(fileName);
    Log({kFunction, LOG_LEVEL_INFO}, "Try parse media file: {%s}", name.c_str());

    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, name.c_str(), nullptr, nullptr) != 0) {
        Log({kFunction, LOG_LEVEL_INFO}, "Couldn't open file: {%s}", name.c_str());
        return E_FAIL;
    }
    m_format.reset(opened);
    m_format->flags |= AVFMT_FLAG_GENPTS;
    if (avformat_find_stream_info(opened, nullptr) < 0) {
        Log({kFunction, LOG_LEVEL_INFO}, "Couldn't find stream information!");
        // The probe gives up when no stream told it everything (a damaged header, a stream that
        // starts late); the streams it found may still decode, and their decoders find out the
        // rest from their first frames.
        if (opened->nb_streams == 0) {
            return E_FAIL;
        }
    }

    for (unsigned i = 0; i < opened->nb_streams; ++i) {
        const AVStream* stream = opened->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters == nullptr || avcodec_find_decoder(parameters->codec_id) == nullptr) {
            continue;
        }
        // Cover art (MP3, FLAC, M4A, Ogg) comes as a one-packet video stream: it is no video to
        // play, and waiting for its second frame would hold up the load and every seek.
        if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
            continue;
        }
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO ||
            parameters->codec_type == AVMEDIA_TYPE_AUDIO ||
            parameters->codec_type == AVMEDIA_TYPE_SUBTITLE) {
            CandidatesOf(parameters->codec_type).push_back(static_cast<int>(i));
        }
    }
    // Audio goes with the chosen video stream, subtitles with the chosen audio (else video).
    OpenBestStream(STREAM_VIDEO, -1);
    OpenBestStream(STREAM_AUDIO, m_videoIndex);
    OpenBestStream(STREAM_SUBTITLE, m_audioIndex >= 0 ? m_audioIndex : m_videoIndex);
    CompleteParameters();
    if (HasVideo() && HasAudio() && m_format->duration == AV_NOPTS_VALUE) {
        // Without a length there is no seek bar to follow: such files play their sound without
        // picture. A file with nothing but video still shows it rather than fail.
        Log({kFunction, LOG_LEVEL_INFO}, "Media duration is N/A; playing without video");
        CloseStream(STREAM_VIDEO);
    }

    m_picture.reset(av_frame_alloc());
    if (!m_picture) {
        Log({kFunction, LOG_LEVEL_INFO}, "Could not alloc frame!");
        return E_FAIL;
    }
    m_fileName = fileName;
    Log({kFunction, LOG_LEVEL_INFO},
        "Successfully parsed media file! Video: %d, Audio: %d, Subtitle: %d", HasVideo() ? 1 : 0,
        HasAudio() ? 1 : 0, HasSubtitle() ? 1 : 0);
    return S_OK;
}

std::int64_t CPlaybackInfo::LayoutMask(const AVChannelLayout& layout) {
    const std::uint64_t mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
    if (mask != 0 && std::popcount(mask) == layout.nb_channels) {
        return static_cast<std::int64_t>(mask);
    }
    AVChannelLayout fallback{};
    av_channel_layout_default(&fallback, layout.nb_channels);
    return fallback.order == AV_CHANNEL_ORDER_NATIVE ? static_cast<std::int64_t>(fallback.u.mask)
                                                     : 0;
}

std::int64_t CPlaybackInfo::WantedLayout(const AVChannelLayout& decoderLayout) {
    std::uint64_t mask = decoderLayout.nb_channels > 2
                             ? AV_CH_LAYOUT_STEREO
                             : static_cast<std::uint64_t>(LayoutMask(decoderLayout));
    mask &= ~kStereoDownmixBits;
    if (mask == 0) {
        // Nothing left but pseudo channels (or no channels at all): play it as plain stereo.
        mask = AV_CH_LAYOUT_STEREO;
    }
    return static_cast<std::int64_t>(mask);
}

void CPlaybackInfo::OpenAudio(AVCodecContext* context, AVDictionary** options) {
    if (context->ch_layout.nb_channels > 2) {
        // Decoders that can downmix themselves do it better than the resampler; the others
        // ignore the option and the resampler downmixes to the stereo target.
        av_dict_set(options, "downmix", "stereo", 0);
    }
    // A rate the probe did not find is taken from the first decoded frame (CompleteParameters).
    if (context->sample_rate > 0) {
        SetAudioTarget(*context);
    }
}

void CPlaybackInfo::SetAudioTarget(const AVCodecContext& context) {
    if (m_audio.targetRate <= 0) {
        // The first audio stream fixes the format the audio pin offers and stays connected
        // with; a later track of another rate or layout is resampled to it, or it would play
        // at the wrong speed.
        const std::int64_t layout = WantedLayout(context.ch_layout);
        m_audio.targetRate = context.sample_rate;
        m_audio.targetLayout = layout;
        m_audio.targetChannels = std::popcount(static_cast<std::uint64_t>(layout));
    }
    // The resampler is rebuilt for the new decoder's first frame unless it matches the target.
    m_audio.resampler.reset();
    m_audio.sourceFormat = m_audio.targetFormat = AV_SAMPLE_FMT_S16;
    m_audio.sourceRate = m_audio.targetRate;
    m_audio.sourceLayout = m_audio.targetLayout;
    m_audio.sourceChannels = m_audio.targetChannels;
}

bool CPlaybackInfo::OpenStream(int kind, int index) {
    static constexpr char kFunction[] = "CPlaybackInfo::OpenStream";
    std::lock_guard lock(m_lock);
    if (index == -1 || !IsKnownKind(kind) || !m_format || index < 0 ||
        index >= static_cast<int>(m_format->nb_streams)) {
        return false;
    }
    const char* kindName = KindName(kind);
    ContextOf(kind).reset();
    IndexOf(kind) = index;
    AVStream* stream = m_format->streams[index];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (decoder == nullptr) {
        Log({kFunction, LOG_LEVEL_INFO}, "%s codec not found! [CodecID: %d]", kindName,
            static_cast<int>(stream->codecpar->codec_id));
        IndexOf(kind) = -1;
        return false;
    }

    CAVCodecContextPtr context(avcodec_alloc_context3(decoder));
    bool usable = context && avcodec_parameters_to_context(context.get(), stream->codecpar) >= 0 &&
                  context->codec_type == static_cast<AVMediaType>(kind);
    AVDictionary* options = nullptr;
    if (usable) {
        context->pkt_timebase = stream->time_base;
        if (kind == STREAM_VIDEO) {
            if (context->time_base.num > 1000 && context->time_base.den == 1) {
                context->time_base.den = 1000;
            }
            context->thread_count = std::clamp(av_cpu_count(), 1, kMaxDecodeThreads);
        } else if (kind == STREAM_AUDIO) {
            OpenAudio(context.get(), &options);
        }
    }
    if (!usable || avcodec_open2(context.get(), decoder, &options) < 0) {
        av_dict_free(&options);
        Log({kFunction, LOG_LEVEL_INFO}, "Could not open %s codec: %s", kindName, decoder->name);
        IndexOf(kind) = -1;
        return false;
    }
    av_dict_free(&options);
    avcodec_flush_buffers(context.get());
    ContextOf(kind) = std::move(context);
    Log({kFunction, LOG_LEVEL_INFO}, "%s codec loaded: %s", kindName, decoder->name);
    return true;
}

bool CPlaybackInfo::Duration(CMediaDuration& out) {
    std::lock_guard lock(m_lock);
    if (!m_format || m_format->duration == AV_NOPTS_VALUE) {
        Log({"CPlaybackInfo::Duration", LOG_LEVEL_INFO}, "Media duration is N/A");
        return false;
    }
    const std::int64_t duration = m_format->duration;
    out.totalSeconds = static_cast<double>(duration) / AV_TIME_BASE;
    const auto whole = static_cast<std::int32_t>(duration / AV_TIME_BASE);
    out.hours = whole / 3600;
    out.minutes = (whole / 60) % 60;
    out.seconds = whole % 60;
    out.microseconds = static_cast<int>(duration % AV_TIME_BASE);
    return true;
}

void CPlaybackInfo::CloseSubtitle() {
    std::lock_guard lock(m_lock);
    m_subtitleIndex = -1;
}

AVCodecContext* CPlaybackInfo::GetCodecContext(int kind) {
    if (!IsKnownKind(kind) || IndexOf(kind) == -1) {
        return nullptr;
    }
    return ContextOf(kind).get();
}

int CPlaybackInfo::Width() {
    std::lock_guard lock(m_lock);
    return m_videoContext && HasVideo() ? m_videoContext->width : 0;
}

int CPlaybackInfo::Height() {
    std::lock_guard lock(m_lock);
    return m_videoContext && HasVideo() ? m_videoContext->height : 0;
}

float CPlaybackInfo::PickFrameRate(std::span<const AVRational> candidates) {
    for (const AVRational& rate : candidates) {
        if (rate.num == 0 || rate.den == 0) {
            continue;
        }
        const double value = av_q2d(rate);
        if (value >= kMinFrameRate && value <= kMaxFrameRate) {
            return static_cast<float>(value);
        }
    }
    return kDefaultFrameRate;
}

float CPlaybackInfo::FrameRate() {
    std::lock_guard lock(m_lock);
    AVStream* stream = Stream(m_videoIndex);
    if (stream == nullptr || !m_videoContext) {
        return kDefaultFrameRate;
    }
    const AVRational candidates[] = {stream->r_frame_rate, stream->avg_frame_rate,
                                     av_inv_q(m_videoContext->time_base),
                                     av_guess_frame_rate(m_format.get(), stream, m_picture.get())};
    return PickFrameRate(candidates);
}

bool CPlaybackInfo::ReadFrame(AVPacket* packet) {
    std::lock_guard lock(m_lock);
    if (!m_format || packet == nullptr) {
        return true;
    }
    if (!m_heldPackets.empty()) {
        av_packet_move_ref(packet, m_heldPackets.front().get());
        m_heldPackets.pop_front();
        return false;
    }
    return ReadFromFile(packet);
}

bool CPlaybackInfo::ReadFromFile(AVPacket* packet) {
    static constexpr char kFunction[] = "CPlaybackInfo::ReadFrame";
    AVIOContext* input = m_format->pb;
    // The furthest byte reached; a failed read that gets no further than it made no progress.
    std::int64_t furthest = input != nullptr ? avio_tell(input) : -1;
    for (int stalled = 0;;) {
        const int result = av_read_frame(m_format.get(), packet);
        if (result >= 0) {
            return false;
        }
        if (result == AVERROR_EOF || (input != nullptr && avio_feof(input))) {
            return true;
        }
        // A damaged stretch of the file: a demuxer that finds its footing again reads on behind it.
        const std::int64_t position = input != nullptr ? avio_tell(input) : -1;
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(result, text, sizeof text);
        if (position > furthest) {
            furthest = position;
            stalled = 0;
        } else if (++stalled >= kMaxStalledReads) {
            Log({kFunction, LOG_LEVEL_INFO},
                "Read error at byte %lld: %s; no progress after %d tries, ending the input",
                static_cast<long long>(position), text, kMaxStalledReads);
            return true;
        }
        Log({kFunction, LOG_LEVEL_INFO}, "Read error at byte %lld: %s; skipped",
            static_cast<long long>(position), text);
    }
}

std::int64_t CPlaybackInfo::ByteSeekTarget(std::int64_t fileSize, std::int64_t durationMicros,
                                           REFERENCE_TIME t) {
    const std::int64_t onePercent = av_rescale(durationMicros, 1000000, UNITS);
    if (fileSize <= 0 || onePercent <= 0) {
        return -1;
    }
    const std::int64_t percent = std::clamp<std::int64_t>(t / onePercent, 0, 100);
    // Integer arithmetic: a floating per cent would land a byte short for most values.
    return fileSize / 100 * percent + fileSize % 100 * percent / 100;
}

std::int64_t CPlaybackInfo::Seek(REFERENCE_TIME t) {
    std::lock_guard lock(m_lock);
    if (!m_format) {
        return -1;
    }
    std::int64_t target = 0;
    int flags = 0;
    if (m_format->iformat->flags & AVFMT_TS_DISCONT) {
        target = ByteSeekTarget(m_format->pb ? avio_size(m_format->pb) : -1, m_format->duration, t);
        if (target < 0) {
            return -1;
        }
        flags = AVSEEK_FLAG_BYTE;
    } else {
        // Stamps count from the container's start: on a file starting at 1000 s, a target
        // counted from 0 lies before the first packet and every seek lands at the start.
        const REFERENCE_TIME start = FileStart();
        target = av_rescale(start > 0 && t > INT64_MAX - start ? INT64_MAX : t + start,
                            AV_TIME_BASE, UNITS);
        flags = AVSEEK_FLAG_BACKWARD;
    }
    const auto flushAll = [this] {
        for (AVCodecContext* context :
             {m_videoContext.get(), m_audioContext.get(), m_subtitleContext.get()}) {
            if (context != nullptr) {
                avcodec_flush_buffers(context);
            }
        }
    };
    flushAll();
    m_heldPackets.clear();
    if (avformat_seek_file(m_format.get(), -1, INT64_MIN, target, INT64_MAX, flags) < 0) {
        return -1;
    }
    flushAll();
    return 0;
}

REFERENCE_TIME CPlaybackInfo::FileStart() const {
    // Set by the parse and never changed after it, so the decoders read it without the lock.
    if (!m_format || m_format->start_time == AV_NOPTS_VALUE) {
        return 0;
    }
    return av_rescale(m_format->start_time, UNITS, AV_TIME_BASE);
}

bool CPlaybackInfo::IsRealMedia() const {
    const auto dot = m_fileName.rfind(L'.');
    if (dot == std::wstring::npos) {
        return false;
    }
    const std::wstring extension = m_fileName.substr(dot + 1);
    return extension == L"rmvb" || extension == L"rm";
}

int CPlaybackInfo::GetAudioStreams(std::vector<int>& out) const {
    out = m_audioCandidates;
    return m_audioIndex;
}

int CPlaybackInfo::GetSubtitleStreams(std::vector<int>& out) const {
    out = m_subtitleCandidates;
    return m_subtitleIndex;
}

AVStream* CPlaybackInfo::Stream(int index) {
    if (!m_format || index < 0 || index >= static_cast<int>(m_format->nb_streams)) {
        return nullptr;
    }
    return m_format->streams[index];
}
