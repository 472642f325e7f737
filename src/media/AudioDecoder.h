#pragma once

// Fills audio samples with interleaved signed 16-bit PCM at the file's rate and at most two
// channels, from the audio queue's packets, converting with libswresample where the decoder's
// output differs from that target.
//
// One decoder per audio pin; every call runs on that pin's delivery thread. It holds the
// CPlaybackInfo lock around each decode-and-convert step (never while it waits for packets).

#include <cstdint>
#include <vector>

#include "media/FFmpegPtr.h"
#include "media/PacketQueue.h"
#include "platform/graph/Result.h"

class IDecoderSource;

class CVeltoAudioDecoder {
public:
    // A fill aims at this many bytes (about one second of 48 kHz stereo) unless the stream ends.
    static constexpr int kFillTarget = 192000;

    CVeltoAudioDecoder();
    virtual ~CVeltoAudioDecoder() = default;
    CVeltoAudioDecoder(const CVeltoAudioDecoder&) = delete;
    CVeltoAudioDecoder& operator=(const CVeltoAudioDecoder&) = delete;

    // Copies decoded PCM to dst until min(kFillTarget, capacity) bytes are there; *bytes gets
    // the count. Audio that does not fit stays pending for the next call (nothing is lost).
    // first: stamp of the packet the first byte came from (0 when unknown); next: stamp of the
    // audio queue's head, when there is one. False at the end of stream (after the decoder is
    // drained; the bytes filled so far are valid) and when the queue is aborted.
    bool FillAudio(IDecoderSource& source, std::uint8_t* dst, int* bytes, int capacity,
                   REFERENCE_TIME* first, REFERENCE_TIME* next);
    // Forgets pending audio, the current packet and the end of stream (the pin stops).
    void ResetDecoder();

private:
    // Makes the next chunk of converted audio pending. False at the end of stream or abort.
    bool AudioDecodeFrame(IDecoderSource& source);
    // Receives one frame and converts it into m_chunk; 0, AVERROR(EAGAIN) or AVERROR_EOF.
    int ReceiveAndConvert(IDecoderSource& source, AVCodecContext* context);
    bool Convert(IDecoderSource& source, const AVFrame& frame);

    CAVFramePtr m_frame;
    CPacket m_packet;                  // the packet being decoded, sent or waiting to be sent
    bool m_packetSent = true;          // m_packet (if any) was accepted by the decoder
    bool m_draining = false;           // the end marker was taken and a flush sent
    std::vector<std::uint8_t> m_chunk; // converted audio not yet copied out
    std::size_t m_chunkOffset = 0;     // bytes of m_chunk already copied out
    REFERENCE_TIME m_chunkStamp = 0;   // stamp of the packet m_chunk came from
};
