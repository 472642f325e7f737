#pragma once

// Owning handles for the FFmpeg objects the media layer keeps, so that every early return and
// every error path frees them. Each deleter accepts null.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

struct CAVPacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct CAVFrameDeleter {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct CAVCodecContextDeleter {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct CAVFormatContextDeleter {
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
struct CSwrContextDeleter {
    void operator()(SwrContext* p) const { swr_free(&p); }
};
struct CSwsContextDeleter {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};

using CAVPacketPtr = std::unique_ptr<AVPacket, CAVPacketDeleter>;
using CAVFramePtr = std::unique_ptr<AVFrame, CAVFrameDeleter>;
using CAVCodecContextPtr = std::unique_ptr<AVCodecContext, CAVCodecContextDeleter>;
using CAVFormatContextPtr = std::unique_ptr<AVFormatContext, CAVFormatContextDeleter>;
using CSwrContextPtr = std::unique_ptr<SwrContext, CSwrContextDeleter>;
using CSwsContextPtr = std::unique_ptr<SwsContext, CSwsContextDeleter>;
