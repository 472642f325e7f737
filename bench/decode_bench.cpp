// Decodes a 1080p H.264 clip through the player's own path (probing, packet queue, video decoder
// into B,G,R frames) as fast as it goes, and the same file with the ffmpeg command at the same
// decoder thread count, and prints both rates and their ratio.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/Log.h"
#include "core/WideText.h"
#include "media/DecoderSource.h"
#include "media/PacketQueue.h"
#include "media/PlaybackInfo.h"
#include "media/VideoDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;

// The demux worker stops reading while the queue holds more than this many packets.
constexpr int kQueueLimit = 10;
// The decoder waits while the queue holds this few packets, as it does behind the source.
constexpr int kVideoQueueLow = 4;
// Its idle poll while the queue is full.
constexpr auto kReaderPoll = std::chrono::milliseconds(1);

int Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeClip() {
    const std::filesystem::path folder(QOR_BENCH_DIR);
    std::filesystem::create_directories(folder);
    const std::string clip = (folder / "testsrc2_1920x1080_r30_20s_x264.mp4").string();
    if (!std::filesystem::exists(clip)) {
        std::printf("making %s ...\n", clip.c_str());
        std::fflush(stdout);
        const std::string partial = clip + ".part.mp4";
        if (Run({QOR_FFMPEG_COMMAND, "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                 "testsrc2=s=1920x1080:r=30:d=20", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                 partial}) != 0) {
            return "";
        }
        std::filesystem::rename(partial, clip);
    }
    return clip;
}

// The source filter's part, reduced to video: a reader thread keeps the queue filled.
class CBenchSource : public IDecoderSource {
public:
    explicit CBenchSource(const std::string& clip) {
        m_ok = m_media.ParseMediaContext(Utf8ToWide(clip)) == S_OK && m_media.HasVideo();
        m_queue = std::make_unique<CPacketQueueVideo>(m_media, "V", kQueueLimit);
        m_queue->Reset();
    }
    ~CBenchSource() {
        m_stop = true;
        if (m_reader.joinable()) {
            m_reader.join();
        }
    }
    bool Ok() const { return m_ok; }
    void Start() {
        m_reader = std::thread([this] {
            while (!m_stop) {
                if (m_queue->Count() > kQueueLimit) {
                    std::this_thread::sleep_for(kReaderPoll);
                    continue;
                }
                CAVPacketPtr packet(av_packet_alloc());
                if (m_media.ReadFrame(packet.get())) {
                    m_queue->PutEnd();
                    return;
                }
                if (packet->stream_index == m_media.VideoIndex()) {
                    m_queue->Put(std::move(packet));
                }
            }
        });
    }
    CPlaybackInfo& Media() override { return m_media; }
    CPacketQueueVideo* VideoQueue() override { return m_queue.get(); }
    CPacketQueue2* AudioQueue() override { return nullptr; }
    CPacketQueue2* SubtitleQueue() override { return nullptr; }
    CSubtitle* Subtitles() override { return nullptr; }
    void WaitWhileVideoQueueLow() override { m_queue->WaitWhileLow(kVideoQueueLow); }

private:
    CPlaybackInfo m_media;
    std::unique_ptr<CPacketQueueVideo> m_queue;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    bool m_ok = false;
};

} // namespace

int main() {
    CLog::Instance().SetFileOutput(0);
    const std::string clip = MakeClip();
    if (clip.empty()) {
        std::fprintf(stderr, "could not make the clip with %s\n", QOR_FFMPEG_COMMAND);
        return 1;
    }

    CBenchSource source(clip);
    if (!source.Ok()) {
        std::fprintf(stderr, "could not open %s\n", clip.c_str());
        return 1;
    }
    const int threads = source.Media().GetCodecContext(STREAM_VIDEO)->thread_count;
    const CFrameFormat format{source.Media().Width(), -source.Media().Height(), 24};
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(format.width) * -format.height * 3);
    CVeltoVideoDecoder decoder;
    int pictures = 0;
    const auto ourStart = Clock::now();
    source.Start();
    for (;;) {
        int used = 0;
        bool got = false;
        REFERENCE_TIME stamp = 0;
        REFERENCE_TIME next = 0;
        if (!decoder.DecodeFrameToBuffer(source, format, frame.data(), &used, &got, &stamp,
                                         &next)) {
            break;
        }
        pictures += got ? 1 : 0;
    }
    const double ourSeconds = std::chrono::duration<double>(Clock::now() - ourStart).count();

    const auto peerStart = Clock::now();
    const int rc =
        Run({QOR_FFMPEG_COMMAND, "-nostdin", "-v", "error", "-threads", std::to_string(threads),
             "-i", clip, "-vf", "format=bgr24", "-f", "null", "-"});
    const double peerSeconds = std::chrono::duration<double>(Clock::now() - peerStart).count();
    if (rc != 0) {
        std::fprintf(stderr, "ffmpeg failed (%d)\n", rc);
        return 1;
    }

    const double ourRate = pictures / ourSeconds;
    const auto frames = source.Media().Stream(source.Media().VideoIndex())->nb_frames;
    const double peerRate = static_cast<double>(frames) / peerSeconds;
    std::printf("clip:          %s (1920x1080, 30 fps, 20 s, %lld frames)\n", clip.c_str(),
                static_cast<long long>(frames));
    std::printf("decoder threads: %d\n", threads);
    std::printf("qor decode:    %d frames in %.2f s = %.1f frames/s\n", pictures, ourSeconds,
                ourRate);
    std::printf("ffmpeg:        %.2f s = %.1f frames/s\n", peerSeconds, peerRate);
    std::printf("ratio:         %.2f (goal 0.80)\n", ourRate / peerRate);
    return 0;
}
