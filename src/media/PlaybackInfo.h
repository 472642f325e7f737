#pragma once

// The opened media file: the FFmpeg format context, the chosen video, audio and subtitle streams
// with one open decoder each, the picture the video decoder decodes into, and the audio
// conversion state the audio decoder keeps up to date.
//
// Threads: the loading/UI thread parses and switches tracks, the demux worker reads and seeks,
// the pin delivery threads decode. ParseMediaContext, OpenStream, Duration, Width, Height,
// FrameRate, ReadFrame and Seek hold Lock() for their whole run; the decoders hold it while they
// decode, so reading a packet and decoding never overlap. Lock() is recursive so that the parse
// may open streams and a decoder may ask for sizes while it holds it. Lock order: see
// docs/architecture.md ("Locks").
//
// Embedded by value in the source filter; owns every FFmpeg object it hands out.

#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "media/FFmpegPtr.h"
#include "platform/graph/Result.h"

// Stream kinds are FFmpeg's media-type numbers.
enum EStreamKind : int { STREAM_VIDEO = 0, STREAM_AUDIO = 1, STREAM_SUBTITLE = 3 };

struct CMediaDuration {
    double totalSeconds = 0.0;
    int hours = 0;
    int minutes = 0;      // within the hour
    int seconds = 0;      // within the minute
    int microseconds = 0; // remainder below one second
};

// What the audio decoder converts from (the decoder's last output format) and to (interleaved
// signed 16-bit at the rate and layout, at most two channels, of the first audio stream opened:
// the audio pin's format, which a track switch keeps). Guarded by CPlaybackInfo::Lock().
struct CAudioConversion {
    CSwrContextPtr resampler; // null while the decoder's output needs no conversion
    AVSampleFormat sourceFormat = AV_SAMPLE_FMT_S16;
    AVSampleFormat targetFormat = AV_SAMPLE_FMT_S16;
    int sourceChannels = -1;
    int targetChannels = -1;
    std::int64_t sourceLayout = -1; // channel masks
    std::int64_t targetLayout = -1;
    int sourceRate = -1;
    int targetRate = -1;
};

class CPlaybackInfo {
public:
    // One frame at 30 frames per second, used to space frames that carry no time stamp.
    static constexpr REFERENCE_TIME kFrameDuration = 333333;

    CPlaybackInfo();
    virtual ~CPlaybackInfo();
    CPlaybackInfo(const CPlaybackInfo&) = delete;
    CPlaybackInfo& operator=(const CPlaybackInfo&) = delete;

    // Opens the file, chooses the best stream of each kind and opens their decoders. Attached
    // pictures (cover art) are no video stream; a stream whose decoder will not open is left
    // out of its kind's candidates and the next candidate is tried. A probe that left streams
    // incomplete is no failure: a decoder that lacks its picture size or sample rate learns it
    // from its first frames, and only a kind whose decoder yields none is left out. A file of
    // unknown length plays its sound without picture, or its picture when it has no sound.
    // S_OK, or E_FAIL when the file cannot be opened or holds no stream (streams opened before
    // a late failure stay open). Call once per object.
    HRESULT ParseMediaContext(const std::wstring& fileName);
    // Closes the decoder of the kind's current stream and opens the given stream's instead.
    // False (kind left without stream) when the stream has no usable decoder; index -1 or an
    // unknown kind returns false and changes nothing. The worker reads the indexes without the
    // lock: while it runs, switch through CVeltoSource::SelectStream, which stops it.
    bool OpenStream(int kind, int index);
    // Leaves the file without a current subtitle stream; its packets are dropped from now on.
    void CloseSubtitle();

    // False when the container does not know its duration.
    bool Duration(CMediaDuration& out);
    bool HasVideo() const { return m_videoIndex != -1; }
    bool HasAudio() const { return m_audioIndex != -1; }
    bool HasSubtitle() const { return m_subtitleIndex != -1; }
    // Null when the kind has no stream or is not video, audio or subtitle.
    AVCodecContext* GetCodecContext(int kind);
    int Width();
    int Height();
    // The first of real, average, codec and guessed frame rate that lies in [10, 30], else 30.
    float FrameRate();
    static constexpr REFERENCE_TIME FrameDuration() { return kFrameDuration; }

