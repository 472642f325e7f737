#pragma once

// Turns video packets from the video queue into pictures in packed 24-bit B, G, R (byte 0 blue,
// top row first, stride width x 3, no padding) at the size of the pin's connected media type,
// with subtitles drawn over them at that size; or lends the decoded picture itself with its
// subtitles as an overlay that the renderer draws at the picture's size on screen. Subtitles
// are timed from the file's start (the container's start time), not from the streams' raw
// stamps.
//
// One decoder per video pin; every call runs on that pin's delivery thread. It holds the
// CPlaybackInfo lock while it decodes (not while it waits for packets).

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "media/FFmpegPtr.h"
#include "media/Subtitle.h"
#include "media/SubtitleOverlay.h"
#include "platform/graph/Result.h"
#include "platform/graph/VideoPicture.h"

class IDecoderSource;

// The output picture as the pin's connected bitmap header gives it: height < 0 means top-down
// rows (the frame is written top row first either way). Only bitCount 24 is converted.
struct CFrameFormat {
    int width = 0;
    int height = 0;
    int bitCount = 0;
};

// Converts picture (any pixel format libswscale reads) into buffer, which holds
// width x |height| x bitCount / 8 bytes. The scaler is (re)made whenever the picture's size or
// pixel format or the output size differs from the one it was made for. False (logged, buffer
// untouched or partly written) when the format cannot be converted.
bool copy_buffer(std::uint8_t* buffer, const AVFrame& picture, const CFrameFormat& out,
                 CSwsContextPtr& scaler);

class CVeltoVideoDecoder {
public:
    CVeltoVideoDecoder() = default;
    virtual ~CVeltoVideoDecoder() = default;
    CVeltoVideoDecoder(const CVeltoVideoDecoder&) = delete;
    CVeltoVideoDecoder& operator=(const CVeltoVideoDecoder&) = delete;

    // Decodes the next packet of the video queue into buffer (see copy_buffer for its size).
    // gotPicture false: the packet gave no picture (decoder delay) and buffer keeps its former
    // contents. stamp: the picture's start (0 when the packet was corrupt and skipped: call
    // again); next: the next packet's stamp, or stamp when unknown. At the end marker the
    // decoder is drained: the pictures it still holds come out one per call, stamped on from the
    // last stamp by the frame duration. False when no picture is left, or at once when the
    // queue is aborted. With `lent` given, the picture is lent through it (a reference to the
    // decoder's frame, its subtitles as the overlay) and buffer is left untouched; otherwise, or
    // when the picture cannot be lent, *lent is null and the picture is in buffer.
    bool DecodeFrameToBuffer(IDecoderSource& source, const CFrameFormat& out, std::uint8_t* buffer,
                             int* bytesUsed, bool* gotPicture, REFERENCE_TIME* stamp,
                             REFERENCE_TIME* next,
                             std::shared_ptr<const CVideoPicture>* lent = nullptr);
    // Frees the scaler and forgets the end of stream (the pin stops: seek or buffer change).
    void ResetScaler();

private:
    // Returns an AVERROR code; 0 when a picture was received into the playback info's picture.
    int Receive(IDecoderSource& source, AVCodecContext* context);
    void DecodeSubtitle(IDecoderSource& source);
    // The subtitles to draw over the picture stamped `stamp`; null when none are drawn.
    std::shared_ptr<const IPictureOverlay> SubtitleOverlay(IDecoderSource& source,
                                                           REFERENCE_TIME stamp) const;

    CSwsContextPtr m_scaler;
    bool m_draining = false;        // the end marker was taken and the codec sent a flush
    REFERENCE_TIME m_lastStamp = 0; // stamp of the last picture handed out
    // Stamps of the packets sent since the last reset, oldest first, as many as frame threads
    // hold pictures back plus one: a picture belongs to the oldest of them.
    std::deque<REFERENCE_TIME> m_sentStamps;
    CSubtitleFrame m_subtitles; // what the subtitle stream last gave (its times unset)
};
