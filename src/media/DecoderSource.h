#pragma once

// What the decoders see of the source filter. Implemented by the source filter and by test
// harnesses. Called on the pin delivery threads; the returned objects live as long as the
// source.

class CPlaybackInfo;
class CPacketQueue2;
class CPacketQueueVideo;
class CSubtitle;

class IDecoderSource {
public:
    virtual CPlaybackInfo& Media() = 0;
    virtual CPacketQueueVideo* VideoQueue() = 0; // null when the file has no video
    virtual CPacketQueue2* AudioQueue() = 0;     // null when the file has no audio
    virtual CPacketQueue2* SubtitleQueue() = 0;  // null when the file has no subtitle stream
    virtual CSubtitle* Subtitles() = 0;          // null allowed (nothing is drawn)
    // Returns once the video queue is not low: while it holds 1 to 4 records and its last one is
    // not the end marker, the video decoder waits here for the worker to get further ahead.
    // Woken by the queue's Put, PutEnd, Flush and Abort.
    virtual void WaitWhileVideoQueueLow() = 0;

protected:
    ~IDecoderSource() = default;
};
