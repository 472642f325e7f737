#include "support/DvdSubtitleTrack.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "MediaFixture.h"
#include "media/FFmpegPtr.h"

namespace {

// DVD subtitles choose their colours from a 16-entry palette; giving the primaries exactly keeps
// the encoder from approximating the boxes' colours.
constexpr char kPalette[] = "000000,ff0000,00ff00,0000ff,ffffff,ffff00,ff00ff,00ffff,"
                            "808080,800000,008000,000080,c0c0c0,808000,800080,008080";
// Room for the run-length coded bitmap of any cue a test makes.
constexpr int kPacketCapacity = 1 << 20;
constexpr AVRational kMilliseconds{1, 1000};
// A DVD subtitle has one transparent and three visible colours.
constexpr std::size_t kMaxBoxes = 3;

struct COutputDeleter {
    void operator()(AVFormatContext* p) const {
        if (p->pb != nullptr) {
            avio_closep(&p->pb);
        }
        avformat_free_context(p);
    }
};
using COutputPtr = std::unique_ptr<AVFormatContext, COutputDeleter>;

// Encodes the cue into packet bytes; "" or an error text.
std::string Encode(const CDvdBitmapCue& cue, AVCodecContext* encoder, std::vector<uint8_t>& out) {
    if (cue.w <= 0 || cue.h <= 0 || cue.boxes.size() > kMaxBoxes) {
        return "bad cue";
    }
    std::vector<std::uint8_t> indexes(static_cast<std::size_t>(cue.w) * cue.h, 0);
    std::array<std::uint32_t, 4> palette{}; // colour 0 stays transparent
    for (std::size_t i = 0; i < cue.boxes.size(); ++i) {
        const CDvdBox& box = cue.boxes[i];
        palette[i + 1] = 0xFF000000u | box.colour;
        for (int row = std::max(box.y, 0); row < std::min(box.y + box.h, cue.h); ++row) {
            for (int column = std::max(box.x, 0); column < std::min(box.x + box.w, cue.w);
                 ++column) {
                indexes[static_cast<std::size_t>(row) * cue.w + column] =
                    static_cast<std::uint8_t>(i + 1);
            }
        }
    }
    AVSubtitleRect rect{};
    rect.type = SUBTITLE_BITMAP;
    rect.x = cue.x;
    rect.y = cue.y;
    rect.w = cue.w;
    rect.h = cue.h;
    rect.nb_colors = static_cast<int>(palette.size());
    rect.data[0] = indexes.data();
    rect.linesize[0] = cue.w;
    rect.data[1] = reinterpret_cast<std::uint8_t*>(palette.data());
    rect.linesize[1] = static_cast<int>(palette.size() * sizeof(std::uint32_t));
    AVSubtitleRect* rects[] = {&rect};
    AVSubtitle subtitle{};
    subtitle.num_rects = 1;
    subtitle.rects = rects;
    subtitle.start_display_time = 0;
    subtitle.end_display_time = static_cast<std::uint32_t>(cue.durationMs);
    subtitle.pts = av_rescale_q(cue.startMs, kMilliseconds, AV_TIME_BASE_Q);
    out.assign(kPacketCapacity, 0);
    const int size = avcodec_encode_subtitle(encoder, out.data(), kPacketCapacity, &subtitle);
    if (size <= 0) {
        return "avcodec_encode_subtitle failed";
    }
    out.resize(static_cast<std::size_t>(size));
    return "";
}

std::string Write(const std::string& path, const CDvdBitmapCue& cue, int videoWidth,
                  int videoHeight) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
    CAVCodecContextPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!encoder) {
        return "no DVD subtitle encoder";
    }
    encoder->time_base = kMilliseconds;
    encoder->width = videoWidth;
    encoder->height = videoHeight;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "palette", kPalette, 0);
    const int opened = avcodec_open2(encoder.get(), codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        return "avcodec_open2 failed";
    }
    std::vector<std::uint8_t> bytes;
    if (std::string error = Encode(cue, encoder.get(), bytes); !error.empty()) {
        return error;
    }

    AVFormatContext* allocated = nullptr;
    if (avformat_alloc_output_context2(&allocated, nullptr, "matroska", path.c_str()) < 0) {
        return "no Matroska muxer";
    }
    COutputPtr output(allocated);
    AVStream* stream = avformat_new_stream(output.get(), nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, encoder.get()) < 0) {
        return "avformat_new_stream failed";
    }
    stream->time_base = kMilliseconds;
    if (avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(output.get(), nullptr) < 0) {
        return "cannot start " + path;
    }
    CAVPacketPtr packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0) {
        return "av_new_packet failed";
    }
    std::copy(bytes.begin(), bytes.end(), packet->data);
    packet->stream_index = stream->index;
    packet->pts = packet->dts = av_rescale_q(cue.startMs, kMilliseconds, stream->time_base);
    packet->duration = av_rescale_q(cue.durationMs, kMilliseconds, stream->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    if (av_interleaved_write_frame(output.get(), packet.get()) < 0 ||
        av_write_trailer(output.get()) < 0) {
        return "cannot write " + path;
    }
    return "";
}

} // namespace

std::string MakeDvdSubtitleTrack(const std::string& name, const CDvdBitmapCue& cue, int videoWidth,
                                 int videoHeight) {
    namespace fs = std::filesystem;
    const std::string out = FixtureFolder() + name;
    if (fs::exists(out)) {
        return out;
    }
    const std::string tmp = FixtureFolder() + "tmp." + std::to_string(getpid()) + "." + name;
    if (const std::string error = Write(tmp, cue, videoWidth, videoHeight); !error.empty()) {
        ADD_FAILURE() << error << " making " << name;
        fs::remove(tmp);
        return "";
    }
    fs::rename(tmp, out);
    return out;
}