    // Reads the next packet into packet (which the caller owns): first those the parse read to
    // complete the streams' parameters, then the file's. True means the end of input: the end
    // of the file, or reads that keep failing without getting further into it. Other read
    // errors (a damaged stretch) are logged and skipped. False means a packet was read.
    bool ReadFrame(AVPacket* packet);
    // t in 100-ns units from the file's start (FileStart). 0 on success, -1 (all bits set) on
    // failure. Formats with discontinuous time stamps are sought by byte, in whole per cent of the
    // duration.
    std::int64_t Seek(REFERENCE_TIME t);
    // The container's start time in 100-ns units: positions and subtitle times count from it,
    // while packet stamps are the streams' own (a transport stream may start at 1001 s). 0 when
    // the container does not know it. Fixed by the parse; any thread, without the lock.
    REFERENCE_TIME FileStart() const;
    // The stored file name's extension is exactly "rmvb" or "rm".
    bool IsRealMedia() const;

    // Copy the candidate list of the kind and return its current stream index.
    int GetAudioStreams(std::vector<int>& out) const;
    int GetSubtitleStreams(std::vector<int>& out) const;

    std::recursive_mutex& Lock() { return m_lock; }
    // Null until a file is open.
    AVFormatContext* FormatContext() { return m_format.get(); }
    // Null for an index outside the stream table.
    AVStream* Stream(int index);
    // The frame the video decoder receives pictures into; null before a successful parse.
    AVFrame* Picture() { return m_picture.get(); }
    int VideoIndex() const { return m_videoIndex; }
    int AudioIndex() const { return m_audioIndex; }
    int SubtitleIndex() const { return m_subtitleIndex; }
    // Guarded by Lock().
    CAudioConversion& AudioConversion() { return m_audio; }
    const std::wstring& FileName() const { return m_fileName; }

    // Byte position for a byte seek to t in a file of fileSize bytes lasting durationMicros:
    // whole per cent of the duration, clamped to the file. -1 when the duration or size is not
    // positive (there is no position to compute).
    static std::int64_t ByteSeekTarget(std::int64_t fileSize, std::int64_t durationMicros,
                                       REFERENCE_TIME t);
    // The first candidate (num/den, skipped when either is 0) within [10, 30], else 30.
    static float PickFrameRate(std::span<const AVRational> candidates);
    // The channel mask the audio decoder is opened for: stereo when more than two channels,
    // the decoder's own mask when it matches its channel count, else the default for the count,
    // without the stereo-downmix bits.
    static std::int64_t WantedLayout(const AVChannelLayout& decoderLayout);
    // The layout's own channel mask when it names as many channels as it has, else the default
    // mask for its channel count.
    static std::int64_t LayoutMask(const AVChannelLayout& layout);

private:
    int& IndexOf(int kind);
    CAVCodecContextPtr& ContextOf(int kind);
    std::vector<int>& CandidatesOf(int kind);
    // Opens FFmpeg's best candidate of the kind (related: the stream it should go with, or -1),
    // else the first other candidate whose decoder opens; the kind has no stream when none does.
    void OpenBestStream(int kind, int related);
    void OpenAudio(AVCodecContext* context, AVDictionary** options);
    // Fixes the audio pin's format from the first audio stream with a known rate, and makes
    // the next decoded frame set up the resampler.
    void SetAudioTarget(const AVCodecContext& context);
    // Closes the kind's decoder and leaves the kind without stream or candidates.
    void CloseStream(int kind);
    // Decodes the file's first packets until the chosen video and audio decoders know their
    // picture size and pixel format, sample rate and channels; the packets are kept for
    // ReadFrame. A kind still incomplete after them is closed. (StreamParameters.cpp)
    void CompleteParameters();
    // ReadFrame without the held packets; the media lock must be held.
    bool ReadFromFile(AVPacket* packet);

    CAVFormatContextPtr m_format;
    CAVFramePtr m_picture;
    int m_videoIndex = -1;
    int m_audioIndex = -1;
    int m_subtitleIndex = -1;
    CAVCodecContextPtr m_videoContext; // each: the open decoder of the kind's current stream
    CAVCodecContextPtr m_audioContext;
    CAVCodecContextPtr m_subtitleContext;
    std::recursive_mutex m_lock;
    std::wstring m_fileName;
    std::vector<int> m_videoCandidates;
    std::vector<int> m_audioCandidates;
    std::vector<int> m_subtitleCandidates;
    CAudioConversion m_audio; // guarded by m_lock
    // Read by CompleteParameters and not yet handed out by ReadFrame; guarded by m_lock.
    std::deque<CAVPacketPtr> m_heldPackets;
};
