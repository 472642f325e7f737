#pragma once
// A stand-in for the source filter in decoder tests: parses a file, reads every packet into the
// queues at once (then the end markers), and drives the decoders the way the pins do.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/DecoderSource.h"
#include "media/PacketQueue.h"
#include "media/PlaybackInfo.h"
#include "media/VideoDecoder.h"

struct CDecodedVideo {
    int pictures = 0;                   // calls that produced a picture
    int samples = 0;                    // calls that produced a stamped sample
    std::vector<REFERENCE_TIME> stamps; // stamps of the samples with a picture, in call order
    std::vector<std::uint8_t> first;    // the first picture
};

class CDecoderHarness : public IDecoderSource {
public:
    explicit CDecoderHarness(const std::string& path, CSubtitle* subtitles = nullptr);

    HRESULT ParseResult() const { return m_parse; }
    // Reads the whole file into the queues, then puts an end marker into each.
    void FillAll();
    // Decodes until the video decoder reports the end, at the video's own size.
    CDecodedVideo
    DecodeVideo(const std::function<void(REFERENCE_TIME, const std::vector<std::uint8_t>&)>&
                    onPicture = {});
    // Decodes all audio with fills of the given capacity and returns the concatenated PCM.
    std::vector<std::uint8_t> DecodeAudio(int capacity);

    CPlaybackInfo& Media() override { return m_media; }
    CPacketQueueVideo* VideoQueue() override { return m_video.get(); }
    CPacketQueue2* AudioQueue() override { return m_audio.get(); }
    CPacketQueue2* SubtitleQueue() override { return m_subtitle.get(); }
    CSubtitle* Subtitles() override { return m_subtitles; }
    void WaitWhileVideoQueueLow() override {}

private:
    CPlaybackInfo m_media;
    HRESULT m_parse;
    std::unique_ptr<CPacketQueueVideo> m_video;
    std::unique_ptr<CPacketQueue2> m_audio;
    std::unique_ptr<CPacketQueue2> m_subtitle;
    CSubtitle* m_subtitles;
};
